#include "settings/ini_settings.h"

#include <QSettings>
#include <QString>

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
        const bool folder =
            key != IniKey::Language && key != IniKey::EncoderConfirmed && key != IniKey::LowLatency;
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

}  // namespace zv
