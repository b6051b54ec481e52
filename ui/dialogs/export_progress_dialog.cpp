#include "ui/dialogs/export_progress_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/job_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {

// The observer of a job the dialog owns: hands every call to the dialog.
class ExportProgressDialog::Forwarder final : public ExportObserver {
public:
    void attach(ExportProgressDialog* dialog) { d_ = dialog; }
    void files(const std::string& source, const std::string& target) override {
        d_->job_files(source, target);
    }
    void stage(ExportStage stage) override { d_->job_stage(stage); }
    void processed(uint64_t frames, int32_t sample_rate) override {
        d_->job_processed(frames, sample_rate);
    }
    void set_progress_range(int max) override { d_->job_progress_range(max); }
    void step_progress() override { d_->job_step(); }
    void block_done() override { d_->job_block_done(); }
    void finished(const ExportJobResult& result) override { d_->job_finished(result); }

private:
    ExportProgressDialog* d_ = nullptr;
};

namespace {

QLineEdit* path_field(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFrame(false);
    field->setFocusPolicy(Qt::NoFocus);
    field->setMinimumWidth(420);
    return field;
}

}  // namespace

ExportProgressDialog::ExportProgressDialog(ExportJob& job, Processor& processor,
                                           ThrottleSettings& throttle, DialogHost& host,
                                           QWidget* parent)
    : JobDialog(parent), job_(&job), processor_(processor), throttle_(throttle), host_(host) {
    build();
}

ExportProgressDialog::ExportProgressDialog(ExportJobInputs inputs, Processor& processor,
                                           ThrottleSettings& throttle, DialogHost& host,
                                           QWidget* parent)
    : ExportProgressDialog(std::make_unique<Forwarder>(), std::move(inputs), processor, throttle,
                           host, parent) {}

ExportProgressDialog::ExportProgressDialog(std::unique_ptr<Forwarder> forwarder,
                                           ExportJobInputs inputs, Processor& processor,
                                           ThrottleSettings& throttle, DialogHost& host,
                                           QWidget* parent)
    : JobDialog(parent),
      own_forwarder_(std::move(forwarder)),
      own_job_(
          std::make_unique<ExportJob>(std::move(inputs), processor, *own_forwarder_, &throttle)),
      job_(own_job_.get()),
      processor_(processor),
      throttle_(throttle),
      host_(host) {
    own_forwarder_->attach(this);
    build();
}

void ExportProgressDialog::build() {
    setWindowTitle(dialog_text(EXPORT_PROGRESS_TITLE));

    source_ = path_field(this);
    target_ = path_field(this);
    time_ = new QLabel(this);
    status_ = new QLabel(this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    throttle_check_ = new QCheckBox(dialog_text(EXPORT_THROTTLE_TEXT), this);
    throttle_check_->setChecked(throttle_.cpu_throttle_on.load() != 0);
    throttle_slider_ = new QSlider(Qt::Horizontal, this);
    throttle_slider_->setRange(THROTTLE_SLIDER_MIN, THROTTLE_SLIDER_MAX);
    throttle_slider_->setPageStep(1);
    const int level = std::clamp(throttle_.cpu_throttle_level.load(), 0, THROTTLE_SLIDER_MAX);
    throttle_.cpu_throttle_level.store(level);
    throttle_slider_->setValue(level);
    connect(throttle_check_, &QCheckBox::toggled, this,
            [this](bool on) { throttle_.cpu_throttle_on.store(on ? 1 : 0); });
    connect(throttle_slider_, &QSlider::valueChanged, this,
            [this](int value) { throttle_.cpu_throttle_level.store(value); });

    cancel_ = new QPushButton(dialog_text(CANCEL_TEXT), this);
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &ExportProgressDialog::cancel_job);

    auto* time_row = new QHBoxLayout;
    time_row->addWidget(new QLabel(dialog_text(EXPORT_TIME_LABEL), this));
    time_row->addWidget(time_);
    time_row->addStretch();

    auto* throttle_row = new QHBoxLayout;
    throttle_row->addWidget(throttle_check_);
    throttle_row->addWidget(new QLabel(dialog_text(EXPORT_THROTTLE_MORE), this));
    throttle_row->addWidget(throttle_slider_, 1);
    throttle_row->addWidget(new QLabel(dialog_text(EXPORT_THROTTLE_LESS), this));

    auto* button_row = new QHBoxLayout;
    button_row->addStretch();
    button_row->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source_);
    layout->addWidget(target_);
    layout->addLayout(time_row);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(throttle_row);
    layout->addLayout(button_row);

    setTabOrder(throttle_check_, throttle_slider_);
    setTabOrder(throttle_slider_, cancel_);
}

ExportProgressDialog::~ExportProgressDialog() {
    // Only when the dialog goes away while its job runs: stop the processing and the encoder.
    // A job that has ended is left alone: its owner reads whether it was cancelled.
    if (job_started() && !ended_) {
        job_->cancel_and_discard();
        job_->join();
    }
}

bool ExportProgressDialog::take_meters(MeterSnapshot& out) {
    return job_->take_meters(out);
}

bool ExportProgressDialog::cancel_requested() const {
    return job_->cancel_requested();
}

void ExportProgressDialog::start_job() {
    job_->start();
}

void ExportProgressDialog::cancel_job() {
    if (job_started()) {
        job_->cancel();
    }
}

void ExportProgressDialog::job_files(const std::string& source, const std::string& target) {
    post([this, s = from_utf8(source), t = from_utf8(target)] {
        source_->setText(s);
        target_->setText(t);
    });
}

void ExportProgressDialog::job_stage(ExportStage stage) {
    post([this, stage] { status_->setText(export_stage_text(stage)); });
}

void ExportProgressDialog::job_processed(uint64_t frames, int32_t sample_rate) {
    post([this, t = processed_time_text(frames, sample_rate)] { time_->setText(t); });
}

void ExportProgressDialog::job_progress_range(int max) {
    post([this, max] {
        progress_->setRange(0, std::max(max, 0));
        progress_->setValue(0);
    });
}

void ExportProgressDialog::job_step() {
    post([this] { progress_->setValue(std::min(progress_->value() + 1, progress_->maximum())); });
}

void ExportProgressDialog::job_block_done() {
    if (block_pending_.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    post([this] {
        // An exchange, not a store: it reads the worker's flag, so the blocks the worker added
        // before setting it are seen by take_meters().
        block_pending_.exchange(false, std::memory_order_acq_rel);
        emit block_processed();
    });
}

void ExportProgressDialog::job_finished(const ExportJobResult& result) {
    post([this, result] { end(result); });
}

void ExportProgressDialog::end(const ExportJobResult& result) {
    ended_ = true;
    job_->join();
    reset_processor_state(processor_);
    result_ = result;
    if (result.loudness) {
        status_->setText(from_utf8(loudness_text(*result.loudness)));
    }
    if (result.params_too_long) {
        host_.show(this, encoder_params_too_long_message());
    }
    finish_job(job_->cancel_requested() ? 0 : 1);
}

}  // namespace zv
