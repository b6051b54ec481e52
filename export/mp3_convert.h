// MP3 conversions of the export: an MP3 source decoded to a 16-bit PCM WAV before
// processing, and the processed WAV encoded to a constant-bitrate MP3 (built in, with
// libmp3lame at its defaults, or by the external encoder) with the exported ID3v1 tag.
// Everything here runs on the export job's thread.
#pragma once

#include <functional>
#include <string>

#include "export/export_options.h"
#include "sources/id3v1.h"

namespace zv {

inline constexpr const char* TEXT_CONVERTING_TO_MP3 = "Converting to MP3 format..";
inline constexpr const char* TEXT_CONVERTING_TO_MP3_EXT =
    "Converting to MP3 format with EXT encoder..";

// How a conversion runs: the throttle pauses, a cancel checked once per frame (or per block
// of 1152 frames when encoding), and the external encoder's time limit.
struct ConvertControl {
    const ThrottleSettings* throttle = nullptr;
    std::function<bool()> cancelled;  // empty: never cancelled
    int encoder_timeout_seconds = 0;  // 0: no limit
};

// Why a conversion failed. The texts never name the working files: the caller says which
// song it was, and a failed write of a working file comes back as its error number.
struct ConvertFailure {
    std::string text;
    int write_errno = 0;     // writing a working file failed with this error
    bool cancelled = false;  // stopped by the cancel; nothing was written
};

// Reads the MP3's ID3v1 tag into tag_slot, then decodes the whole stream into a RIFF/WAVE
// file (16-bit PCM at the stream's rate and channels, one "data" chunk). False with why set
// when the MP3 cannot be opened or a frame fails to decode, or when cancelled; no WAV is left
// then.
bool decode_mp3_to_wav(const std::string& mp3_path, const std::string& wav_path, Id3v1Tag& tag_slot,
                       const ConvertControl& control, ConvertFailure& why);

// The built-in encoder: constant bitrate at bitrate_kbps, everything else at the library's
// defaults, no tag written by the library; rate and channels from the WAV header. A cancel
// stops it within one block of 1152 frames and leaves no MP3.
bool encode_wav_to_mp3_builtin(const std::string& wav_path, const std::string& mp3_path,
                               int bitrate_kbps, const ConvertControl& control,
                               ConvertFailure& why);

struct EncodeOutcome {
    bool ok = false;
    bool params_too_long = false;
    bool cancelled = false;  // stopped by the cancel (the external encoder was ended)
    bool timed_out = false;  // the external encoder ran past its time limit and was ended
    std::string mp3_path;
    std::string error;
    int write_errno = 0;
    std::string encoder_output;  // what the external encoder printed (its last 16 KiB)
};

// The whole MP3 step: built-in or external encoder by the settings, then the exported tag
// appended when the source tag slot holds one. status(text) shows the status line.
EncodeOutcome encode_wav_to_mp3(const std::string& wav_path, const EncoderSettings& encoder,
                                const ExportOptions& options, const Id3v1Tag& tag_slot,
                                const ConvertControl& control,
                                const std::function<void(const char*)>& status);

}  // namespace zv
