#include "plugins/rate_bridge.h"

#include <soxr.h>

#include <algorithm>

namespace zv::plugin {
namespace {

// Generous beyond anything libsoxr gives at once (a few thousand frames), so its output is
// never held back by a full buffer: what it gives then depends only on what it was given.
constexpr int CHAIN_BUFFER_FRAMES = 16384;
constexpr int UP_BUFFER_FRAMES = 65536;
// Frames (at the chain's rate) each resampler is fed in the search for its largest hold-back:
// several times the length in which its pattern repeats.
constexpr long long SEARCH_FRAMES = 16384;

soxr* make_resampler(double in_rate, double out_rate, int channels, std::string& why) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_t s = soxr_create(in_rate, out_rate, static_cast<unsigned>(channels), &error, &io,
                           &quality, &runtime);
    if (error != nullptr) {
        why = std::string("libsoxr: ") + error;
        soxr_delete(s);
        return nullptr;
    }
    return s;
}

}  // namespace

RateBridge::RateBridge(int host_rate, int chain_rate, int channels)
    : host_rate_(host_rate), chain_rate_(chain_rate), channels_(channels) {}

RateBridge::~RateBridge() {
    soxr_delete(down_);
    soxr_delete(up_);
}

std::unique_ptr<RateBridge> RateBridge::make(int host_rate, int chain_rate, int channels,
                                             std::string& why) {
    std::unique_ptr<RateBridge> b(new RateBridge(host_rate, chain_rate, channels));
    b->chain_capacity_ = CHAIN_BUFFER_FRAMES;
    b->up_capacity_ = UP_BUFFER_FRAMES;
    b->chain_buf_.assign(static_cast<std::size_t>(CHAIN_BUFFER_FRAMES * channels), 0.0f);
    b->up_buf_.assign(static_cast<std::size_t>(UP_BUFFER_FRAMES * channels), 0.0f);
    if (!b->create(why)) {
        return nullptr;
    }
    b->holdback_ = b->largest_holdback();
    b->queue_frames_ = static_cast<std::size_t>(b->holdback_ + UP_BUFFER_FRAMES + MAX_PIECE);
    b->queue_.assign(b->queue_frames_ * static_cast<std::size_t>(channels), 0.0f);
    b->restart();
    if (b->down_ == nullptr) {
        why = "libsoxr could not be restarted";
        return nullptr;
    }
    return b;
}

bool RateBridge::create(std::string& why) {
    soxr_delete(down_);
    soxr_delete(up_);
    up_ = nullptr;
    down_ = make_resampler(host_rate_, chain_rate_, channels_, why);
    if (down_ != nullptr) {
        up_ = make_resampler(chain_rate_, host_rate_, channels_, why);
    }
    if (up_ == nullptr) {
        soxr_delete(down_);
        down_ = nullptr;
        return false;
    }
    return true;
}

int RateBridge::down(const float* in, int frames) {
    std::size_t done = 0;
    soxr_process(down_, in, static_cast<std::size_t>(frames), nullptr, chain_buf_.data(),
                 static_cast<std::size_t>(chain_capacity_), &done);
    return static_cast<int>(done);
}

void RateBridge::up_and_queue(int chain_frames) {
    std::size_t done = 0;
    soxr_process(up_, chain_buf_.data(), static_cast<std::size_t>(chain_frames), nullptr,
                 up_buf_.data(), static_cast<std::size_t>(up_capacity_), &done);
    const std::size_t ch = static_cast<std::size_t>(channels_);
    for (std::size_t f = 0; f < done; ++f) {
        if (fill_count_ == queue_frames_) {
            break;  // cannot happen: the queue holds the hold-back and a whole burst
        }
        std::copy_n(&up_buf_[f * ch], ch, &queue_[fill_ * ch]);
        fill_ = fill_ + 1 == queue_frames_ ? 0 : fill_ + 1;
        ++fill_count_;
    }
}

void RateBridge::dequeue(float* out, int frames) {
    const std::size_t ch = static_cast<std::size_t>(channels_);
    for (std::size_t f = 0; f < static_cast<std::size_t>(frames); ++f) {
        if (fill_count_ == 0) {
            ++underruns_;
            std::fill_n(&out[f * ch], ch, 0.0f);
            continue;
        }
        std::copy_n(&queue_[read_ * ch], ch, &out[f * ch]);
        read_ = read_ + 1 == queue_frames_ ? 0 : read_ + 1;
        --fill_count_;
    }
}

// The most host frames that the two resamplers can hold back between them at the end of a
// block. Each resampler's output depends only on how much input it has had, so each is fed
// silence one frame at a time, every frame being a possible end of a block (for the second,
// of a burst from the first), and the largest amounts add up to a bound for any blocks. The
// patterns repeat within a few thousand frames. Leaves the resamplers used; restart() makes
// them anew.
int RateBridge::largest_holdback() {
    const float silence[8] = {};
    const long long ratio = host_rate_ / chain_rate_;
    long long in = 0, chain = 0, largest_down = 0;
    for (; in < SEARCH_FRAMES * ratio; ++in) {
        chain += down(silence, 1);
        largest_down = std::max(largest_down, in + 1 - ratio * chain);
    }
    long long fed = 0, out = 0, largest_up = 0;
    for (; fed < SEARCH_FRAMES; ++fed) {
        std::size_t done = 0;
        soxr_process(up_, silence, 1, nullptr, up_buf_.data(),
                     static_cast<std::size_t>(up_capacity_), &done);
        out += static_cast<long long>(done);
        largest_up = std::max(largest_up, ratio * (fed + 1) - out);
    }
    return static_cast<int>(largest_down + largest_up);
}

void RateBridge::restart() {
    std::string why;
    if (!create(why)) {
        return;
    }
    underruns_ = 0;
    read_ = fill_ = 0;
    fill_count_ = 0;
    // A second of silence first, in the pieces process() is given: libsoxr's buffers grow to
    // their working size here rather than in a real-time block.
    std::vector<float> silence(static_cast<std::size_t>(MAX_PIECE * channels_), 0.0f);
    long long in = 0, out = 0;
    while (in < host_rate_) {
        const int n = down(silence.data(), MAX_PIECE);
        in += MAX_PIECE;
        if (n > 0) {
            std::size_t done = 0;
            soxr_process(up_, chain_buf_.data(), static_cast<std::size_t>(n), nullptr,
                         up_buf_.data(), static_cast<std::size_t>(up_capacity_), &done);
            out += static_cast<long long>(done);
        }
    }
    // Held back now, and at most holdback_ later: the queue makes up the difference.
    const long long now = in - out;
    const long long queued = std::max(0LL, holdback_ - now);
    for (long long f = 0; f < queued; ++f) {
        std::fill_n(&queue_[fill_ * static_cast<std::size_t>(channels_)],
                    static_cast<std::size_t>(channels_), 0.0f);
        fill_ = fill_ + 1 == queue_frames_ ? 0 : fill_ + 1;
        ++fill_count_;
    }
    latency_ = static_cast<int>(queued + now);
}

}  // namespace zv::plugin
