#include "ui/dialogs/dialog_host.h"

#include <QMessageBox>

namespace zv {

int QtDialogHost::exec(QDialog& dialog) {
    return dialog.exec();
}

MessageAnswer QtDialogHost::show(QWidget* owner, const BoxMessage& message) {
    QMessageBox box(owner);
    box.setWindowTitle(message.caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(message.text);
    switch (message.icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    QMessageBox::StandardButton yes = QMessageBox::Ok;
    QMessageBox::StandardButton no = QMessageBox::NoButton;
    switch (message.buttons) {
        case MessageButtons::Ok:
            break;
        case MessageButtons::OkCancel:
            no = QMessageBox::Cancel;
            break;
        case MessageButtons::YesNo:
            yes = QMessageBox::Yes;
            no = QMessageBox::No;
            break;
    }
    box.setStandardButtons(no == QMessageBox::NoButton ? yes : (yes | no));
    box.setDefaultButton(message.default_is_negative && no != QMessageBox::NoButton ? no : yes);
    if (no != QMessageBox::NoButton) {
        box.setEscapeButton(no);
    }
    const int answer = box.exec();
    switch (answer) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        default:  // closed without a button
            return no == QMessageBox::No ? MessageAnswer::No : MessageAnswer::Cancel;
    }
}

}  // namespace zv
