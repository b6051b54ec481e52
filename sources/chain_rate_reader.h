// A song read through libsndfile as the chain takes it: 16-bit interleaved frames (one or two
// channels, as the song has them) at the chain rate of its family (song_rates.h).
//
// Integer songs of at most 16 bits at 32000, 44100 or 48000 Hz pass exactly as stored, so a
// 16-bit FLAC gives the samples of the same song as a 16-bit WAV. Every other song is read
// as floating point, resampled with libsoxr at its very high quality when its rate is not a
// chain rate, and taken to 16 bits with TPDF dither (two uniform draws, one LSB each) from a
// generator seeded when the song opens (and at a seek, from the position): a song always
// gives the same samples, whatever was read before it or how it is cut into reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sources/byte_reader.h"
#include "sources/sndfile_source.h"

namespace zv {

constexpr uint32_t SONG_DITHER_SEED = 0x5A3C9E17u;

// The dither generator: a 32-bit linear congruential generator whose upper bits make the
// draws. A pair of draws gives one triangular value in (-1, 1) LSB.
class TpdfDither {
public:
    explicit TpdfDither(uint32_t seed = SONG_DITHER_SEED) : state_(seed) {}
    void reseed(uint32_t seed) { state_ = seed; }
    // Full scale +-1.0 to a 16-bit sample, dithered and clipped.
    int16_t to_16_bit(float value);

private:
    double draw();
    uint32_t state_;
};

class ChainRateReader {
public:
    ChainRateReader();
    ~ChainRateReader();
    ChainRateReader(ChainRateReader&&) noexcept;
    ChainRateReader& operator=(ChainRateReader&&) noexcept;
    ChainRateReader(const ChainRateReader&) = delete;
    ChainRateReader& operator=(const ChainRateReader&) = delete;

    // Opens the song (SndfileReader::open's rules) and readies the resampler. False with
    // error() set when the song is not taken or the resampler cannot be made.
    bool open(const std::string& path);
    bool open(std::unique_ptr<ByteReader> input, std::string_view name);
    void close();
    bool is_open() const { return reader_.is_open(); }

    const SndfileSongInfo& song() const { return reader_.info(); }
    int32_t rate() const { return rate_; }  // the chain rate
    int channels() const { return reader_.info().channels; }
    // The song's length at the chain rate: exactly what the reads give when nothing fails.
    uint64_t frames() const { return frames_; }
    bool resampled() const { return resampler_ != nullptr; }

    // Up to `frames` interleaved frames; fewer (0 at the end) when the song ends or reading
    // failed: failed() tells which. After a failure every read returns 0.
    size_t read(int16_t* dst, size_t frames);
    // Moves to a chain-rate frame (clamped to the end). The resampler starts afresh there.
    bool seek(uint64_t frame);
    uint64_t position() const { return produced_; }

    bool failed() const { return !error_.empty() || reader_.failed(); }
    std::string error() const { return error_.empty() ? reader_.error() : error_; }

private:
    bool start();
    size_t read_resampled(int16_t* dst, size_t frames);
    bool refill();

    SndfileReader reader_;
    struct Resampler;
    std::unique_ptr<Resampler> resampler_;
    TpdfDither dither_;
    int32_t rate_ = 0;
    uint64_t frames_ = 0;
    uint64_t produced_ = 0;
    std::vector<float> input_;    // the song's frames at its own rate, one read
    std::vector<float> pending_;  // resampled frames not handed out yet
    size_t pending_pos_ = 0;      // values of pending_ already handed out
    bool flushed_ = false;        // the resampler has given its last frames
    std::string error_;
};

}  // namespace zv
