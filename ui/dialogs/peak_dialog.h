// The Get Peak Level dialog (menu 320, "Detecting Peak Level..."): runs the peak scan over the
// playlist's WAV entries on a worker thread from the moment it shows, with the scan's text
// line and progress bar. Cancel, Escape and the window's close only set the scan's cancel
// flag; the dialog ends when the scan ends, with 1 when it completed and 0 when cancelled.
// Levels stored before a cancel remain. The playlist has no other writer meanwhile.
#pragma once

#include <memory>

#include "export/peak_scan.h"
#include "ui/dialogs/job_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zv {

class PeakDialog : public JobDialog {
    Q_OBJECT
public:
    explicit PeakDialog(Playlist& playlist, QWidget* parent = nullptr);
    ~PeakDialog() override;

    QLabel* text_label() const { return text_; }              // 1013
    QProgressBar* progress_bar() const { return progress_; }  // 1012
    QPushButton* cancel_button() const { return cancel_; }    // 2

protected:
    void start_job() override;
    void cancel_job() override;

private:
    class Forwarder;
    void scan_finished(bool completed);

    std::unique_ptr<Forwarder> forwarder_;
    std::unique_ptr<PeakScanJob> job_;
    QLabel* text_;
    QProgressBar* progress_;
    QPushButton* cancel_;
};

}  // namespace zv
