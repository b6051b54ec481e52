// How the window shows its modal dialogs and message boxes. Every dialog function and command
// of this folder shows through a DialogHost, so tests can answer dialogs and message boxes
// without a modal loop: the window passes a QtDialogHost, the tests a scripted one.
#pragma once

#include <QDialog>

#include "ui/dialogs/messages.h"

class QWidget;

namespace zv {

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // Runs a dialog modally and returns its result (QDialog::exec for the window).
    virtual int exec(QDialog& dialog) = 0;
    // Shows a message box owned by owner (may be null) and returns the answer.
    virtual MessageAnswer show(QWidget* owner, const BoxMessage& message) = 0;
};

// The real thing: QDialog::exec and QMessageBox.
class QtDialogHost final : public DialogHost {
public:
    int exec(QDialog& dialog) override;
    MessageAnswer show(QWidget* owner, const BoxMessage& message) override;
};

}  // namespace zv
