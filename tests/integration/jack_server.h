// A private JACK server with the dummy driver for the device tests, and a small JACK client
// that plays a tone into other ports and records what reaches its own input.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zv::test {

// Starts `jackd -n NAME -d dummy -r RATE -p PERIOD` under a name unique to this process and
// points JACK_DEFAULT_SERVER at it; without realtime scheduling unless asked (where the system
// refuses it, the server runs without). ok() is false when jackd is missing or did not come up.
class JackServer {
public:
    explicit JackServer(int rate, int period = 1024, bool realtime = false);
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;
    bool ok() const { return ok_; }
    const std::string& why_not() const { return why_not_; }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    bool ok_ = false;
    std::string name_;
    std::string why_not_;
};

class ToneClient {
public:
    ToneClient(double frequency, double amplitude, double capture_seconds);
    ~ToneClient();
    ToneClient(const ToneClient&) = delete;
    ToneClient& operator=(const ToneClient&) = delete;
    bool ok() const { return client_ != nullptr; }
    int rate() const { return rate_; }
    // Connects the tone to every input port of other clients but the system's, and every such
    // output port to the recorder. Returns the number of connections made.
    int connect_to_others();
    // What the recorder has captured so far (mono, the sum of what reaches it).
    std::vector<float> captured() const;

private:
    static int process(jack_nframes_t frames, void* self);
    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_port_t* in_ = nullptr;
    int rate_ = 0;
    double phase_step_ = 0.0;
    double phase_ = 0.0;
    float amplitude_ = 0.0f;
    std::unique_ptr<float[]> capture_;
    size_t capacity_ = 0;
    std::atomic<size_t> written_{0};
};

// Plays a stereo 16-bit signal into other clients' inputs, starting it at the first period in
// which `clock()` (read at the period's start) equals `start_at`; silence before and after. The
// clock is what the client fed counts (the frames it has taken in), so the signal reaches it at
// a known frame of its own.
class SignalSource {
public:
    SignalSource(std::vector<int16_t> stereo, std::function<uint64_t()> clock, uint64_t start_at);
    ~SignalSource();
    SignalSource(const SignalSource&) = delete;
    SignalSource& operator=(const SignalSource&) = delete;
    bool ok() const { return client_ != nullptr; }
    // Connects left and right to the two input ports of `client` (e.g. "PortAudio").
    bool connect_to(const std::string& client);
    bool started() const { return started_.load(std::memory_order_acquire); }
    // True when the clock went past start_at before the signal could start.
    bool missed() const { return missed_.load(std::memory_order_acquire); }
    bool finished() const { return done_.load(std::memory_order_acquire) >= frames_; }

    // The float a 16-bit value is sent as: a quarter step off the value, so that converting
    // back by truncation or by rounding gives the value itself.
    static float to_float(int16_t v);

private:
    static int process(jack_nframes_t frames, void* self);
    jack_client_t* client_ = nullptr;
    jack_port_t* out_[2] = {nullptr, nullptr};
    std::vector<int16_t> signal_;
    size_t frames_ = 0;
    std::function<uint64_t()> clock_;
    uint64_t start_at_ = 0;
    std::atomic<bool> started_{false};
    std::atomic<bool> missed_{false};
    std::atomic<size_t> done_{0};
};

// Records two ports fed by another client's two outputs as 16-bit values (the float times
// 32768, rounded: exact for what a 16-bit client wrote).
class StereoRecorder {
public:
    explicit StereoRecorder(double seconds);
    ~StereoRecorder();
    StereoRecorder(const StereoRecorder&) = delete;
    StereoRecorder& operator=(const StereoRecorder&) = delete;
    bool ok() const { return client_ != nullptr; }
    // Connects the two output ports of `client` to left and right.
    bool connect_from(const std::string& client);
    // Interleaved stereo recorded so far.
    std::vector<int16_t> recorded() const;

private:
    static int process(jack_nframes_t frames, void* self);
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    std::unique_ptr<int16_t[]> data_;
    size_t capacity_ = 0;
    std::atomic<size_t> written_{0};
};

// Level of `frequency` in samples by the Goertzel algorithm, as an amplitude.
double tone_amplitude(const std::vector<float>& samples, size_t begin, size_t count,
                      double frequency, int rate);

}  // namespace zv::test
