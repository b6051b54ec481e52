// The external MP3 encoder settings (menu 269): whether to use it, the program and its
// parameter template. "Ref." chooses the program with a file dialog (key EncToolDir) while the
// player is idle. OK takes both edits (at most 257 bytes each) and the check box, and with the
// box checked confirms that program and parameter line in this program folder
// (settings/encoder_trust.h); Cancel changes nothing.
#pragma once

#include <QDialog>

#include <functional>

#include "export/export_options.h"
#include "settings/ini_settings.h"

class QCheckBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

namespace zv {

class DialogHost;

class EncoderSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // engine_idle is asked when "Ref." is pressed: it does nothing while a song plays.
    EncoderSettingsDialog(EncoderSettings& settings, DialogHost& host, const IniSettings& ini,
                          std::function<bool()> engine_idle, QWidget* parent = nullptr);

    void accept() override;

    QCheckBox* use_check() const { return use_; }       // 1038
    QLineEdit* path_edit() const { return path_; }      // 1001
    QLineEdit* params_edit() const { return params_; }  // 1002
    QPushButton* ref_button() const { return ref_; }    // 1015
    QDialogButtonBox* buttons() const { return buttons_; }

private:
    void choose_program();

    EncoderSettings& settings_;
    DialogHost& host_;
    const IniSettings& ini_;
    std::function<bool()> engine_idle_;
    QCheckBox* use_;
    QLineEdit* path_;
    QLineEdit* params_;
    QPushButton* ref_;
    QDialogButtonBox* buttons_;
};

}  // namespace zv
