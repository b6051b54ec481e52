// A sound device that plays nothing: every block written waits until step() says it has been
// played. The screenshot runs a song through the processor with it, block by block, without
// a sound card.
#pragma once

#include <deque>
#include <vector>

#include "playback/audio_device.h"

namespace zv {

class StepDevice final : public AudioDevice {
public:
    bool open(const DeviceOpenRequest& request, DeviceError& error) override {
        (void)error;
        rate_ = request.sample_rate;
        open_ = true;
        return true;
    }
    bool output_open() const override { return open_; }
    bool input_open() const override { return false; }
    int device_rate() const override { return rate_; }
    void close() override {
        open_ = false;
        queued_.clear();
        events_.clear();
        flags_.assign(MAX_BUFFERS, false);
    }
    bool write(int slot, const int16_t* data, int bytes, bool last) override {
        (void)data;
        (void)bytes;
        (void)last;
        if (!open_) {
            return false;
        }
        queued_.push_back(slot);
        flags_[static_cast<size_t>(slot)] = true;
        return true;
    }
    bool in_queue(int slot) const override { return flags_[static_cast<size_t>(slot)]; }
    void drain() override {}
    bool add_input(int slot) override {
        (void)slot;
        return false;
    }
    const int16_t* input_data(int slot) const override {
        (void)slot;
        return nullptr;
    }
    bool start() override { return open_; }
    int wait_fd() const override { return -1; }
    bool next_event(DeviceEvent& event) override {
        if (events_.empty()) {
            return false;
        }
        event = events_.front();
        events_.pop_front();
        return true;
    }
    uint64_t underflow_count() const override { return 0; }

    // The oldest queued block has been played. False when nothing was queued.
    bool step() {
        if (queued_.empty()) {
            return false;
        }
        const int slot = queued_.front();
        queued_.pop_front();
        flags_[static_cast<size_t>(slot)] = false;
        events_.push_back({DeviceEventKind::OUTPUT_DONE, slot});
        return true;
    }

private:
    bool open_ = false;
    int rate_ = 44100;
    std::deque<int> queued_;
    std::deque<DeviceEvent> events_;
    std::vector<bool> flags_ = std::vector<bool>(MAX_BUFFERS, false);
};

}  // namespace zv
