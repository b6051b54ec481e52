// The sound device on PortAudio. The stream callback only copies blocks between the device and
// the slot ring and reports each finished slot through a lock-free queue and an eventfd; the
// owner thread does all other work, including resampling when the device cannot run at the
// song's rate.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "playback/audio_device.h"
#include "playback/spsc_queue.h"

#include <portaudio.h>

struct soxr;

namespace zv {

// Pa_Initialize for the lifetime of the object; one per program.
class PortAudioSession {
public:
    PortAudioSession();
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool ok() const { return ok_; }
    const char* error_text() const { return error_; }

private:
    bool ok_ = false;
    const char* error_ = "";
};

class PortAudioDevice final : public AudioDevice {
public:
    PortAudioDevice();
    ~PortAudioDevice() override;
    PortAudioDevice(const PortAudioDevice&) = delete;
    PortAudioDevice& operator=(const PortAudioDevice&) = delete;

    bool open(const DeviceOpenRequest& request, DeviceError& error) override;
    bool output_open() const override { return out_stream_ != nullptr || duplex_; }
    bool input_open() const override { return in_stream_ != nullptr || duplex_; }
    int device_rate() const override { return device_rate_; }
    void close() override;

    bool write(int slot, const int16_t* data, int bytes, bool last) override;
    bool in_queue(int slot) const override;
    void drain() override;
    bool add_input(int slot) override;
    const int16_t* input_data(int slot) const override;
    bool start() override;

    int wait_fd() const override { return event_fd_; }
    bool next_event(DeviceEvent& event) override;
    uint64_t underflow_count() const override {
        return underflows_.load(std::memory_order_relaxed);
    }
    // Recorded frames dropped because no input slot was free.
    uint64_t overflow_count() const { return overflows_.load(std::memory_order_relaxed); }
    bool one_duplex_stream() const { return duplex_; }
    bool resampling() const { return resampler_ != nullptr; }

    // Resampling goes up to six times the song's rate (a 32000 Hz song on a 192 kHz device);
    // a slot holds one such block plus the resampler's tail at the end of a song.
    static constexpr int MAX_RATE_RATIO = 6;
    static constexpr int SLOT_CAPACITY_FRAMES = MAX_RATE_RATIO * BLOCK_FRAMES + 2048;

private:
    static int output_callback(const void* input, void* output, unsigned long frames,
                               const PaStreamCallbackTimeInfo* time_info,
                               PaStreamCallbackFlags flags, void* self);
    static int input_callback(const void* input, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* time_info,
                              PaStreamCallbackFlags flags, void* self);
    static int duplex_callback(const void* input, void* output, unsigned long frames,
                               const PaStreamCallbackTimeInfo* time_info,
                               PaStreamCallbackFlags flags, void* self);
    // Callback side. They return true when a slot was finished.
    bool play(int16_t* out, unsigned long frames);
    bool record(const int16_t* in, unsigned long frames);
    void wake();
    void reset_ring();

    PaStream* out_stream_ = nullptr;
    PaStream* in_stream_ = nullptr;
    bool duplex_ = false;  // out_stream_ carries the input too
    bool started_ = false;
    int device_rate_ = 44100;
    int event_fd_ = -1;
    soxr* resampler_ = nullptr;

    std::array<std::unique_ptr<int16_t[]>, MAX_BUFFERS> out_slots_;
    std::array<int, MAX_BUFFERS> out_frames_{};  // written before the slot is queued
    std::array<std::atomic<bool>, MAX_BUFFERS> out_queued_{};
    std::array<std::unique_ptr<int16_t[]>, MAX_BUFFERS> in_slots_;

    SpscQueue<16> write_queue_;     // owner -> callback: output slots in playing order
    SpscQueue<16> add_queue_;       // owner -> callback: input slots free for recording
    SpscQueue<16> out_done_queue_;  // callback -> owner
    SpscQueue<16> in_done_queue_;   // callback -> owner
    bool pending_out_valid_ = false;
    int32_t pending_out_ = 0;

    // Touched only by the callback(s) while a stream runs.
    int cur_out_ = -1;
    int out_pos_ = 0;
    int cur_in_ = -1;
    int in_pos_ = 0;

    std::atomic<bool> draining_{false};
    std::atomic<uint64_t> underflows_{0};
    std::atomic<uint64_t> overflows_{0};
};

}  // namespace zv
