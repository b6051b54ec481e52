// MP3 conversions of the export: an MP3 source decoded to a 16-bit PCM WAV before
// processing, and the processed WAV encoded to a constant-bitrate MP3 (built in, with
// libmp3lame at its defaults, or by the external encoder) with the exported ID3v1 tag.
// Each runs on one thread: the export job's, or the encoding stage's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "export/export_facts.h"
#include "export/export_options.h"
#include "export/peak_scan.h"
#include "sources/id3v1.h"

namespace zv {

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
// When peak is given, every sample written is fed to it (the level a scan of the WAV finds,
// without reading it again).
bool decode_mp3_to_wav(const std::string& mp3_path, const std::string& wav_path, Id3v1Tag& tag_slot,
                       const ConvertControl& control, ConvertFailure& why,
                       PeakTracker* peak = nullptr);

// The built-in encoder writing one MP3 file: constant bitrate, everything else at the
// library's defaults, no tag written by the library. It takes interleaved 16-bit frames in
// any amounts and hands the library 1152 frames per call, as it always read the processed
// song (constant-bitrate output depends neither on how the frames are cut nor on the
// length the library is told: checked for every rate, layout and 32..320 kbit/s). The cancel
// and the throttle are looked at before each call. On a failure or a cancel the file is
// removed. One thread at a time.
class Mp3FileEncoder {
public:
    Mp3FileEncoder();
    ~Mp3FileEncoder();
    Mp3FileEncoder(const Mp3FileEncoder&) = delete;
    Mp3FileEncoder& operator=(const Mp3FileEncoder&) = delete;

    // frames: the song's length when known, else 0.
    bool open(const std::string& mp3_path, int32_t rate, int channels, int bitrate_kbps,
              uint64_t frames, const ConvertControl& control, ConvertFailure& why);
    bool write(const int16_t* interleaved, size_t frames, ConvertFailure& why);
    // The last frames, the library's flush and the Info frame at the start; closes the file.
    bool finish(ConvertFailure& why);

    // Receives the stream as it is written, without the Info frame the library reserves at
    // its start: a decoder skips that frame in the finished file, so what it decodes from
    // these bytes is what it decodes from the file.
    std::function<void(const uint8_t* bytes, size_t size)> on_stream;

private:
    struct State;
    bool encode_pending(ConvertFailure& why);
    bool emit(const unsigned char* bytes, size_t size, ConvertFailure& why);
    bool fail(ConvertFailure& why, std::string text, int err = 0);

    std::unique_ptr<State> s_;
};

// The built-in encoder on a WAV: rate and channels from its header. A cancel stops it within
// one block of 1152 frames and leaves no MP3.
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
// appended when the source tag slot holds one. status(stage) tells which encoder runs.
EncodeOutcome encode_wav_to_mp3(const std::string& wav_path, const EncoderSettings& encoder,
                                const ExportOptions& options, const Id3v1Tag& tag_slot,
                                const ConvertControl& control,
                                const std::function<void(ExportStage)>& status);

// The exported ID3v1 tag appended to the MP3 when the source tag slot holds one. False with
// error (and the error number of the failed write) when it cannot be.
bool append_export_tag(const std::string& mp3_path, const Id3v1Tag& tag_slot,
                       const ExportOptions& options, std::string& error, int& write_errno);

}  // namespace zv
