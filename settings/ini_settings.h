// The INI file that remembers the last folder or file chosen in each file dialog, the
// window's language, the confirmed external encoder, the low-latency ON AIR switch and the
// export's format beside the state file's MP3 switch: zelmp3.ini in the program folder
// (default ~/.config/zelvonicmp3/zelmp3.ini), section "ZelvonicMP3". A key is read just before
// its dialog opens and written only when the dialog ends with OK; nothing is cached between
// dialogs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "export/export_options.h"
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
    // What the export writes when the state file says "not MP3": WAV (also when missing),
    // FLAC or Opus; and the Opus bitrate in kbit/s. The state file keeps its layout.
    ExportFormat,
    OpusBitrate,
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
    // (for Language, EncoderConfirmed, LowLatency, ExportFormat and OpusBitrate, an empty
    // text).
    std::string read(IniKey key) const;
    // Stores value cut to 259 bytes (never inside a UTF-8 sequence). The file is replaced
    // whole; false with error set when it cannot be written.
    bool write(IniKey key, std::string_view value, std::string& error) const;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

// The two export keys into the options the export dialogs edit: ExportFormat names what
// output_mp3 = 0 means ("WAV", "FLAC" or "Opus"; anything else is WAV), OpusBitrate the Opus
// bitrate (12..256, else the default 128). Read just before the dialogs open.
void read_export_format_keys(const IniSettings& ini, ExportOptions& options,
                             EncoderSettings& encoder);
// Writes them after the dialogs' OK (and when a failed MP3 encoder turned the export to WAV).
bool write_export_format_keys(const IniSettings& ini, const ExportOptions& options,
                              const EncoderSettings& encoder, std::string& error);

}  // namespace zv
