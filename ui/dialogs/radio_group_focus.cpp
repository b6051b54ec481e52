#include "ui/dialogs/radio_group_focus.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFocusEvent>

namespace zv {

RadioGroupFocus::RadioGroupFocus(QButtonGroup* group) : QObject(group), group_(group) {}

void RadioGroupFocus::install(QButtonGroup* group) {
    auto* filter = new RadioGroupFocus(group);
    for (QAbstractButton* b : group->buttons()) {
        b->installEventFilter(filter);
    }
}

bool RadioGroupFocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        QAbstractButton* checked = group_->checkedButton();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) &&
            checked != nullptr && checked != watched) {
            checked->setFocus(reason);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zv
