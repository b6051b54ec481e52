// The export progress dialog: runs one ExportJob on a worker thread from the moment it shows,
// with the source, target, processed time, status line and progress bar the job writes, and
// the "Don't use 100% CPU Power" throttle (check box and a 1..40 slider from "MORE" to "LESS")
// that the job reads live. Cancel, Escape and the window's close only set the job's cancel
// flag; the dialog ends when the job ends, with 1 when it was not cancelled and 0 when it was,
// after the processor's state has been reset. A song written leaves its loudness on the
// status line.
//
// Threads: the job_* calls come from the job's worker; they are queued to the GUI thread and
// no widget is touched from the worker. block_processed() tells the owner (on the GUI thread)
// that take_meters() has new blocks' meters, so the panel can follow the export; nobody but
// the job writes into the processor while the dialog runs.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "export/export_job.h"
#include "ui/dialogs/job_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace zv {

class DialogHost;

constexpr int THROTTLE_SLIDER_MIN = 1;
constexpr int THROTTLE_SLIDER_MAX = 40;

class ExportProgressDialog : public JobDialog {
    Q_OBJECT
public:
    // Runs a job made by the caller (the export runner's), not started yet, whose observer
    // the caller routes to the job_* methods below. The job, processor and throttle must
    // outlive the dialog; host shows the encoder's parameter-line message.
    ExportProgressDialog(ExportJob& job, Processor& processor, ThrottleSettings& throttle,
                         DialogHost& host, QWidget* parent = nullptr);
    // Makes and owns its job for these inputs.
    ExportProgressDialog(ExportJobInputs inputs, Processor& processor, ThrottleSettings& throttle,
                         DialogHost& host, QWidget* parent = nullptr);
    ~ExportProgressDialog() override;

    // The job's observer calls; any thread.
    void job_files(const std::string& source, const std::string& target);
    void job_stage(ExportStage stage);
    void job_processed(uint64_t frames, int32_t sample_rate);
    void job_progress_range(int max);
    void job_step();
    void job_block_done();
    void job_finished(const ExportJobResult& result);

    // The meters of the job's blocks since the last take (false when none came); on the GUI
    // thread.
    bool take_meters(MeterSnapshot& out);
    // What the job did; valid once the dialog has ended.
    const ExportJobResult& job_result() const { return result_; }
    bool cancel_requested() const;
    // The job has ended and been joined (the dialog ended itself).
    bool job_ended() const { return ended_; }

    QLineEdit* source_field() const { return source_; }            // 1001
    QLineEdit* target_field() const { return target_; }            // 1002
    QLabel* time_label() const { return time_; }                   // 1016
    QLabel* status_label() const { return status_; }               // 1032
    QProgressBar* progress_bar() const { return progress_; }       // 1012
    QCheckBox* throttle_check() const { return throttle_check_; }  // 1038
    QSlider* throttle_slider() const { return throttle_slider_; }  // 1044
    QPushButton* cancel_button() const { return cancel_; }         // 2

signals:
    // A block was processed since the last signal (at most one is pending at a time).
    void block_processed();

protected:
    void start_job() override;
    void cancel_job() override;

private:
    class Forwarder;
    ExportProgressDialog(std::unique_ptr<Forwarder> forwarder, ExportJobInputs inputs,
                         Processor& processor, ThrottleSettings& throttle, DialogHost& host,
                         QWidget* parent);
    void build();
    void end(const ExportJobResult& result);

    std::unique_ptr<Forwarder> own_forwarder_;  // with own_job_ only
    std::unique_ptr<ExportJob> own_job_;
    ExportJob* job_;
    Processor& processor_;
    ThrottleSettings& throttle_;
    DialogHost& host_;
    std::atomic<bool> block_pending_{false};
    bool ended_ = false;
    ExportJobResult result_;

    QLineEdit* source_ = nullptr;
    QLineEdit* target_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QCheckBox* throttle_check_ = nullptr;
    QSlider* throttle_slider_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace zv
