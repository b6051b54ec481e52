#include "ui/panel_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <vector>

#include "ui/panel_widget.h"

namespace zv {
namespace {

class PlaceAccessible final : public QAccessibleInterface {
public:
    PlaceAccessible(PanelWidget* panel, int position) : panel_(panel), position_(position) {}

    bool isValid() const override { return !panel_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return panel_ != nullptr ? panel_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(panel_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (panel_ == nullptr) {
            return {};
        }
        switch (t) {
            case QAccessible::Name:
                return panel_->place_name(position_);
            case QAccessible::Value:
                return panel_->place_value(position_);
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (panel_ == nullptr) {
            return {};
        }
        const QRect r = panel_->place_rect(position_);
        return QRect(panel_->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::Role role() const override {
        const FocusPlace& place = focus_order()[static_cast<size_t>(position_)];
        if (place.kind == FocusKind::Control) {
            return QAccessible::SpinBox;
        }
        return static_cast<PanelButtonId>(place.index) == PanelButtonId::Init
                   ? QAccessible::Button
                   : QAccessible::CheckBox;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        if (panel_ == nullptr) {
            s.invalid = true;
            return s;
        }
        s.focused = panel_->hasFocus() && panel_->model().focus() == position_;
        if (role() == QAccessible::CheckBox) {
            s.checkable = true;
            s.checked = panel_->place_on(position_);
        }
        return s;
    }

private:
    QPointer<PanelWidget> panel_;
    int position_;
};

class PanelAccessible final : public QAccessibleWidget {
public:
    explicit PanelAccessible(PanelWidget* panel)
        : QAccessibleWidget(panel, QAccessible::Pane), panel_(panel) {
        ids_.resize(FOCUS_PLACE_COUNT, 0);
    }
    ~PanelAccessible() override {
        for (QAccessible::Id id : ids_) {
            if (id != 0) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }

    int childCount() const override { return FOCUS_PLACE_COUNT; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= FOCUS_PLACE_COUNT) {
            return nullptr;
        }
        QAccessible::Id& id = ids_[static_cast<size_t>(index)];
        if (id == 0) {
            id = QAccessible::registerAccessibleInterface(new PlaceAccessible(panel_, index));
        }
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < FOCUS_PLACE_COUNT; ++i) {
            const QAccessible::Id id = ids_[static_cast<size_t>(i)];
            if (id != 0 && QAccessible::accessibleInterface(id) == child) {
                return i;
            }
        }
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        const int focus = panel_->model().focus();
        return focus >= 0 && panel_->hasFocus() ? child(focus) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = panel_->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < FOCUS_PLACE_COUNT; ++i) {
            if (panel_->place_rect(i).contains(local)) {
                return child(i);
            }
        }
        return nullptr;
    }

private:
    PanelWidget* panel_;
    mutable std::vector<QAccessible::Id> ids_;
};

QAccessibleInterface* panel_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("zv::PanelWidget") && object != nullptr) {
        if (auto* panel = qobject_cast<PanelWidget*>(object)) {
            return new PanelAccessible(panel);
        }
    }
    return nullptr;
}

}  // namespace

void install_panel_accessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(panel_factory);
        return true;
    }();
    (void)installed;
}

}  // namespace zv
