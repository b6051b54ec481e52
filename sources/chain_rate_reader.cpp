#include "sources/chain_rate_reader.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

#include "sources/song_rates.h"

namespace zv {
namespace {

constexpr size_t READ_FRAMES = 8192;    // the song's frames per read
constexpr size_t RESAMPLER_SLACK = 64;  // output room beyond the ratio, per call

}  // namespace

double TpdfDither::draw() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) * (1.0 / 16777216.0);  // [0, 1)
}

int16_t TpdfDither::to_16_bit(float value) {
    const double tpdf = draw() - draw();
    const double v = static_cast<double>(value) * 32768.0 + tpdf;
    if (!(v == v)) {
        return 0;  // a NaN in a float file is silence, never undefined
    }
    const double rounded = std::floor(v + 0.5);
    return static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

struct ChainRateReader::Resampler {
    soxr_t soxr = nullptr;
    ~Resampler() {
        if (soxr != nullptr) {
            soxr_delete(soxr);
        }
    }
};

ChainRateReader::ChainRateReader() = default;
ChainRateReader::~ChainRateReader() = default;
ChainRateReader::ChainRateReader(ChainRateReader&&) noexcept = default;
ChainRateReader& ChainRateReader::operator=(ChainRateReader&&) noexcept = default;

bool ChainRateReader::open(const std::string& path) {
    close();
    return reader_.open(path) && start();
}

bool ChainRateReader::open(std::unique_ptr<ByteReader> input, std::string_view name) {
    close();
    return reader_.open(std::move(input), name) && start();
}

void ChainRateReader::close() {
    reader_.close();
    resampler_.reset();
    dither_.reseed(SONG_DITHER_SEED);
    rate_ = 0;
    frames_ = 0;
    produced_ = 0;
    pending_.clear();
    pending_pos_ = 0;
    flushed_ = false;
    error_.clear();
}

bool ChainRateReader::start() {
    const SndfileSongInfo& song = reader_.info();
    rate_ = chain_rate_for(song.rate);
    frames_ = chain_rate_frames(song.frames, song.rate);
    if (rate_ == song.rate) {
        return true;
    }
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    // One thread: the same output on every machine, and no threads of the library's own.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    resampler_ = std::make_unique<Resampler>();
    resampler_->soxr = soxr_create(song.rate, rate_, static_cast<unsigned>(song.channels), &err,
                                   &io, &quality, &runtime);
    if (resampler_->soxr == nullptr || err != nullptr) {
        error_ = std::string("cannot resample it: ") + (err != nullptr ? err : "no resampler");
        reader_.close();
        resampler_.reset();
        return false;
    }
    return true;
}

size_t ChainRateReader::read(int16_t* dst, size_t frames) {
    if (!is_open() || failed()) {
        return 0;
    }
    frames =
        static_cast<size_t>(std::min<uint64_t>(frames, frames_ - std::min(produced_, frames_)));
    if (resampler_ != nullptr) {
        return read_resampled(dst, frames);
    }
    const size_t ch = static_cast<size_t>(channels());
    if (song().plain_16_bit) {
        const size_t got = reader_.read_short(dst, frames);
        produced_ += got;
        return got;
    }
    size_t got = 0;
    while (got < frames) {
        const size_t want = std::min(READ_FRAMES, frames - got);
        input_.resize(want * ch);
        const size_t n = reader_.read_float(input_.data(), want);
        for (size_t i = 0; i < n * ch; ++i) {
            dst[got * ch + i] = dither_.to_16_bit(input_[i]);
        }
        got += n;
        if (n < want) {
            break;
        }
    }
    produced_ += got;
    return got;
}

// One read of the song through the resampler into pending_; at the song's end the
// resampler's last frames. False when reading or resampling failed.
bool ChainRateReader::refill() {
    const size_t ch = static_cast<size_t>(channels());
    const double ratio = static_cast<double>(rate_) / song().rate;
    const size_t room = static_cast<size_t>(READ_FRAMES * ratio) + RESAMPLER_SLACK;
    pending_.clear();
    pending_pos_ = 0;
    input_.resize(READ_FRAMES * ch);
    const size_t in = reader_.read_float(input_.data(), READ_FRAMES);
    if (reader_.failed()) {
        return false;
    }
    soxr_t soxr = resampler_->soxr;
    if (in == 0) {
        pending_.resize(room * ch);
        size_t out = 0;
        const soxr_error_t err =
            soxr_process(soxr, nullptr, 0, nullptr, pending_.data(), room, &out);
        if (err != nullptr) {
            error_ = std::string("cannot resample it: ") + err;
            return false;
        }
        pending_.resize(out * ch);
        flushed_ = out == 0;
        return true;
    }
    size_t fed = 0;
    while (fed < in) {
        const size_t old = pending_.size();
        pending_.resize(old + room * ch);
        size_t used = 0, out = 0;
        const soxr_error_t err = soxr_process(soxr, input_.data() + fed * ch, in - fed, &used,
                                              pending_.data() + old, room, &out);
        pending_.resize(old + out * ch);
        if (err != nullptr || (used == 0 && out == 0)) {
            error_ = std::string("cannot resample it: ") + (err != nullptr ? err : "stalled");
            return false;
        }
        fed += used;
    }
    return true;
}

size_t ChainRateReader::read_resampled(int16_t* dst, size_t frames) {
    const size_t ch = static_cast<size_t>(channels());
    size_t got = 0;
    while (got < frames) {
        const size_t ready = (pending_.size() - pending_pos_) / ch;
        if (ready == 0) {
            if (flushed_) {
                // The resampler may end a frame short of the rounded length: silence.
                std::fill(dst + got * ch, dst + frames * ch, int16_t{0});
                got = frames;
                break;
            }
            if (!refill()) {
                break;
            }
            continue;
        }
        const size_t take = std::min(ready, frames - got);
        for (size_t i = 0; i < take * ch; ++i) {
            dst[got * ch + i] = dither_.to_16_bit(pending_[pending_pos_ + i]);
        }
        pending_pos_ += take * ch;
        got += take;
    }
    produced_ += got;
    return got;
}

bool ChainRateReader::seek(uint64_t frame) {
    if (!is_open() || failed()) {
        return false;
    }
    frame = std::min(frame, frames_);
    const SndfileSongInfo& s = song();
    const uint64_t source_frame =
        rate_ == s.rate ? frame
                        : static_cast<uint64_t>(std::llround(static_cast<double>(frame) * s.rate /
                                                             static_cast<double>(rate_)));
    if (!reader_.seek(source_frame)) {
        return false;
    }
    if (resampler_ != nullptr) {
        soxr_clear(resampler_->soxr);
        pending_.clear();
        pending_pos_ = 0;
        flushed_ = false;
    }
    produced_ = frame;
    // The dither draws follow the position, so a song read from a place gives the same
    // samples there however it got there.
    dither_.reseed(SONG_DITHER_SEED + static_cast<uint32_t>(frame));
    return true;
}

}  // namespace zv
