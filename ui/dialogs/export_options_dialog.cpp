#include "ui/dialogs/export_options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "settings/text_field.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/radio_group_focus.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
namespace {

constexpr int TEXT_FIELD_MAX_CHARS = 31;

template <std::size_t N>
QLineEdit* text_edit(const std::array<char, N>& field, QWidget* parent) {
    auto* edit = new QLineEdit(from_utf8(text_of(field)), parent);
    edit->setMaxLength(TEXT_FIELD_MAX_CHARS);
    return edit;
}

// At most 31 bytes of the edit's text, never a split UTF-8 sequence.
template <std::size_t N>
void store_text(std::array<char, N>& field, const QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    zv::set_text(field,
                 std::string_view(text).substr(0, utf8_cut_length(text, TEXT_FIELD_MAX_CHARS)));
}

}  // namespace

ExportOptionsDialog::ExportOptionsDialog(ExportCommand command, ExportOptions& options,
                                         EncoderSettings& encoder, DialogHost& host,
                                         QWidget* parent)
    : QDialog(parent), command_(command), options_(options), encoder_(encoder), host_(host) {
    const bool all = command == ExportCommand::ExportAll;
    setWindowTitle(QString::fromUtf8(all ? EXPORT_ALL_TITLE : EXPORT_SONG_TITLE));

    wav_ = new QRadioButton(dialog_text(EXPORT_WAV_TEXT), this);
    mp3_ = new QRadioButton(dialog_text(EXPORT_MP3_TEXT), this);
    flac_ = new QRadioButton(dialog_text(EXPORT_FLAC_TEXT), this);
    opus_ = new QRadioButton(dialog_text(EXPORT_OPUS_TEXT), this);
    auto* format = new QButtonGroup(this);
    for (QRadioButton* b : {wav_, mp3_, flac_, opus_}) {
        format->addButton(b);
    }
    switch (export_format(options)) {
        case ExportFormat::Wav:
            wav_->setChecked(true);
            break;
        case ExportFormat::Mp3:
            mp3_->setChecked(true);
            break;
        case ExportFormat::Flac:
            flac_->setChecked(true);
            break;
        case ExportFormat::Opus:
            opus_->setChecked(true);
            break;
    }
    RadioGroupFocus::install(format);
    bitrate_ =
        new QLineEdit(QString::number(static_cast<uint32_t>(encoder.mp3_bitrate_kbps)), this);
    bitrate_->setMaxLength(10);
    opus_bitrate_ =
        new QLineEdit(QString::number(static_cast<uint32_t>(encoder.opus_bitrate_kbps)), this);
    opus_bitrate_->setMaxLength(10);

    album_ = text_edit(options.tag_album_prefix, this);
    title_ = text_edit(options.tag_title_prefix, this);
    normalise_ = new QCheckBox(dialog_text(EXPORT_NORMALISE_TEXT), this);
    normalise_->setChecked(options.normalise_on_export != 0);

    note_ = new QLabel(this);
    if (encoder.use_external_encoder != 0) {
        note_->setText(message_text(TEXT_EXTERNAL_ENCODER_IN_USE));
        bitrate_->setEnabled(false);
    }

    auto* format_row = new QHBoxLayout;
    format_row->addWidget(wav_);
    format_row->addSpacing(16);
    format_row->addWidget(mp3_);
    format_row->addWidget(bitrate_);
    format_row->addStretch();
    auto* lossless_row = new QHBoxLayout;
    lossless_row->addWidget(flac_);
    lossless_row->addSpacing(16);
    lossless_row->addWidget(opus_);
    lossless_row->addWidget(opus_bitrate_);
    lossless_row->addStretch();

    auto* tags = new QGroupBox(dialog_text(EXPORT_TAG_GROUP), this);
    auto* tag_form = new QFormLayout(tags);
    tag_form->addRow(dialog_text(EXPORT_ALBUM_LABEL), album_);
    tag_form->addRow(dialog_text(EXPORT_TITLE_LABEL), title_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(format_row);
    layout->addLayout(lossless_row);
    layout->addWidget(tags);
    layout->addWidget(normalise_);

    QWidget* last = normalise_;
    if (all) {
        affix_ = text_edit(options.name_affix, this);
        // The affix is a part of a file name: it may not lead into another folder.
        affix_->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^/]*")), affix_));
        prefix_ = new QRadioButton(dialog_text(EXPORT_PREFIX_TEXT), this);
        postfix_ = new QRadioButton(dialog_text(EXPORT_POSTFIX_TEXT), this);
        auto* affix_group = new QButtonGroup(this);
        affix_group->addButton(prefix_);
        affix_group->addButton(postfix_);
        (options.affix_is_postfix == 0 ? prefix_ : postfix_)->setChecked(true);
        RadioGroupFocus::install(affix_group);
        auto* names = new QGroupBox(dialog_text(EXPORT_AFFIX_GROUP), this);
        auto* names_row = new QHBoxLayout(names);
        names_row->addWidget(affix_);
        names_row->addWidget(prefix_);
        names_row->addWidget(postfix_);
        layout->addWidget(names);

        source_folder_ = new QCheckBox(dialog_text(EXPORT_SOURCE_FOLDER_TEXT), this);
        source_folder_->setChecked(options.save_to_source_folder != 0);
        auto* folder = new QGroupBox(dialog_text(EXPORT_FOLDER_GROUP), this);
        auto* folder_box = new QVBoxLayout(folder);
        folder_box->addWidget(source_folder_);
        layout->addWidget(folder);
    }
    layout->addWidget(note_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Cancel)->setText(dialog_text(CANCEL_TEXT));
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);

    // Tab order follows the dialog from top to bottom.
    QWidget* order[] = {wav_,          mp3_,   bitrate_, flac_,     opus_,
                        opus_bitrate_, album_, title_,   normalise_};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    if (all) {
        setTabOrder(normalise_, affix_);
        setTabOrder(affix_, prefix_);
        setTabOrder(prefix_, postfix_);
        setTabOrder(postfix_, source_folder_);
        last = source_folder_;
    }
    setTabOrder(last, buttons_->button(QDialogButtonBox::Ok));
    setTabOrder(buttons_->button(QDialogButtonBox::Ok), buttons_->button(QDialogButtonBox::Cancel));
}

void ExportOptionsDialog::accept() {
    const bool all = command_ == ExportCommand::ExportAll;
    if (all && affix_->text().contains(QLatin1Char('/'))) {
        host_.show(this, error_message(message_text(TEXT_AFFIX_HAS_SEPARATOR)));
        affix_->setFocus();
        return;
    }
    store_text(options_.tag_album_prefix, album_);
    store_text(options_.tag_title_prefix, title_);
    set_export_format(options_, mp3_->isChecked()    ? ExportFormat::Mp3
                                : flac_->isChecked() ? ExportFormat::Flac
                                : opus_->isChecked() ? ExportFormat::Opus
                                                     : ExportFormat::Wav);
    encoder_.mp3_bitrate_kbps = bitrate_from_entry(bitrate_->text().toStdString(), command_);
    encoder_.opus_bitrate_kbps = opus_bitrate_from_entry(opus_bitrate_->text().toStdString());
    options_.normalise_on_export = normalise_->isChecked() ? 1 : 0;
    if (all) {
        store_text(options_.name_affix, affix_);
        options_.affix_is_postfix = prefix_->isChecked() ? 0 : 1;
        options_.save_to_source_folder = source_folder_->isChecked() ? 1 : 0;
    }
    QDialog::accept();
}

}  // namespace zv
