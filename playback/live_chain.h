// The chain of low-latency ON AIR mode: it runs inside the sound device's own callback, one
// device period at a time, on a processor of its own (a copy of the program's, taken at the
// start). Real-time rules hold in run(): no allocation, no lock, no system call. The owner
// thread hands the panel's parameter changes over through a lock-free queue (taken at the start
// of the next period) and reads the meters as published snapshots (meter_mailbox.h); the
// program's processor runs no stream meanwhile, so the panel edits it as in block mode.
//
// Threads: start() and the owner calls on one thread; run() on the device's callback thread,
// only between start() and the stream's stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/processor.h"
#include "playback/meter_mailbox.h"
#include "playback/spsc_queue.h"

namespace zv {

enum class HandOver { Unchanged, Sent, QueueFull };

class LiveChain {
public:
    // Frames of silence run() has ready for a device that gives no input buffer.
    static constexpr int SILENCE_FRAMES = 1024;

    LiveChain();
    ~LiveChain();
    LiveChain(const LiveChain&) = delete;
    LiveChain& operator=(const LiveChain&) = delete;

    // ---- owner side ----

    // Copies the program's processor (its rate already set) and clears the counters, the
    // queue and the meters. Only while no callback runs.
    void start(const Processor& program);
    // Hands the panel's values over when they differ from those last handed over. With the
    // queue full (four hand-overs in one period) the next call tries again.
    HandOver hand_over(const ProcessorParams& panel);
    // The meters accumulated since the last take; false when no period has ended since.
    bool take_meters(MeterSnapshot& out) { return meters_.take(out); }
    // Frames processed since start().
    uint64_t frames() const { return frames_.load(std::memory_order_acquire); }
    // Periods the device flagged as late (an xrun: input lost or output gap).
    uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
    // Frames of the last period, 0 before the first.
    uint32_t period_frames() const { return period_.load(std::memory_order_relaxed); }
    // The chain's processor; the owner may read it only while no callback runs.
    const Processor& processor() const { return *processor_; }

    // ---- callback side ----

    // One device period: the newest handed-over values are taken, then `frames` interleaved
    // stereo frames of `in` (nullptr: silence) are processed into `out`. xrun: the device says
    // input was lost or output had a gap before this period.
    void run(const int16_t* in, int16_t* out, unsigned long frames, bool xrun);

private:
    static constexpr size_t QUEUE_SLOTS = 4;

    std::unique_ptr<Processor> processor_;
    SpscQueue<QUEUE_SLOTS, ProcessorParams> params_;
    std::unique_ptr<ProcessorParams> sent_;      // owner only: the values last handed over
    std::unique_ptr<ProcessorParams> incoming_;  // callback only: where a hand-over is popped
    std::unique_ptr<int16_t[]> silence_;
    MeterMailbox meters_;
    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> xruns_{0};
    std::atomic<uint32_t> period_{0};
};

}  // namespace zv
