#include "playback/jack_link.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zv {
namespace {

constexpr const char* PORT_NAMES_IN[2] = {"in_l", "in_r"};
constexpr const char* PORT_NAMES_OUT[2] = {"out_l", "out_r"};

// The named client's ports with the given flags, in the server's order. A name cut to fit the
// device list (31 bytes) still finds its client by that beginning.
std::vector<std::string> client_ports(jack_client_t* client, const std::string& name,
                                      unsigned long flags) {
    std::vector<std::string> found;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags);
    for (const std::string& prefix : {name + ":", name}) {
        for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i) {
            if (std::strncmp(ports[i], prefix.c_str(), prefix.size()) == 0) {
                found.emplace_back(ports[i]);
            }
        }
        if (!found.empty()) {
            break;
        }
    }
    jack_free(ports);
    return found;
}

inline int16_t to_int16(float x) {
    const float scaled = x * 32767.0f;
    // Out-of-range floats have no int16; a float beyond full scale is clipped.
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

JackLink::JackLink()
    : in_block_(std::make_unique<int16_t[]>(2 * CHUNK_FRAMES)),
      out_block_(std::make_unique<int16_t[]>(2 * CHUNK_FRAMES)) {
    connect();
}

JackLink::~JackLink() {
    close();
    disconnect();
}

bool JackLink::connect() {
    if (client_ != nullptr && gone_.load(std::memory_order_acquire)) {
        close();
        disconnect();
    }
    if (client_ != nullptr) {
        return true;
    }
    jack_status_t status;
    client_ = jack_client_open(CLIENT_NAME, JackNoStartServer, &status);
    if (client_ == nullptr) {
        return false;
    }
    gone_.store(false, std::memory_order_release);
    jack_set_process_callback(client_, &JackLink::process, this);
    jack_set_xrun_callback(client_, &JackLink::xrun, this);
    jack_on_shutdown(client_, &JackLink::shutdown, this);
    return true;
}

void JackLink::disconnect() {
    if (client_ != nullptr) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

int JackLink::rate() const {
    return client_ != nullptr ? static_cast<int>(jack_get_sample_rate(client_)) : 0;
}

bool JackLink::has_stereo_ports(const std::string& client, bool input) const {
    return client_ != nullptr &&
           client_ports(client_, client, input ? JackPortIsOutput : JackPortIsInput).size() >= 2;
}

bool JackLink::open(bool input, bool output, Handler handler, void* context, std::string& error) {
    close();
    if (!connect()) {
        error = "the JACK server is not running";
        return false;
    }
    handler_ = handler;
    context_ = context;
    for (int c = 0; c < 2; ++c) {
        if (input) {
            in_[c] = jack_port_register(client_, PORT_NAMES_IN[c], JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
        }
        if (output) {
            out_[c] = jack_port_register(client_, PORT_NAMES_OUT[c], JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
        }
        if ((input && in_[c] == nullptr) || (output && out_[c] == nullptr)) {
            error = "cannot register the JACK ports";
            close();
            return false;
        }
    }
    return true;
}

bool JackLink::start(const std::string& in_client, const std::string& out_client,
                     std::string& error) {
    if (client_ == nullptr || active_) {
        return active_;
    }
    late_.store(false, std::memory_order_relaxed);
    ready_.store(true, std::memory_order_release);
    if (jack_activate(client_) != 0) {
        ready_.store(false, std::memory_order_relaxed);
        error = "cannot activate the JACK client";
        return false;
    }
    active_ = true;
    bool ok = true;
    if (in_[0] != nullptr) {
        const std::vector<std::string> from = client_ports(client_, in_client, JackPortIsOutput);
        for (int c = 0; c < 2 && ok; ++c) {
            ok = c < static_cast<int>(from.size()) &&
                 jack_connect(client_, from[c].c_str(), jack_port_name(in_[c])) == 0;
        }
    }
    if (out_[0] != nullptr) {
        const std::vector<std::string> to = client_ports(client_, out_client, JackPortIsInput);
        for (int c = 0; c < 2 && ok; ++c) {
            ok = c < static_cast<int>(to.size()) &&
                 jack_connect(client_, jack_port_name(out_[c]), to[c].c_str()) == 0;
        }
    }
    if (!ok) {
        error = "cannot connect to the JACK ports of the device";
    }
    return ok;
}

void JackLink::close() {
    if (client_ == nullptr) {
        return;
    }
    if (active_) {
        jack_deactivate(client_);
        active_ = false;
        (void)periods_.load(std::memory_order_acquire);  // the callback's last period is ours
    }
    ready_.store(false, std::memory_order_relaxed);
    for (jack_port_t** p : {&in_[0], &in_[1], &out_[0], &out_[1]}) {
        if (*p != nullptr) {
            jack_port_unregister(client_, *p);
            *p = nullptr;
        }
    }
    handler_ = nullptr;
    context_ = nullptr;
}

// ---- the server's threads: conversion and the handler, nothing that waits ----

int JackLink::process(jack_nframes_t frames, void* self) {
    auto* link = static_cast<JackLink*>(self);
    // Active only between start() and close(), which set this before and clear it after.
    if (!link->ready_.load(std::memory_order_acquire)) {
        return 0;
    }
    float* out[2] = {nullptr, nullptr};
    const float* in[2] = {nullptr, nullptr};
    for (int c = 0; c < 2; ++c) {
        if (link->out_[c] != nullptr) {
            out[c] = static_cast<float*>(jack_port_get_buffer(link->out_[c], frames));
        }
        if (link->in_[c] != nullptr) {
            in[c] = static_cast<const float*>(jack_port_get_buffer(link->in_[c], frames));
        }
    }
    bool late = link->late_.exchange(false, std::memory_order_relaxed);
    int16_t* in_block = link->in_block_.get();
    int16_t* out_block = link->out_block_.get();
    for (jack_nframes_t done = 0; done < frames;) {
        const unsigned long n = std::min<unsigned long>(CHUNK_FRAMES, frames - done);
        if (in[0] != nullptr) {
            for (unsigned long i = 0; i < n; ++i) {
                in_block[2 * i] = to_int16(in[0][done + i]);
                in_block[2 * i + 1] = to_int16(in[1][done + i]);
            }
        }
        link->handler_(link->context_, in[0] != nullptr ? in_block : nullptr,
                       out[0] != nullptr ? out_block : nullptr, n, late);
        late = false;
        if (out[0] != nullptr) {
            constexpr float SCALE = 1.0f / 32768.0f;
            for (unsigned long i = 0; i < n; ++i) {
                out[0][done + i] = out_block[2 * i] * SCALE;
                out[1][done + i] = out_block[2 * i + 1] * SCALE;
            }
        }
        done += static_cast<jack_nframes_t>(n);
    }
    link->periods_.fetch_add(1, std::memory_order_release);
    return 0;
}

int JackLink::xrun(void* self) {
    static_cast<JackLink*>(self)->late_.store(true, std::memory_order_relaxed);
    return 0;
}

void JackLink::shutdown(void* self) {
    static_cast<JackLink*>(self)->gone_.store(true, std::memory_order_release);
}

}  // namespace zv
