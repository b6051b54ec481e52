// The export, encoder and throttle options: process-wide values that the option dialogs
// edit, the export job reads and the state file stores. Text fields are zero-terminated
// inside their arrays; the sizes are those of the stored format (name_affix is stored in a
// wider slot of the file but never holds more than 31 characters in memory).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace zv {

constexpr int TAG_PREFIX_BYTES = 32;         // at most 31 characters
constexpr int NAME_AFFIX_BYTES = 32;         // at most 31 characters
constexpr int ENCODER_TEXT_BYTES = 260;      // path and parameter template
constexpr int ENCODER_TEXT_MAX_CHARS = 257;  // what the encoder dialog accepts

// What an export writes. The state file keeps only output_mp3 (1 MP3, 0 not); which of WAV,
// FLAC and Opus "not MP3" means is kept in the INI file (ExportFormat), so the state file's
// layout stays and a state file that says MP3 keeps meaning MP3.
enum class ExportFormat { Wav, Mp3, Flac, Opus };

// Opus bitrates in kbit/s for the whole stream (libsndfile's encoder takes 6..256 per channel).
constexpr int32_t OPUS_MIN_KBPS = 12;
constexpr int32_t OPUS_MAX_KBPS = 256;
constexpr int32_t OPUS_DEFAULT_KBPS = 128;
constexpr int32_t OPUS_RATE = 48000;  // what Opus encodes; other chain rates are resampled
constexpr int FLAC_COMPRESSION_LEVEL = 5;

// The bitrates the option dialogs round up to (MPEG-1 Layer III).
constexpr std::array<int32_t, 14> MP3_BITRATES = {32,  40,  48,  56,  64,  80,  96,
                                                  112, 128, 160, 192, 224, 256, 320};

struct ExportOptions {
    int32_t output_mp3 = 1;  // 1 MP3, 0 WAV
    int32_t normalise_on_export = 1;
    std::array<char, TAG_PREFIX_BYTES> tag_album_prefix{};
    std::array<char, TAG_PREFIX_BYTES> tag_title_prefix{};
    std::array<char, NAME_AFFIX_BYTES> name_affix{'m', 'm', '_'};
    int32_t affix_is_postfix = 0;  // 1 after the name, 0 before it
    int32_t save_to_source_folder = 0;
    // What output_mp3 = 0 writes: WAV, FLAC or Opus (never Mp3). Not in the state file.
    ExportFormat non_mp3_format = ExportFormat::Wav;
};

inline ExportFormat export_format(const ExportOptions& o) {
    return o.output_mp3 != 0 ? ExportFormat::Mp3 : o.non_mp3_format;
}
inline void set_export_format(ExportOptions& o, ExportFormat format) {
    o.output_mp3 = format == ExportFormat::Mp3 ? 1 : 0;
    if (format != ExportFormat::Mp3) {
        o.non_mp3_format = format;
    }
}
// ".wav", ".mp3", ".flac", ".opus"
inline const char* export_format_extension(ExportFormat format) {
    switch (format) {
        case ExportFormat::Wav:
            return ".wav";
        case ExportFormat::Mp3:
            return ".mp3";
        case ExportFormat::Flac:
            return ".flac";
        case ExportFormat::Opus:
            return ".opus";
    }
    return ".wav";
}

// The built-in encoders' bitrates and the external encoder program.
struct EncoderSettings {
    int32_t mp3_bitrate_kbps = 128;
    int32_t opus_bitrate_kbps = OPUS_DEFAULT_KBPS;  // not in the state file: the INI keeps it
    int32_t use_external_encoder = 0;
    std::array<char, ENCODER_TEXT_BYTES> external_encoder_path{};
    // %1 is the input WAV path, %2 the output MP3 path.
    std::array<char, ENCODER_TEXT_BYTES> external_encoder_params{};
};

// Written by the export dialog while the export job reads them, hence atomic.
struct ThrottleSettings {
    std::atomic<int32_t> cpu_throttle_on{0};
    std::atomic<int32_t> cpu_throttle_level{10};  // 1..40 on the dialog's slider
};

}  // namespace zv
