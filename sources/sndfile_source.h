// Songs read through libsndfile: FLAC, Ogg Vorbis and Ogg Opus files, and WAV files the WAV
// reader refuses only for their depth or rate (24- and 32-bit integer and 32-bit float PCM,
// WAVE_FORMAT_EXTENSIBLE included, and 16-bit PCM at rates other than 32/44.1/48 kHz). The rules
// are those of the WAV and MP3 readers: regular files only, never blocking; a read error, or a
// stream that ends before the length its header gives, fails the song instead of passing for its
// end. Readers take a ByteReader, so tests and fuzzers feed memory buffers or readers that fail on
// demand.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sources/byte_reader.h"
#include "sources/riff_chunks.h"
#include "sources/song_tags.h"

namespace zv {

enum class SndfileCodec { Flac, Vorbis, Opus, Wav };

// Why a file is not taken, or why reading it stopped (None: it is taken, or read whole). The
// words are sndfile_problem_text's; detail adds the library's or the system's own.
enum class SndfileProblem {
    None,
    CannotOpen,  // missing, not a regular file, no permission (detail says which)
    ReadError,   // a read failed (detail: the system's text)
    Unreadable,  // the library does not recognise or cannot parse it (detail: its text)
    WrongKind,   // its contents are not what its name says (an Opus file named .flac)
    Encoding,    // a kind of samples not taken (ADPCM, u-law in a WAV ...)
    Channels,    // not 1 or 2 channels
    Rate,        // outside 8000..192000 Hz
    NoSamples,   // the header gives no samples
    CutShort,    // decoding stopped before the length the header gives: damaged or cut off
};

const char* sndfile_codec_text(SndfileCodec codec);  // "FLAC", "Ogg Vorbis", "Ogg Opus", "WAV"
// "cannot open: No such file or directory", "an Ogg Opus file, not FLAC as its name says", ...
std::string sndfile_problem_text(SndfileProblem problem, const std::string& detail);

// The extensions these songs go by: ".flac", ".ogg", ".oga", ".opus" (any case). WAV files
// keep their own reader; only the ones it refuses for their depth or rate come here.
bool is_sndfile_song_name(std::string_view path);
// A WAV the WAV reader refuses only for its depth or rate: 1 or 2 channels, 16, 24 or 32
// bits, a rate of 8..192 kHz, and not 16-bit PCM at 32000/44100/48000 Hz.
bool wav_walk_is_for_sndfile(const WavHeaderWalk& walk);
// The WAV files the program takes, in the words of a refusal: both readers together.
inline constexpr const char* WAV_FORMATS_TAKEN =
    "16-, 24- or 32-bit PCM or 32-bit float, 1 or 2 channels, 8000 to 192000 Hz only";

struct SndfileSongInfo {
    SndfileCodec codec = SndfileCodec::Flac;
    int32_t rate = 0;      // the song's own rate
    int32_t channels = 0;  // 1 or 2
    uint64_t frames = 0;   // per channel, at the song's own rate
    // Integer samples of at most 16 bits: they reach the chain exactly as stored when the rate
    // needs no resampling. Deeper and lossy (float) samples are dithered to 16 bits.
    bool plain_16_bit = false;
    SongTags tags;  // Vorbis comments of FLAC, Vorbis and Opus; none for WAV
};

// The song's 16-bit PCM bytes at its own rate, all channels; a hostile length saturates rather
// than wraps.
inline int64_t sndfile_pcm_bytes(const SndfileSongInfo& info) {
    return static_cast<int64_t>(std::min<uint64_t>(info.frames, INT64_MAX / 4) *
                                static_cast<uint64_t>(info.channels) * 2);
}

// How much open() looks at. Headers is the probe's: the headers and the comments. WholeSong,
// for a song that is about to be read whole (playback, export, measurements), walks every
// page of an Ogg file first (ogg_pages.h): libsndfile would pass a damaged page over.
enum class SndfileOpen { Headers, WholeSong };

// Reads one song's samples in order at its own rate. RAII: the file and the library's
// handle close with the reader.
class SndfileReader {
public:
    SndfileReader();
    ~SndfileReader();
    SndfileReader(SndfileReader&&) noexcept;
    SndfileReader& operator=(SndfileReader&&) noexcept;
    SndfileReader(const SndfileReader&) = delete;
    SndfileReader& operator=(const SndfileReader&) = delete;

    // Opens the file (regular files only, never blocking) and checks it: the kind its name
    // says (by extension; a ".wav" must be a WAV), 1 or 2 channels, 8..192 kHz, samples.
    // False with problem() set when it is not taken.
    bool open(const std::string& path, SndfileOpen check = SndfileOpen::WholeSong);
    // The same on any input; name only decides the kind expected.
    bool open(std::unique_ptr<ByteReader> input, std::string_view name,
              SndfileOpen check = SndfileOpen::WholeSong);
    void close();
    bool is_open() const;

    const SndfileSongInfo& info() const { return info_; }

    // Up to `frames` interleaved frames; fewer (0 at the end) when the song ends or reading
    // stopped: failed() tells which. A song whose samples end before info().frames fails
    // (CutShort), and so does a failed read (ReadError); every later read returns 0.
    size_t read_short(int16_t* dst, size_t frames);
    size_t read_float(float* dst, size_t frames);  // full scale is +-1.0
    // Moves to a frame of the song (clamped to its end).
    bool seek(uint64_t frame);
    uint64_t position() const { return position_; }

    bool failed() const { return problem_ != SndfileProblem::None && is_open(); }
    SndfileProblem problem() const { return problem_; }
    std::string error() const { return sndfile_problem_text(problem_, detail_); }

private:
    struct State;
    template <typename T>
    size_t read_frames(T* dst, size_t frames);
    bool refuse(SndfileProblem problem, std::string detail = {});
    void stop_reading(SndfileProblem problem, std::string detail = {});

    std::unique_ptr<State> state_;
    SndfileSongInfo info_;
    uint64_t position_ = 0;
    SndfileProblem problem_ = SndfileProblem::None;
    std::string detail_;
};

// The probe: what the playlist shows for such a file. False (with why, when given) when it is
// not taken. Only the headers and the comments are read.
bool probe_sndfile(const std::string& path, SndfileSongInfo& info, std::string* why = nullptr);
bool probe_sndfile(const uint8_t* data, size_t size, std::string_view name, SndfileSongInfo& info);

}  // namespace zv
