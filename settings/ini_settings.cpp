#include "settings/ini_settings.h"

#include <QSettings>
#include <QString>
#include <charconv>

#include "settings/text_field.h"

namespace zv {
namespace {

QString qualified(IniKey key) {
    return QString::fromLatin1(INI_SECTION) + QLatin1Char('/') +
           QString::fromLatin1(ini_key_name(key));
}

std::string cut_value(std::string_view value) {
    return std::string(value.substr(0, utf8_cut_length(value, INI_VALUE_MAX_BYTES)));
}

}  // namespace

const char* ini_key_name(IniKey key) {
    switch (key) {
        case IniKey::ListFileDir:
            return "ListFileDir";
        case IniKey::ListFileSaveDir:
            return "ListFileSaveDir";
        case IniKey::ParamFileDir:
            return "ParamFileDir";
        case IniKey::ParamFileSaveDir:
            return "ParamFileSaveDir";
        case IniKey::SoundFileDir:
            return "SoundFileDir";
        case IniKey::SoundFileExportDir:
            return "SoundFileExportDir";
        case IniKey::EncToolDir:
            return "EncToolDir";
        case IniKey::SelectFolderPath:
            return "SelectFolderPath";
        case IniKey::Language:
            return "Language";
        case IniKey::EncoderConfirmed:
            return "EncoderConfirmed";
        case IniKey::LowLatency:
            return "LowLatency";
        case IniKey::ExportFormat:
            return "ExportFormat";
        case IniKey::OpusBitrate:
            return "OpusBitrate";
    }
    return "";
}

std::filesystem::path default_ini_file_path() {
    return default_program_folder() / INI_FILE_NAME;
}

IniSettings::IniSettings(std::filesystem::path file) : file_(std::move(file)) {}

std::string IniSettings::read(IniKey key) const {
    const QSettings ini(QString::fromStdString(file_.string()), QSettings::IniFormat);
    const QVariant value = ini.value(qualified(key));
    if (!value.isValid()) {
        const bool folder = key != IniKey::Language && key != IniKey::EncoderConfirmed &&
                            key != IniKey::LowLatency && key != IniKey::ExportFormat &&
                            key != IniKey::OpusBitrate;
        return folder ? home_folder() : std::string();
    }
    return cut_value(value.toString().toStdString());
}

bool IniSettings::write(IniKey key, std::string_view value, std::string& error) const {
    std::error_code ec;
    if (file_.has_parent_path()) {
        std::filesystem::create_directories(file_.parent_path(), ec);
    }
    // QSettings writes the whole file to a temporary name and renames it into place.
    QSettings ini(QString::fromStdString(file_.string()), QSettings::IniFormat);
    ini.setValue(qualified(key), QString::fromStdString(cut_value(value)));
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        error = "cannot write " + file_.string();
        return false;
    }
    return true;
}

namespace {

constexpr const char* FORMAT_WAV = "WAV";
constexpr const char* FORMAT_FLAC = "FLAC";
constexpr const char* FORMAT_OPUS = "Opus";

}  // namespace

void read_export_format_keys(const IniSettings& ini, ExportOptions& options,
                             EncoderSettings& encoder) {
    const std::string format = ini.read(IniKey::ExportFormat);
    options.non_mp3_format = format == FORMAT_FLAC   ? ExportFormat::Flac
                             : format == FORMAT_OPUS ? ExportFormat::Opus
                                                     : ExportFormat::Wav;
    int bitrate = 0;
    const std::string text = ini.read(IniKey::OpusBitrate);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), bitrate);
    const bool valid = ec == std::errc() && end == text.data() + text.size() &&
                       bitrate >= OPUS_MIN_KBPS && bitrate <= OPUS_MAX_KBPS;
    encoder.opus_bitrate_kbps = valid ? bitrate : OPUS_DEFAULT_KBPS;
}

bool write_export_format_keys(const IniSettings& ini, const ExportOptions& options,
                              const EncoderSettings& encoder, std::string& error) {
    const char* format = options.non_mp3_format == ExportFormat::Flac   ? FORMAT_FLAC
                         : options.non_mp3_format == ExportFormat::Opus ? FORMAT_OPUS
                                                                        : FORMAT_WAV;
    return ini.write(IniKey::ExportFormat, format, error) &&
           ini.write(IniKey::OpusBitrate, std::to_string(encoder.opus_bitrate_kbps), error);
}

}  // namespace zv
