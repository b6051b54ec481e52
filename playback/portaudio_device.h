// The sound device on PortAudio. The stream callback only hands the device's buffers and status
// flags to the slot ring (slot_ring.h), which copies blocks and reports finished slots; the
// owner thread does all other work, including resampling when the device cannot run at the
// song's rate.
#pragma once

#include <cstdint>

#include "playback/audio_device.h"
#include "playback/slot_ring.h"

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

    int wait_fd() const override { return ring_.wait_fd(); }
    bool next_event(DeviceEvent& event) override { return ring_.next_event(event); }
    // Device periods in which the output ran short or the device inserted a gap.
    uint64_t underflow_count() const override { return ring_.underflow_count(); }
    // Device periods in which recorded frames were lost (no free slot, or the device said so).
    uint64_t overflow_count() const { return ring_.overflow_count(); }
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

    PaStream* out_stream_ = nullptr;
    PaStream* in_stream_ = nullptr;
    bool duplex_ = false;  // out_stream_ carries the input too
    bool started_ = false;
    int device_rate_ = 44100;
    soxr* resampler_ = nullptr;
    SlotRing ring_{SLOT_CAPACITY_FRAMES};
};

}  // namespace zv
