#include "ui/dialogs/job_dialog.h"

#include <QCloseEvent>
#include <QShowEvent>

namespace zv {

void JobDialog::post(std::function<void()> update) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mailbox_mutex_);
        mailbox_.push_back(std::move(update));
        wake = !wake_pending_;
        wake_pending_ = true;
    }
    if (wake) {
        QMetaObject::invokeMethod(this, "run_posted", Qt::QueuedConnection);
    }
}

void JobDialog::run_posted() {
    std::vector<std::function<void()>> updates;
    {
        std::lock_guard<std::mutex> lock(mailbox_mutex_);
        updates.swap(mailbox_);
        wake_pending_ = false;
    }
    for (auto& update : updates) {
        update();
    }
}

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
