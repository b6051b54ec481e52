// The program's own client of a JACK server, for the devices that are clients of one (PortAudio
// lists a server's clients as devices). PortAudio's JACK host API keeps its client active,
// woken every period, for as long as PortAudio runs, and starting it again takes several
// periods; this client stays connected from the device's construction, deactivated and without
// ports while nothing plays (the server then never wakes it), so a start only registers ports,
// activates and connects them.
//
// Threads: everything but the process callback runs on the owner thread. The callback converts
// between the server's float ports and interleaved 16-bit stereo as PortAudio does (truncated,
// here also clamped) and calls the handler with at most CHUNK_FRAMES frames at a time; it locks,
// allocates and waits for nothing.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace zv {

class JackLink {
public:
    // in: interleaved stereo from the input ports (nullptr without input); out: where the
    // output goes (nullptr without output). late: the server reported an xrun since the last
    // call.
    using Handler = void (*)(void* context, const int16_t* in, int16_t* out, unsigned long frames,
                             bool late);
    static constexpr unsigned long CHUNK_FRAMES = 4096;
    static constexpr const char* CLIENT_NAME = "zvmp3";

    JackLink();
    ~JackLink();
    JackLink(const JackLink&) = delete;
    JackLink& operator=(const JackLink&) = delete;

    // Connects to a running server (never starts one) unless connected; connects again after
    // the server went away. False without a server.
    bool connect();
    bool connected() const { return client_ != nullptr; }
    // The server's sample rate (0 when not connected).
    int rate() const;
    // Whether the named client has at least two ports the other way round to ours: outputs we
    // can record from (input) or inputs we can play to (output).
    bool has_stereo_ports(const std::string& client, bool input) const;

    // Registers the ports a stream needs and sets the handler; not yet running.
    bool open(bool input, bool output, Handler handler, void* context, std::string& error);
    // Activates and connects the ports: the named clients' first two outputs to ours, ours to
    // their first two inputs.
    bool start(const std::string& in_client, const std::string& out_client, std::string& error);
    // Deactivates (the callback has ended when it returns) and unregisters the ports. The
    // client stays connected.
    void close();
    // False once the server has gone away while a stream ran.
    bool alive() const { return !gone_.load(std::memory_order_acquire); }

private:
    static int process(jack_nframes_t frames, void* self);
    static int xrun(void* self);
    static void shutdown(void* self);
    void disconnect();

    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    jack_port_t* out_[2] = {nullptr, nullptr};
    bool active_ = false;
    Handler handler_ = nullptr;
    void* context_ = nullptr;
    // Set (release) once the handler and what it uses are ready, read (acquire) by every
    // period; and a count the callback bumps (release) after each period, read (acquire) once it
    // has stopped. The server's own wake-ups order the two sides as well; these let a race
    // detector see it.
    std::atomic<bool> ready_{false};
    std::atomic<uint64_t> periods_{0};
    std::unique_ptr<int16_t[]> in_block_;   // CHUNK_FRAMES interleaved
    std::unique_ptr<int16_t[]> out_block_;  // CHUNK_FRAMES interleaved
    std::atomic<bool> late_{false};
    std::atomic<bool> gone_{false};
};

}  // namespace zv
