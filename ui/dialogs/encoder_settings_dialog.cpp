#include "ui/dialogs/encoder_settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/encoder_trust.h"
#include "settings/text_field.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/file_dialogs.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
namespace {

void store(std::array<char, ENCODER_TEXT_BYTES>& field, const QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    zv::set_text(field,
                 std::string_view(text).substr(0, utf8_cut_length(text, ENCODER_TEXT_MAX_CHARS)));
}

}  // namespace

EncoderSettingsDialog::EncoderSettingsDialog(EncoderSettings& settings, DialogHost& host,
                                             const IniSettings& ini,
                                             std::function<bool()> engine_idle, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      host_(host),
      ini_(ini),
      engine_idle_(std::move(engine_idle)) {
    setWindowTitle(dialog_text(ENCODER_DIALOG_TITLE));
    use_ = new QCheckBox(dialog_text(ENCODER_USE_TEXT), this);
    use_->setChecked(settings.use_external_encoder != 0);
    path_ = new QLineEdit(from_utf8(text_of(settings.external_encoder_path)), this);
    params_ = new QLineEdit(from_utf8(text_of(settings.external_encoder_params)), this);
    path_->setMaxLength(ENCODER_TEXT_MAX_CHARS);
    params_->setMaxLength(ENCODER_TEXT_MAX_CHARS);
    path_->setMinimumWidth(320);
    ref_ = new QPushButton(dialog_text(ENCODER_REF_TEXT), this);
    ref_->setAutoDefault(false);
    connect(ref_, &QPushButton::clicked, this, &EncoderSettingsDialog::choose_program);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Cancel)->setText(dialog_text(CANCEL_TEXT));
    buttons_->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(dialog_text(ENCODER_PATH_LABEL), this), 0, 0);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(ref_, 0, 2);
    grid->addWidget(new QLabel(dialog_text(ENCODER_PARAMS_LABEL), this), 1, 0);
    grid->addWidget(params_, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* usage = new QLabel(dialog_text(ENCODER_USAGE_TEXT), this);
    usage->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(use_);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(dialog_text(ENCODER_USAGE_LABEL), this));
    layout->addWidget(usage);
    layout->addWidget(buttons_);

    setTabOrder(use_, path_);
    setTabOrder(path_, ref_);
    setTabOrder(ref_, params_);
    setTabOrder(params_, buttons_->button(QDialogButtonBox::Ok));
    setTabOrder(buttons_->button(QDialogButtonBox::Ok), buttons_->button(QDialogButtonBox::Cancel));
}

void EncoderSettingsDialog::choose_program() {
    if (engine_idle_ && !engine_idle_()) {
        return;
    }
    if (auto path = choose_encoder_program(host_, ini_, this)) {
        path_->setText(from_utf8(*path));
    }
}

void EncoderSettingsDialog::accept() {
    store(settings_.external_encoder_path, path_);
    store(settings_.external_encoder_params, params_);
    settings_.use_external_encoder = use_->isChecked() ? 1 : 0;
    // The user has seen this program and parameter line: they are confirmed in this program
    // folder. A confirmation that cannot be written is asked for again before the export.
    if (settings_.use_external_encoder != 0) {
        std::string error;
        if (!confirm_encoder(ini_, settings_, error)) {
            host_.show(this, ini_write_failed_message(ini_.file().string(), error));
        }
    }
    QDialog::accept();
}

}  // namespace zv
