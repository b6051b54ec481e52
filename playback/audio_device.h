// The sound-device seam of the streaming engine. The engine writes processed blocks into
// output slots and hands input slots back to the recorder; the device reports every slot it
// has played (or recorded) as an event that the owner thread collects. The PortAudio device
// and the test's fake device both implement it.
#pragma once

#include <cstdint>
#include <string>

namespace zv {

class LiveChain;

// Size of every output and ON AIR input block: 4096 stereo frames of 16 bits.
constexpr int BLOCK_BYTES = 16384;
constexpr int BLOCK_FRAMES = BLOCK_BYTES / 4;
constexpr int MAX_BUFFERS = 8;

struct DeviceOpenRequest {
    int out_device_id = -1;  // -1: open no output
    int in_device_id = -1;   // -1: open no input (anything but ON AIR mode)
    std::string out_device_name;
    std::string in_device_name;
    // The devices are clients of a JACK server (DeviceInfo::jack_client).
    bool out_jack_client = false;
    bool in_jack_client = false;
    int sample_rate = 44100;
    int buffer_count = 4;
    // Live input has no rate of its own: a device that cannot run at sample_rate may run at its
    // own rate instead (reported by device_rate) rather than through the resampler.
    bool rate_may_follow_device = false;
    // Low-latency ON AIR mode: the device runs this chain inside its own callback at its own
    // period, input to output, instead of playing and recording slots. It then takes no writes
    // and no inputs; its events are ticks (OUTPUT_DONE of slot 0, about every LIVE_TICK_MS)
    // on which the owner hands parameters over and reads the meters.
    LiveChain* live = nullptr;
};

constexpr int LIVE_TICK_MS = 40;

// Why an open failed. The message box has no caption for input errors.
struct DeviceError {
    bool show = false;  // false: fail silently (capability test)
    std::string text;
};

enum class DeviceEventKind { OUTPUT_DONE, INPUT_DONE };

struct DeviceEvent {
    DeviceEventKind kind = DeviceEventKind::OUTPUT_DONE;
    int slot = 0;
};

class AudioDevice {
public:
    virtual ~AudioDevice() = default;

    virtual bool open(const DeviceOpenRequest& request, DeviceError& error) = 0;
    virtual bool output_open() const = 0;
    virtual bool input_open() const = 0;
    // The rate the device actually runs at (differs from the request when resampling or when
    // rate_may_follow_device took the device's own rate).
    virtual int device_rate() const = 0;
    // Stops the streams at once, forgets queued slots and closes.
    virtual void close() = 0;

    // Queues output slot `slot` with `bytes` bytes (a multiple of 4, at most BLOCK_BYTES) of
    // interleaved 16-bit stereo at the request's rate. `last` marks the song's final block.
    virtual bool write(int slot, const int16_t* data, int bytes, bool last) = 0;
    // True from write until the slot has been played.
    virtual bool in_queue(int slot) const = 0;
    // No more blocks follow: what is queued plays out, then silence that is not an underflow.
    virtual void drain() = 0;
    // Gives input slot `slot` to the recorder.
    virtual bool add_input(int slot) = 0;
    // The latest BLOCK_BYTES recorded into input slot `slot`; valid after its INPUT_DONE event
    // until the slot is added again.
    virtual const int16_t* input_data(int slot) const = 0;
    // Starts the streams: every primed block begins together.
    virtual bool start() = 0;

    // Owner side of the notifications. wait_fd is readable while events may be pending
    // (-1: none, the fake device); next_event pops one event.
    virtual int wait_fd() const = 0;
    virtual bool next_event(DeviceEvent& event) = 0;

    // Device periods (callbacks) in which the output ran short outside draining (silence was
    // played) or the device reported a gap.
    virtual uint64_t underflow_count() const = 0;
    // Whether the streams still run: false once the device has stopped them by itself (the
    // sound server went away). Only the live chain's owner asks; block mode notices nothing.
    virtual bool streams_alive() const { return true; }
};

}  // namespace zv
