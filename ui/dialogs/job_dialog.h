// What the export and peak dialogs share: a modal dialog that starts its job on a worker
// thread when it first shows, whose OK, Cancel, Escape and window close only ask the job to
// stop, and which ends itself when the job says it has ended (finish_job, on the GUI thread).
#pragma once

#include <QDialog>

namespace zv {

class JobDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // The user's ways of ending a dialog only set the job's cancel flag.
    void accept() override { cancel_job(); }
    void reject() override { cancel_job(); }

    bool job_started() const { return started_; }

protected:
    virtual void start_job() = 0;
    virtual void cancel_job() = 0;

    // Ends the dialog with the job's result (1 completed, 0 cancelled).
    void finish_job(int result) { QDialog::done(result); }

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool started_ = false;
};

}  // namespace zv
