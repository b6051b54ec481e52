#include "ui/dialogs/device_settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/radio_group_focus.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
namespace {

void fill_combo(QComboBox* combo, const DeviceList& list, uint16_t index) {
    for (int i = 0; i < list.count; ++i) {
        combo->addItem(from_utf8(device_combo_line(i, list.devices[static_cast<size_t>(i)])));
    }
    if (list.count > 0) {
        combo->setCurrentIndex(index < list.count ? index : 0);
    } else {
        combo->setEnabled(false);
    }
}

}  // namespace

DeviceSettingsDialog::DeviceSettingsDialog(const DeviceLists& lists, DeviceSettings& settings,
                                           QWidget* parent)
    : QDialog(parent), lists_(lists), settings_(settings) {
    setWindowTitle(dialog_text(DEVICE_DIALOG_TITLE));

    input_ = new QComboBox(this);
    output_ = new QComboBox(this);
    fill_combo(input_, lists.inputs, settings.in_device_index);
    fill_combo(output_, lists.outputs, settings.out_device_index);

    auto* rates = new QButtonGroup(this);
    const char* rate_texts[3] = {"32kHz", "44.1kHz", "48kHz"};
    auto* rate_row = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        rate_[i] = new QRadioButton(QString::fromUtf8(rate_texts[i]), this);
        rates->addButton(rate_[i], i);
        rate_row->addWidget(rate_[i]);
    }
    rate_row->addStretch();
    rate_[settings.onair_rate_choice > 1 ? 2 : settings.onair_rate_choice]->setChecked(true);
    RadioGroupFocus::install(rates);

    autostart_ = new QCheckBox(dialog_text(DEVICE_AUTOSTART_TEXT), this);
    autostart_->setChecked(settings.onair_autostart != 0);
    low_latency_ = new QCheckBox(QString::fromUtf8(DEVICE_LOW_LATENCY_TEXT), this);
    low_latency_->setChecked(settings.low_latency != 0);

    buffers_ = new QLineEdit(QString::number(static_cast<uint32_t>(settings.buffer_count)), this);
    buffers_->setMaxLength(10);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Cancel)->setText(dialog_text(CANCEL_TEXT_JA));
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(dialog_text(DEVICE_INPUT_LABEL), this), 0, 0);
    grid->addWidget(input_, 0, 1);
    grid->addWidget(new QLabel(dialog_text(DEVICE_OUTPUT_LABEL), this), 1, 0);
    grid->addWidget(output_, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* buffer_row = new QHBoxLayout;
    buffer_row->addWidget(new QLabel(dialog_text(DEVICE_BUFFERS_LABEL), this));
    buffer_row->addWidget(buffers_);
    buffer_row->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(dialog_text(DEVICE_CHOOSE_TEXT), this));
    layout->addLayout(grid);
    layout->addWidget(new QLabel(dialog_text(DEVICE_RATE_LABEL), this));
    layout->addLayout(rate_row);
    layout->addWidget(new QLabel(dialog_text(DEVICE_RATE_NOTE), this));
    layout->addWidget(autostart_);
    layout->addWidget(low_latency_);
    layout->addLayout(buffer_row);
    auto* restart = new QLabel(dialog_text(DEVICE_RESTART_NOTE), this);
    restart->setWordWrap(true);
    layout->addWidget(restart);
    layout->addWidget(buttons_);

    setTabOrder(input_, output_);
    setTabOrder(output_, rate_[0]);
    setTabOrder(rate_[0], rate_[1]);
    setTabOrder(rate_[1], rate_[2]);
    setTabOrder(rate_[2], autostart_);
    setTabOrder(autostart_, low_latency_);
    setTabOrder(low_latency_, buffers_);
    setTabOrder(buffers_, buttons_->button(QDialogButtonBox::Ok));
    setTabOrder(buttons_->button(QDialogButtonBox::Ok), buttons_->button(QDialogButtonBox::Cancel));
}

QRadioButton* DeviceSettingsDialog::rate_radio(int choice) const {
    return rate_[choice < 0 ? 0 : choice > 2 ? 2 : choice];
}

void DeviceSettingsDialog::accept() {
    if (lists_.inputs.count > 0) {
        settings_.in_device_index = device_index_from_combo_text(
            input_->currentText().toStdString(), settings_.in_device_index);
    }
    if (lists_.outputs.count > 0) {
        settings_.out_device_index = device_index_from_combo_text(
            output_->currentText().toStdString(), settings_.out_device_index);
    }
    settings_.onair_rate_choice =
        rate_choice_from_radios(rate_[0]->isChecked(), rate_[1]->isChecked());
    settings_.onair_autostart = autostart_->isChecked() ? 1 : 0;
    settings_.low_latency = low_latency_->isChecked() ? 1 : 0;
    settings_.buffer_count = buffer_count_from_text(buffers_->text().toStdString());
    QDialog::accept();
}

}  // namespace zv
