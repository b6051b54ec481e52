// A sound device for the state-machine tests: it plays a queued block only when the test says
// so, and records every block written.
#pragma once

#include <deque>
#include <vector>

#include "playback/audio_device.h"
#include "playback/live_chain.h"

namespace zv::test {

class FakeDevice final : public AudioDevice {
public:
    bool open(const DeviceOpenRequest& request, DeviceError& error) override {
        ++open_calls;
        last_request = request;
        if (fail_open) {
            error.show = true;
            error.text = "device busy";
            return false;
        }
        out_open = true;
        in_open = request.in_device_id >= 0;
        live = request.live;
        return true;
    }
    bool output_open() const override { return out_open; }
    bool input_open() const override { return in_open; }
    int device_rate() const override { return own_rate != 0 ? own_rate : last_request.sample_rate; }
    void close() override {
        live = nullptr;
        out_open = false;
        in_open = false;
        started = false;
        queued.clear();
        events.clear();
        for (bool& q : queued_flag) {
            q = false;
        }
    }
    bool write(int slot, const int16_t* data, int bytes, bool last) override {
        if (!out_open || live != nullptr ||
            (fail_write_after >= 0 && static_cast<int>(writes.size()) >= fail_write_after)) {
            return false;
        }
        writes.push_back({slot, std::vector<int16_t>(data, data + bytes / 2), last});
        queued.push_back(slot);
        queued_flag[slot] = true;
        return true;
    }
    bool in_queue(int slot) const override { return queued_flag[slot]; }
    void drain() override { drained = true; }
    bool add_input(int slot) override {
        inputs_added.push_back(slot);
        return in_open;
    }
    const int16_t* input_data(int slot) const override { return input_blocks[slot].data(); }
    bool start() override {
        started = true;
        return true;
    }
    int wait_fd() const override { return -1; }
    bool next_event(DeviceEvent& event) override {
        if (events.empty()) {
            return false;
        }
        event = events.front();
        events.pop_front();
        return true;
    }
    uint64_t underflow_count() const override { return 0; }
    bool streams_alive() const override { return alive; }

    // Low-latency mode: one device period through the live chain, as the callback runs it.
    void run_period(const int16_t* in, int16_t* out, unsigned long frames) {
        live->run(in, out, frames, false);
    }
    // The live chain's tick timer has fired.
    void tick() { events.push_back({DeviceEventKind::OUTPUT_DONE, 0}); }

    // The device has played its oldest queued block. False when nothing was queued.
    bool complete_next() {
        if (queued.empty()) {
            return false;
        }
        const int slot = queued.front();
        queued.pop_front();
        queued_flag[slot] = false;
        events.push_back({DeviceEventKind::OUTPUT_DONE, slot});
        return true;
    }
    void record_input(int slot, const std::vector<int16_t>& block) {
        input_blocks[slot] = block;
        events.push_back({DeviceEventKind::INPUT_DONE, slot});
    }

    struct Write {
        int slot;
        std::vector<int16_t> samples;
        bool last;
    };
    std::vector<Write> writes;
    std::deque<int> queued;
    bool queued_flag[MAX_BUFFERS] = {};
    std::deque<DeviceEvent> events;
    std::vector<int> inputs_added;
    std::vector<int16_t> input_blocks[MAX_BUFFERS];
    DeviceOpenRequest last_request;
    int open_calls = 0;
    int own_rate = 0;
    int fail_write_after = -1;
    bool fail_open = false;
    bool out_open = false;
    bool in_open = false;
    bool started = false;
    bool drained = false;
    bool alive = true;
    LiveChain* live = nullptr;  // the chain the device runs, while open in live mode
};

}  // namespace zv::test
