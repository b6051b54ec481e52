// The sound-device settings dialog (menu 358): output and input device, ON AIR rate, ON AIR
// auto-start, low-latency ON AIR mode and the number of buffer blocks. OK applies the playback
// layer's dialog rules (playback/device_list.h) to the settings; Cancel changes nothing.
#pragma once

#include <QDialog>

#include "playback/device_list.h"
#include "playback/device_settings.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QRadioButton;

namespace zv {

class DeviceSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // The lists are those made at start-up; settings is written on OK only.
    DeviceSettingsDialog(const DeviceLists& lists, DeviceSettings& settings,
                         QWidget* parent = nullptr);

    void accept() override;

    // The controls, for the window's tests and ours.
    QComboBox* input_combo() const { return input_; }          // 1022
    QComboBox* output_combo() const { return output_; }        // 1021
    QRadioButton* rate_radio(int choice) const;                // 1023..1025 for choice 0..2
    QCheckBox* autostart_check() const { return autostart_; }  // 1028
    QCheckBox* low_latency_check() const { return low_latency_; }
    QLineEdit* buffer_edit() const { return buffers_; }  // 1001
    QDialogButtonBox* buttons() const { return buttons_; }

private:
    const DeviceLists& lists_;
    DeviceSettings& settings_;
    QComboBox* input_;
    QComboBox* output_;
    QRadioButton* rate_[3];
    QCheckBox* autostart_;
    QCheckBox* low_latency_;
    QLineEdit* buffers_;
    QDialogButtonBox* buttons_;
};

}  // namespace zv
