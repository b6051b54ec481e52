#include "ui/dialogs/job_dialog.h"

#include <QCloseEvent>
#include <QShowEvent>

namespace zv {

void JobDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        start_job();
    }
}

void JobDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    cancel_job();
}

}  // namespace zv
