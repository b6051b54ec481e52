// What the export and peak dialogs share: a modal dialog that starts its job on a worker
// thread when it first shows, whose OK, Cancel, Escape and window close only ask the job to
// stop, and which ends itself when the job says it has ended (finish_job, on the GUI thread).
//
// The worker hands its updates to the GUI thread through post(): they wait in a mailbox under
// a std::mutex and run on the GUI thread in the order they were posted. Only a bare queued
// call by name crosses into Qt's event queue, so the hand-over is visible to ThreadSanitizer.
#pragma once

#include <QDialog>

#include <functional>
#include <mutex>
#include <vector>

namespace zv {

class JobDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // The user's ways of ending a dialog only set the job's cancel flag.
    void accept() override { cancel_job(); }
    void reject() override { cancel_job(); }

    bool job_started() const { return started_; }

    // Any thread: runs update on the GUI thread soon. Updates still waiting when the dialog
    // is destroyed are dropped.
    void post(std::function<void()> update);

protected:
    virtual void start_job() = 0;
    virtual void cancel_job() = 0;

    // Ends the dialog with the job's result (1 completed, 0 cancelled).
    void finish_job(int result) { QDialog::done(result); }

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Q_INVOKABLE void run_posted();

    bool started_ = false;
    std::mutex mailbox_mutex_;
    std::vector<std::function<void()>> mailbox_;
    bool wake_pending_ = false;
};

}  // namespace zv
