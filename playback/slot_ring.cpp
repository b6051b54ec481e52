#include "playback/slot_ring.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace zv {

SlotRing::SlotRing(int out_capacity_frames) : out_capacity_frames_(out_capacity_frames) {
    event_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    for (int i = 0; i < MAX_BUFFERS; ++i) {
        out_slots_[i] = std::make_unique<int16_t[]>(static_cast<size_t>(out_capacity_frames) * 2);
        in_slots_[i] = std::make_unique<int16_t[]>(BLOCK_FRAMES * 2);
    }
}

SlotRing::~SlotRing() {
    if (event_fd_ >= 0) {
        ::close(event_fd_);
    }
}

int16_t* SlotRing::output_storage(int slot) {
    return slot >= 0 && slot < MAX_BUFFERS ? out_slots_[slot].get() : nullptr;
}

bool SlotRing::queue_output(int slot, int frames) {
    if (slot < 0 || slot >= MAX_BUFFERS || frames < 0 || frames > out_capacity_frames_ ||
        out_queued_[slot].load(std::memory_order_acquire)) {
        return false;
    }
    out_frames_[slot] = frames;
    out_queued_[slot].store(true, std::memory_order_release);
    if (!write_queue_.push(slot)) {
        out_queued_[slot].store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool SlotRing::output_queued(int slot) const {
    return slot >= 0 && slot < MAX_BUFFERS && out_queued_[slot].load(std::memory_order_acquire);
}

void SlotRing::drain() {
    draining_.store(true, std::memory_order_release);
}

bool SlotRing::give_input(int slot) {
    return slot >= 0 && slot < MAX_BUFFERS && add_queue_.push(slot);
}

const int16_t* SlotRing::input_data(int slot) const {
    return slot >= 0 && slot < MAX_BUFFERS ? in_slots_[slot].get() : nullptr;
}

bool SlotRing::next_event(DeviceEvent& event) {
    // In one duplex stream a block's input is reported before its output; taking the output
    // event first and then looking at the inputs keeps that order for the owner.
    if (!pending_out_valid_) {
        pending_out_valid_ = out_done_queue_.pop(pending_out_);
    }
    int32_t slot = 0;
    if (in_done_queue_.pop(slot)) {
        event = {DeviceEventKind::INPUT_DONE, slot};
        return true;
    }
    if (pending_out_valid_) {
        pending_out_valid_ = false;
        event = {DeviceEventKind::OUTPUT_DONE, pending_out_};
        return true;
    }
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(event_fd_, &value, sizeof value);
    // An event may have landed between the last pop and the read; look once more.
    if (out_done_queue_.pop(pending_out_)) {
        pending_out_valid_ = true;
        return next_event(event);
    }
    if (in_done_queue_.pop(slot)) {
        event = {DeviceEventKind::INPUT_DONE, slot};
        return true;
    }
    return false;
}

void SlotRing::reset() {
    write_queue_.clear();
    add_queue_.clear();
    out_done_queue_.clear();
    in_done_queue_.clear();
    pending_out_valid_ = false;
    for (auto& q : out_queued_) {
        q.store(false, std::memory_order_relaxed);
    }
    cur_out_ = -1;
    out_pos_ = 0;
    cur_in_ = -1;
    in_pos_ = 0;
    draining_.store(false, std::memory_order_relaxed);
    recorded_.store(0, std::memory_order_relaxed);
    if (event_fd_ >= 0) {
        uint64_t value = 0;
        [[maybe_unused]] ssize_t n = ::read(event_fd_, &value, sizeof value);
    }
}

// ---- callback side: copies, queue operations and one eventfd write, nothing else ----

bool SlotRing::play(int16_t* out, unsigned long frames, bool device_underflow) {
    bool finished = false;
    bool ran_short = false;
    unsigned long pos = 0;
    while (pos < frames) {
        if (cur_out_ < 0) {
            int32_t slot = 0;
            if (!write_queue_.pop(slot)) {
                std::memset(out + pos * 2, 0, (frames - pos) * 4);
                ran_short = !draining_.load(std::memory_order_acquire);
                break;
            }
            cur_out_ = slot;
            out_pos_ = 0;
        }
        const int have = out_frames_[cur_out_] - out_pos_;
        const unsigned long n =
            std::min<unsigned long>(static_cast<unsigned long>(have), frames - pos);
        std::memcpy(out + pos * 2, out_slots_[cur_out_].get() + out_pos_ * 2, n * 4);
        pos += n;
        out_pos_ += static_cast<int>(n);
        if (out_pos_ >= out_frames_[cur_out_]) {
            out_queued_[cur_out_].store(false, std::memory_order_release);
            out_done_queue_.push(cur_out_);
            cur_out_ = -1;
            finished = true;
        }
    }
    if (ran_short || device_underflow) {
        underflows_.fetch_add(1, std::memory_order_relaxed);
    }
    return finished;
}

bool SlotRing::record(const int16_t* in, unsigned long frames, bool device_overflow) {
    bool finished = false;
    bool dropped = false;
    unsigned long pos = 0;
    while (pos < frames) {
        if (cur_in_ < 0) {
            int32_t slot = 0;
            if (!add_queue_.pop(slot)) {
                dropped = true;
                break;
            }
            cur_in_ = slot;
            in_pos_ = 0;
        }
        const unsigned long n = std::min<unsigned long>(
            static_cast<unsigned long>(BLOCK_FRAMES - in_pos_), frames - pos);
        int16_t* dst = in_slots_[cur_in_].get() + in_pos_ * 2;
        if (in != nullptr) {
            std::memcpy(dst, in + pos * 2, n * 4);
        } else {
            std::memset(dst, 0, n * 4);
        }
        pos += n;
        in_pos_ += static_cast<int>(n);
        if (in_pos_ >= BLOCK_FRAMES) {
            in_done_queue_.push(cur_in_);
            cur_in_ = -1;
            finished = true;
        }
    }
    if (dropped || device_overflow) {
        overflows_.fetch_add(1, std::memory_order_relaxed);
    }
    recorded_.fetch_add(pos, std::memory_order_release);
    return finished;
}

void SlotRing::wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(event_fd_, &one, sizeof one);
}

}  // namespace zv
