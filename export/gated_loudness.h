// Integrated loudness, loudness range and sample peak as the loudness line computes them
// (libebur128's modes I, LRA and sample peak), to the bit: the K-weighting filter (the shelf
// and the high-pass as one fourth-order section, in double, results too small for a normal
// double flushed to zero), the mean squares of 400 ms blocks every 100 ms and of 3 s blocks
// every second, each a sum in the order libebur128's ring of filtered frames gives it, the
// absolute gate at -70 LUFS and the relative gates over the blocks kept.
//
// Faster than the library on an export: both channels filter in the two lanes of a register,
// and the sums of the blocks that are due run in the same loop as the filter of the next
// frames (the filter is a chain of dependent operations; the sums are chains of their own that
// fill its waits), over a ring of its own that holds ten chunks more than the library's so
// that a 3 s sum can take the next second to finish. That only when the thread flushes to zero
// already (every export worker does), since the sums then see the mode the library's sums
// see; otherwise each sum runs when it is due, as in the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/lanes.h"

namespace zv {

class GatedLoudness {
public:
    // channels 1 or 2; rate in Hz, 16 to 2,822,400 as the library takes it. ok() is false
    // for anything else or when there is no memory for the ring.
    GatedLoudness(int channels, int32_t rate);

    bool ok() const { return ok_; }

    // Interleaved frames (samples.size() / channels of them): 16-bit samples over 32768,
    // floats as they are.
    void add(std::span<const int16_t> samples);
    void add(std::span<const float> samples);

    // In LUFS; -infinity when no 400 ms block passes the gates (silence, or too short a song).
    double integrated_lufs() const;
    // In LU; 0 with fewer than one 3 s block above the gates.
    double range_lu() const;
    // The largest sample magnitude of the channel, full scale 1.0.
    double sample_peak(int channel) const { return channel == 0 ? lane_l(peak_) : lane_r(peak_); }

private:
    // One block's mean square in the making: its chunks (ring offsets, in frames) in the order
    // the library's ring gives them, summed one after another with both channels in lanes.
    struct BlockSum {
        std::vector<size_t> chunks;
        size_t next = 0;     // the chunk being summed
        size_t done = 0;     // its frames summed
        Pair sum = zero2();  // the channels' running sums
        int64_t frames = 0;  // of the block, the divisor
        bool active = false;
    };

    template <typename Sample>
    void add_frames(const Sample* samples, size_t frames, double scale);
    template <typename Sample, int Channels, bool Blocks, bool Terms>
    void filter_run(const Sample* in, size_t frames, Pair inverse, const double* blocks,
                    const double* terms);
    // The chunk just filled is done: the blocks due now begin (or, without the fused loop,
    // are summed at once).
    void chunk_done();
    void begin_sum(BlockSum& sum, int32_t chunks);
    bool fit(BlockSum& sum, std::vector<double>& kept, size_t per_frame, size_t& n);
    void summed(BlockSum& sum, std::vector<double>& kept, size_t count);
    // Counts `count` frames of the block's current chunk summed.
    void step(BlockSum& sum, size_t count) const;
    // Sums `count` frames of the block's current chunk, up to its end.
    void advance(BlockSum& sum, size_t count) const;
    void complete(BlockSum& sum) const;
    double mean_square(const BlockSum& sum) const;
    // A block whose chunks are all summed: kept when above the absolute gate.
    void keep_if_done(BlockSum& sum, std::vector<double>& kept);
    void finish_and_keep(BlockSum& sum, std::vector<double>& kept);
    // The kept energies with a block still being summed finished on a copy.
    std::vector<double> with_pending(const std::vector<double>& kept, const BlockSum& sum) const;
    void flush_state_by_hand();
    // The next frame a block sums.
    const double* frame_at(const BlockSum& sum) const {
        return ring_.data() + 2 * (sum.chunks[sum.next] + sum.done);
    }

    int channels_ = 0;
    bool ok_ = false;
    bool fused_ = false;          // for the call under way
    size_t chunk_frames_ = 0;     // 100 ms, rounded
    int64_t library_chunks_ = 0;  // in the library's ring: 3 s rounded up to whole chunks
    int64_t ring_chunks_ = 0;     // in ours
    // K-weighted frames, left and right (0 for mono) side by side, chunk n at frame offset
    // (n % ring_chunks_) * chunk_frames_.
    std::vector<double> ring_;
    int64_t chunks_done_ = 0;
    size_t filled_ = 0;         // frames of the chunk being filled
    int64_t term_counter_ = 0;  // chunks towards the next 3 s block, as the library counts
    Pair a1_, a2_, a3_, a4_, b0_, b1_, b2_, b3_, b4_;
    Pair v1_ = zero2(), v2_ = zero2(), v3_ = zero2(), v4_ = zero2();
    Pair peak_ = zero2();
    BlockSum block_;              // 400 ms
    BlockSum term_;               // 3 s
    std::vector<double> blocks_;  // energies of the 400 ms blocks above the absolute gate
    std::vector<double> terms_;   // the same of the 3 s blocks
};

}  // namespace zv
