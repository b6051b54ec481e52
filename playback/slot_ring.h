// The ring of block slots between the owner thread and a sound device's real-time callback.
//
// Output: the owner fills a slot, queues it, and the callback plays the queued slots in order,
// each to its end, then reports it finished. Input: the owner gives slots to the recorder and
// the callback fills them, each to BLOCK_FRAMES, then reports them recorded. Finished and
// recorded slots reach the owner through lock-free queues and wake it through an eventfd.
//
// Threads: the owner side and the callback side may run at once; each side is one thread at a
// time. reset() only while no callback runs (the stream is stopped or closed). The callback
// side only copies, pops and pushes, and writes the eventfd: it never locks or allocates.
//
// Underflows and overflows count device periods (callbacks): an underflow is a callback whose
// output ran short (no queued slot while not draining) or that the device reports as having
// inserted a gap; an overflow is a callback that dropped recorded frames (no free slot) or
// that the device reports as having lost input. A callback adds at most one to each.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "playback/audio_device.h"
#include "playback/spsc_queue.h"

namespace zv {

class SlotRing {
public:
    // out_capacity_frames: how many stereo frames an output slot holds (a resampled block may
    // be longer than BLOCK_FRAMES). Input slots hold BLOCK_FRAMES.
    explicit SlotRing(int out_capacity_frames);
    ~SlotRing();
    SlotRing(const SlotRing&) = delete;
    SlotRing& operator=(const SlotRing&) = delete;

    // ---- owner side ----

    // Where the owner writes output slot `slot` before queueing it; nullptr for a bad index.
    int16_t* output_storage(int slot);
    int output_capacity_frames() const { return out_capacity_frames_; }
    // Queues `frames` frames of the slot for playing. False when the slot is still queued, the
    // index or count is bad, or the queue is full; nothing is queued then.
    bool queue_output(int slot, int frames);
    // True from queue_output until the callback has played the slot to its end.
    bool output_queued(int slot) const;
    // No more slots follow: once the queued ones are played, silence is not an underflow.
    void drain();
    // Gives input slot `slot` to the recorder.
    bool give_input(int slot);
    // The frames recorded into input slot `slot` (valid after its INPUT_DONE event until the
    // slot is given again).
    const int16_t* input_data(int slot) const;
    // Readable while events may be pending.
    int wait_fd() const { return event_fd_; }
    // Pops one event. A slot's recording is reported before an output slot finished in the
    // same callback.
    bool next_event(DeviceEvent& event);
    // Forgets everything queued, given and pending, and the draining state. Counters stay.
    void reset();

    uint64_t underflow_count() const { return underflows_.load(std::memory_order_relaxed); }
    uint64_t overflow_count() const { return overflows_.load(std::memory_order_relaxed); }
    // Frames recorded into slots since the last reset (the device's input clock).
    uint64_t recorded_frames() const { return recorded_.load(std::memory_order_acquire); }

    // ---- callback side ----

    // Fills `out` with `frames` stereo frames from the queued slots (silence where there are
    // none). device_underflow: the device said it inserted a gap before this callback.
    // Returns true when a slot was finished.
    bool play(int16_t* out, unsigned long frames, bool device_underflow);
    // Copies `frames` recorded frames (nullptr: silence) into the given slots.
    // device_overflow: the device said it lost input. Returns true when a slot was filled.
    bool record(const int16_t* in, unsigned long frames, bool device_overflow);
    // Wakes the owner; call once per callback that finished or filled a slot.
    void wake();

private:
    const int out_capacity_frames_;
    int event_fd_ = -1;

    std::array<std::unique_ptr<int16_t[]>, MAX_BUFFERS> out_slots_;
    std::array<int, MAX_BUFFERS> out_frames_{};  // written before the slot is queued
    std::array<std::atomic<bool>, MAX_BUFFERS> out_queued_{};
    std::array<std::unique_ptr<int16_t[]>, MAX_BUFFERS> in_slots_;

    SpscQueue<16> write_queue_;       // owner -> callback: output slots in playing order
    SpscQueue<16> add_queue_;         // owner -> callback: input slots free for recording
    SpscQueue<16> out_done_queue_;    // callback -> owner
    SpscQueue<16> in_done_queue_;     // callback -> owner
    bool pending_out_valid_ = false;  // owner only
    int32_t pending_out_ = 0;

    // Callback only, while a stream runs.
    int cur_out_ = -1;
    int out_pos_ = 0;
    int cur_in_ = -1;
    int in_pos_ = 0;

    std::atomic<bool> draining_{false};
    std::atomic<uint64_t> underflows_{0};
    std::atomic<uint64_t> overflows_{0};
    std::atomic<uint64_t> recorded_{0};
};

}  // namespace zv
