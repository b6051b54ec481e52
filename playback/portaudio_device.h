// The sound device on PortAudio, and on the program's own JACK client for the devices that are
// clients of a JACK server (jack_link.h). In block mode the stream callback only hands the
// device's buffers and status flags to the slot ring (slot_ring.h), which copies blocks and
// reports finished slots; the owner thread does all other work, including resampling when the
// device cannot run at the song's rate. In low-latency ON AIR mode the callback runs the live
// chain (live_chain.h) itself, and a timer wakes the owner for its ticks.
//
// PortAudio is held only while a stream is open (and by the session while holding it costs
// nothing), and the JACK client is deactivated while nothing plays, so a stopped program keeps
// no sound-server client that wakes every period.
#pragma once

#include <cstdint>

#include "playback/audio_device.h"
#include "playback/jack_link.h"
#include "playback/slot_ring.h"

#include <portaudio.h>

struct soxr;

namespace zv {

// The sound system for the program's lifetime; one per program. It installs the sound
// libraries' message handlers and starts PortAudio once to learn whether it works (ok()).
// PortAudio stays started only while that costs nothing when idle: its JACK host API is an
// active client of the sound server, woken every period, so with a JACK server present the
// session lets PortAudio go and the device and the device lists start it when they need it.
class PortAudioSession {
public:
    PortAudioSession();
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool ok() const { return ok_; }
    const char* error_text() const { return error_; }
    // Whether the session keeps PortAudio started.
    bool holding() const { return holding_; }

private:
    bool ok_ = false;
    bool holding_ = false;
    const char* error_ = "";
};

// How JACK devices are played: through the program's own client (the program's way), or
// through PortAudio's JACK host API like any other device (for the tests of that path).
enum class JackPath { OwnClient, PortAudio };

class PortAudioDevice final : public AudioDevice {
public:
    explicit PortAudioDevice(JackPath jack_path = JackPath::OwnClient);
    ~PortAudioDevice() override;
    PortAudioDevice(const PortAudioDevice&) = delete;
    PortAudioDevice& operator=(const PortAudioDevice&) = delete;

    bool open(const DeviceOpenRequest& request, DeviceError& error) override;
    bool output_open() const override { return out_stream_ != nullptr || duplex_ || jack_out_; }
    bool input_open() const override { return in_stream_ != nullptr || duplex_ || jack_in_; }
    int device_rate() const override { return device_rate_; }
    void close() override;

    bool write(int slot, const int16_t* data, int bytes, bool last) override;
    bool in_queue(int slot) const override;
    void drain() override;
    bool add_input(int slot) override;
    const int16_t* input_data(int slot) const override;
    bool start() override;

    // Readable while the ring's events or the live chain's tick may be pending.
    int wait_fd() const override { return wait_fd_; }
    bool next_event(DeviceEvent& event) override;
    // Device periods in which the output ran short or the device inserted a gap; with the live
    // chain, periods the device flagged as late.
    uint64_t underflow_count() const override;
    // Device periods in which recorded frames were lost (no free slot, or the device said so).
    uint64_t overflow_count() const;
    bool streams_alive() const override;
    // Frames recorded into input slots since the open (block mode's input clock).
    uint64_t recorded_frames() const { return ring_.recorded_frames(); }
    bool one_duplex_stream() const { return duplex_ || (jack_in_ && jack_out_); }
    // The streams run on the program's own JACK client.
    bool on_own_jack_client() const { return jack_in_ || jack_out_; }
    bool resampling() const { return resampler_ != nullptr; }
    bool running_live() const { return live_ != nullptr; }

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
    static int live_callback(const void* input, void* output, unsigned long frames,
                             const PaStreamCallbackTimeInfo* time_info, PaStreamCallbackFlags flags,
                             void* chain);
    // The same two, called by the JACK client's callback.
    static void ring_handler(void* self, const int16_t* in, int16_t* out, unsigned long frames,
                             bool late);
    static void live_handler(void* chain, const int16_t* in, int16_t* out, unsigned long frames,
                             bool late);
    bool open_live(const DeviceOpenRequest& request, int in_device, int out_device, int rate,
                   DeviceError& error);
    bool open_on_jack(const DeviceOpenRequest& request, DeviceError& error);
    // Rate for the device whose own rate is `own` (0: unknown), or 0 when it cannot serve.
    static int stream_rate(const DeviceOpenRequest& request, int own);
    bool make_resampler(const DeviceOpenRequest& request, DeviceError& error);
    void arm_ticks(bool on);

    PaStream* out_stream_ = nullptr;
    PaStream* in_stream_ = nullptr;
    bool duplex_ = false;  // out_stream_ carries the input too
    bool started_ = false;
    int device_rate_ = 44100;
    soxr* resampler_ = nullptr;
    SlotRing ring_{SLOT_CAPACITY_FRAMES};
    bool portaudio_held_ = false;  // this device's own start of PortAudio, open to close
    LiveChain* live_ = nullptr;    // the chain the callback runs, while open in live mode
    uint64_t live_late_ = 0;       // late periods of closed live streams
    int tick_fd_ = -1;             // timerfd of the live chain's ticks
    int wait_fd_ = -1;             // epoll set of the ring's eventfd and the tick timer
    JackPath jack_path_;
    JackLink jack_;
    bool jack_in_ = false;  // open on the JACK client
    bool jack_out_ = false;
    std::string jack_in_device_;
    std::string jack_out_device_;
};

}  // namespace zv
