// The INI file that remembers the last folder or file chosen in each file dialog, the
// window's language, the confirmed external encoder and the low-latency ON AIR switch: zelmp3.ini
// in the program folder (default ~/.config/zelvonicmp3/zelmp3.ini), section "ZelvonicMP3". A key is
// read just before its dialog opens and written only when the dialog ends with OK; nothing is
// cached between dialogs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "settings/program_folders.h"

namespace zv {

constexpr char INI_SECTION[] = "ZelvonicMP3";
constexpr std::size_t INI_VALUE_MAX_BYTES = 259;

enum class IniKey {
    ListFileDir,
    ListFileSaveDir,
    ParamFileDir,
    ParamFileSaveDir,
    SoundFileDir,
    SoundFileExportDir,
    EncToolDir,
    SelectFolderPath,
    Language,  // the window's language: Automatic (also when missing), English or Japanese
    // The confirmed external encoder: a hash of its program and parameter line
    // (encoder_trust.h); empty when missing.
    EncoderConfirmed,
    LowLatency,  // "1": ON AIR mode runs in the device's callback; anything else (or missing): off
};

// The LowLatency key's values.
inline constexpr const char* LOW_LATENCY_ON_TEXT = "1";
inline constexpr const char* LOW_LATENCY_OFF_TEXT = "0";

const char* ini_key_name(IniKey key);

// zelmp3.ini in the default program folder (see program_folders.h); the home folder is the
// default of every key.
std::filesystem::path default_ini_file_path();

class IniSettings {
public:
    explicit IniSettings(std::filesystem::path file = default_ini_file_path());

    // The stored value (at most 259 bytes), or when the key or file is missing the home folder
    // (for Language, EncoderConfirmed and LowLatency, an empty text).
    std::string read(IniKey key) const;
    // Stores value cut to 259 bytes (never inside a UTF-8 sequence). The file is replaced
    // whole; false with error set when it cannot be written.
    bool write(IniKey key, std::string_view value, std::string& error) const;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace zv
