// The chain at 44.1 or 48 kHz inside a host at two or four times that rate. The host's frames
// are resampled down (libsoxr, a fixed ratio), run through the chain and resampled up again.
// libsoxr keeps its output aligned with its input by holding output back at first, by an
// amount that varies with its internal blocks; the bridge holds the largest such amount of
// silence in an output queue, so every block gives as many frames as it takes and the delay is
// one fixed number. Everything is made and sized at construction; process() allocates nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct soxr;

namespace zv::plugin {

class RateBridge {
public:
    // The most host frames process() takes at once.
    static constexpr int MAX_PIECE = 1024;

    // nullptr, with why, when libsoxr refuses the rates.
    static std::unique_ptr<RateBridge> make(int host_rate, int chain_rate, int channels,
                                            std::string& why);
    ~RateBridge();
    RateBridge(const RateBridge&) = delete;
    RateBridge& operator=(const RateBridge&) = delete;

    // Starts afresh: empty resamplers, the output queue refilled. Allocates (not real-time).
    void restart();

    // Host frames the bridge delays the signal by (the chain's own delay comes on top, at the
    // chain's rate).
    int latency() const { return latency_; }
    // Times the output queue ran dry since the last restart (never, by construction).
    long underruns() const { return underruns_; }

    // One piece of at most MAX_PIECE host frames: in and out interleaved by channel (out may be
    // in). chain(frames, count) processes count chain-rate frames in place.
    template <typename Chain>
    void process(const float* in, float* out, int frames, Chain&& chain);

private:
    RateBridge(int host_rate, int chain_rate, int channels);
    bool create(std::string& why);
    int largest_holdback();
    int down(const float* in, int frames);  // into chain_buf_; returns chain frames
    void up_and_queue(int chain_frames);    // from chain_buf_ into the queue
    void dequeue(float* out, int frames);

    int host_rate_, chain_rate_, channels_;
    soxr* down_ = nullptr;
    soxr* up_ = nullptr;
    int latency_ = 0;
    int holdback_ = 0;  // the largest amount libsoxr holds back, in host frames
    long underruns_ = 0;
    std::vector<float> chain_buf_;  // chain-rate frames between the resamplers
    std::vector<float> up_buf_;     // host frames out of the up resampler
    std::vector<float> queue_;      // ring of host frames
    std::size_t queue_frames_ = 0;  // its capacity in frames
    std::size_t read_ = 0, fill_ = 0, fill_count_ = 0;
    int chain_capacity_ = 0, up_capacity_ = 0;
};

template <typename Chain>
void RateBridge::process(const float* in, float* out, int frames, Chain&& chain) {
    const int n = down(in, frames);
    if (n > 0) {
        chain(chain_buf_.data(), n);
        up_and_queue(n);
    }
    dequeue(out, frames);
}

}  // namespace zv::plugin
