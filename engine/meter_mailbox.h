// The meters between the thread that runs the chain and the display that shows them. The
// producer adds each processed block's MeterSnapshot; the display takes everything added since
// its last take as one snapshot: the peaks are the largest of those blocks, a clip flag is set
// when any of them clipped, and the values that are states (the AGC reductions, the gate
// indicators) are the latest block's. So no peak or clip between two repaints is lost, however
// many blocks come between them, and a snapshot never mixes two blocks' fields.
//
// Threads: one producer calls add(), one consumer calls take(); they may be the same thread or
// two. Neither waits for the other, locks or allocates: three snapshot slots change hands
// through one atomic index (a triple buffer), so the producer may run inside a sound callback.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/meter_snapshot.h"

namespace zv {

// Lays a block's meters on what was gathered before it: largest peaks, any clip, latest states.
void gather_block_meters(MeterSnapshot& gathered, const MeterSnapshot& block);

class MeterMailbox {
public:
    // The producer, after each processed block.
    void add(const MeterSnapshot& block);
    // The consumer: true with everything added since the last take, false when nothing was.
    bool take(MeterSnapshot& out);
    // Forgets what was not taken. Only while neither side runs.
    void reset();

private:
    static constexpr uint32_t INDEX_MASK = 3;
    static constexpr uint32_t FRESH = 4;  // the middle slot holds blocks not taken yet

    std::array<MeterSnapshot, 3> slots_{};
    // The middle slot's index, with FRESH. The producer owns back_ and the consumer front_;
    // the three indices are always 0, 1 and 2 in some order.
    std::atomic<uint32_t> middle_{1};
    uint32_t back_ = 0;   // producer's
    uint32_t front_ = 2;  // consumer's
};

}  // namespace zv
