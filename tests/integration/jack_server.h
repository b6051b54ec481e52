// A private JACK server with the dummy driver for the device tests, and a small JACK client
// that plays a tone into other ports and records what reaches its own input.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace zv::test {

// Starts `jackd -n NAME -d dummy -r RATE` (no realtime) under a name unique to this process
// and points JACK_DEFAULT_SERVER at it. ok() is false when jackd is missing or did not come up.
class JackServer {
public:
    explicit JackServer(int rate);
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

// Level of `frequency` in samples by the Goertzel algorithm, as an amplitude.
double tone_amplitude(const std::vector<float>& samples, size_t begin, size_t count,
                      double frequency, int rate);

}  // namespace zv::test
