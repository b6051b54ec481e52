#include "ui/dialogs/peak_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/job_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {

// Runs on the scan's worker; every call is queued to the dialog on the GUI thread.
class PeakDialog::Forwarder final : public PeakScanObserver {
public:
    explicit Forwarder(PeakDialog* dialog) : d_(dialog) {}

    void song_progress(int song, int percent) override {
        d_->post([d = d_, t = peak_progress_text(song, percent)] { d->text_->setText(t); });
    }
    void set_progress_range(int max) override {
        d_->post([d = d_, max] {
            d->progress_->setRange(0, std::max(max, 0));
            d->progress_->setValue(0);
        });
    }
    void step_progress() override {
        d_->post([d = d_] {
            d->progress_->setValue(std::min(d->progress_->value() + 1, d->progress_->maximum()));
        });
    }
    void finished(bool completed) override {
        d_->post([d = d_, completed] { d->scan_finished(completed); });
    }

private:
    PeakDialog* d_;
};

PeakDialog::PeakDialog(Playlist& playlist, QWidget* parent)
    : JobDialog(parent), forwarder_(std::make_unique<Forwarder>(this)) {
    setWindowTitle(dialog_text(PEAK_DIALOG_TITLE));
    job_ = std::make_unique<PeakScanJob>(playlist, *forwarder_);

    text_ = new QLabel(this);
    text_->setMinimumWidth(280);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    cancel_ = new QPushButton(dialog_text(CANCEL_TEXT), this);
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &PeakDialog::cancel_job);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(progress_);
    layout->addLayout(row);
}

PeakDialog::~PeakDialog() {
    if (job_started()) {
        job_->cancel();
        job_->join();
    }
}

void PeakDialog::start_job() {
    job_->start();
}

void PeakDialog::cancel_job() {
    if (job_started()) {
        job_->cancel();
    }
}

void PeakDialog::scan_finished(bool completed) {
    job_->join();
    finish_job(completed ? 1 : 0);
}

}  // namespace zv
