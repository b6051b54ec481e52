// The option dialogs of the two export commands: "Export a song" and "Export All Songs"
// (which adds the file-name affix and the save-beside-the-source choice). The format is one
// of WAV, MP3, FLAC and Opus. OK writes the options, the bitrates by the export rules
// (export/export_rules.h); Cancel changes nothing.
#pragma once

#include <QDialog>

#include "export/export_options.h"
#include "export/export_rules.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace zv {

class DialogHost;

class ExportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // host shows the message that refuses an affix holding a folder separator.
    ExportOptionsDialog(ExportCommand command, ExportOptions& options, EncoderSettings& encoder,
                        DialogHost& host, QWidget* parent = nullptr);

    void accept() override;

    // The controls; the Export All ones are null in "Export a song".
    QRadioButton* wav_radio() const { return wav_; }      // 1034
    QRadioButton* mp3_radio() const { return mp3_; }      // 1035
    QLineEdit* bitrate_edit() const { return bitrate_; }  // 1036
    QRadioButton* flac_radio() const { return flac_; }
    QRadioButton* opus_radio() const { return opus_; }
    QLineEdit* opus_bitrate_edit() const { return opus_bitrate_; }
    QLineEdit* album_edit() const { return album_; }                   // 1001 (1002 in Export All)
    QLineEdit* title_edit() const { return title_; }                   // 1037
    QCheckBox* normalise_check() const { return normalise_; }          // 1038
    QLabel* note_label() const { return note_; }                       // 1047
    QLineEdit* affix_edit() const { return affix_; }                   // 1001, Export All
    QRadioButton* prefix_radio() const { return prefix_; }             // 1048, Export All
    QRadioButton* postfix_radio() const { return postfix_; }           // 1049, Export All
    QCheckBox* source_folder_check() const { return source_folder_; }  // 1045, Export All
    QDialogButtonBox* buttons() const { return buttons_; }

private:
    ExportCommand command_;
    ExportOptions& options_;
    EncoderSettings& encoder_;
    DialogHost& host_;
    QRadioButton* wav_ = nullptr;
    QRadioButton* mp3_ = nullptr;
    QLineEdit* bitrate_ = nullptr;
    QRadioButton* flac_ = nullptr;
    QRadioButton* opus_ = nullptr;
    QLineEdit* opus_bitrate_ = nullptr;
    QLineEdit* album_ = nullptr;
    QLineEdit* title_ = nullptr;
    QCheckBox* normalise_ = nullptr;
    QLabel* note_ = nullptr;
    QLineEdit* affix_ = nullptr;
    QRadioButton* prefix_ = nullptr;
    QRadioButton* postfix_ = nullptr;
    QCheckBox* source_folder_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace zv
