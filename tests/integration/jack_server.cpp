#include "tests/integration/jack_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace zv::test {

JackServer::JackServer(int rate, int period, bool realtime) {
    name_ = "zvtest" + std::to_string(::getpid()) + "_" + std::to_string(rate) + "_" +
            std::to_string(period);
    if (::access("/usr/bin/jackd", X_OK) != 0 && std::system("command -v jackd >/dev/null") != 0) {
        why_not_ = "jackd is not installed";
        return;
    }
    ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    const std::string r = std::to_string(rate);
    const std::string p = std::to_string(period);
    std::vector<std::string> args = {"jackd", realtime ? "--realtime" : "--no-realtime",
                                     "-t",    "5000",
                                     "-n",    name_,
                                     "-d",    "dummy",
                                     "-r",    r,
                                     "-p",    p};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int err = posix_spawnp(&pid_, "jackd", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        pid_ = -1;
        why_not_ = "jackd could not be started";
        return;
    }
    // The server is up when a client can connect without starting one itself.
    for (int i = 0; i < 100; ++i) {
        jack_status_t status;
        jack_client_t* c = jack_client_open("zvprobe", JackNoStartServer, &status);
        if (c != nullptr) {
            jack_client_close(c);
            ok_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why_not_ = "jackd did not come up";
}

JackServer::~JackServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
}

ToneClient::ToneClient(double frequency, double amplitude, double capture_seconds) {
    jack_status_t status;
    client_ = jack_client_open("zvtone", JackNoStartServer, &status);
    if (client_ == nullptr) {
        return;
    }
    rate_ = static_cast<int>(jack_get_sample_rate(client_));
    phase_step_ = 2.0 * M_PI * frequency / rate_;
    amplitude_ = static_cast<float>(amplitude);
    capacity_ = static_cast<size_t>(capture_seconds * rate_);
    capture_ = std::make_unique<float[]>(capacity_);
    out_ = jack_port_register(client_, "tone", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    in_ = jack_port_register(client_, "rec", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &ToneClient::process, this);
    if (out_ == nullptr || in_ == nullptr || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

ToneClient::~ToneClient() {
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

int ToneClient::process(jack_nframes_t frames, void* self) {
    auto* t = static_cast<ToneClient*>(self);
    auto* out = static_cast<float*>(jack_port_get_buffer(t->out_, frames));
    const auto* in = static_cast<const float*>(jack_port_get_buffer(t->in_, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
        out[i] = t->amplitude_ * static_cast<float>(std::sin(t->phase_));
        t->phase_ += t->phase_step_;
    }
    t->phase_ = std::fmod(t->phase_, 2.0 * M_PI);
    const size_t w = t->written_.load(std::memory_order_relaxed);
    const size_t n = std::min<size_t>(frames, t->capacity_ - w);
    std::memcpy(t->capture_.get() + w, in, n * sizeof(float));
    t->written_.store(w + n, std::memory_order_release);
    return 0;
}

int ToneClient::connect_to_others() {
    int made = 0;
    const std::string tone = jack_port_name(out_);
    const std::string rec = jack_port_name(in_);
    for (unsigned long flags : {JackPortIsInput, JackPortIsOutput}) {
        const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags);
        for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i) {
            const std::string p = ports[i];
            if (p.rfind("system:", 0) == 0 || p.rfind("zvtone:", 0) == 0) {
                continue;
            }
            const bool ok = flags == JackPortIsInput
                                ? jack_connect(client_, tone.c_str(), p.c_str()) == 0
                                : jack_connect(client_, p.c_str(), rec.c_str()) == 0;
            made += ok ? 1 : 0;
        }
        jack_free(ports);
    }
    return made;
}

std::vector<float> ToneClient::captured() const {
    const size_t n = written_.load(std::memory_order_acquire);
    return std::vector<float>(capture_.get(), capture_.get() + n);
}

namespace {

std::vector<std::string> ports_of(jack_client_t* client, const std::string& name,
                                  unsigned long flags) {
    std::vector<std::string> names;
    const std::string pattern = "^" + name + ":";
    const char** ports = jack_get_ports(client, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, flags);
    for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i) {
        names.emplace_back(ports[i]);
    }
    jack_free(ports);
    return names;
}

}  // namespace

SignalSource::SignalSource(std::vector<int16_t> stereo, std::function<uint64_t()> clock,
                           uint64_t start_at)
    : signal_(std::move(stereo)),
      frames_(signal_.size() / 2),
      clock_(std::move(clock)),
      start_at_(start_at) {
    jack_status_t status;
    client_ = jack_client_open("zvsource", JackNoStartServer, &status);
    if (client_ == nullptr) {
        return;
    }
    out_[0] = jack_port_register(client_, "l", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    out_[1] = jack_port_register(client_, "r", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client_, &SignalSource::process, this);
    if (out_[0] == nullptr || out_[1] == nullptr || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

SignalSource::~SignalSource() {
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

float SignalSource::to_float(int16_t v) {
    const double off = v >= 0 ? 0.25 : -0.25;
    return static_cast<float>((v + off) / 32767.0);
}

bool SignalSource::connect_to(const std::string& client) {
    const std::vector<std::string> ins = ports_of(client_, client, JackPortIsInput);
    if (ins.size() < 2) {
        return false;
    }
    return jack_connect(client_, jack_port_name(out_[0]), ins[0].c_str()) == 0 &&
           jack_connect(client_, jack_port_name(out_[1]), ins[1].c_str()) == 0;
}

int SignalSource::process(jack_nframes_t frames, void* self) {
    auto* s = static_cast<SignalSource*>(self);
    float* out[2] = {static_cast<float*>(jack_port_get_buffer(s->out_[0], frames)),
                     static_cast<float*>(jack_port_get_buffer(s->out_[1], frames))};
    if (!s->started_.load(std::memory_order_relaxed) &&
        !s->missed_.load(std::memory_order_relaxed)) {
        const uint64_t now = s->clock_();
        if (now == s->start_at_) {
            s->started_.store(true, std::memory_order_release);
        } else if (now > s->start_at_) {
            s->missed_.store(true, std::memory_order_release);
        }
    }
    size_t done = s->done_.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const bool playing = s->started_.load(std::memory_order_relaxed) && done < s->frames_;
        out[0][i] = playing ? to_float(s->signal_[2 * done]) : 0.0f;
        out[1][i] = playing ? to_float(s->signal_[2 * done + 1]) : 0.0f;
        done += playing ? 1 : 0;
    }
    s->done_.store(done, std::memory_order_release);
    return 0;
}

StereoRecorder::StereoRecorder(double seconds) {
    jack_status_t status;
    client_ = jack_client_open("zvrecorder", JackNoStartServer, &status);
    if (client_ == nullptr) {
        return;
    }
    capacity_ = static_cast<size_t>(seconds * jack_get_sample_rate(client_));
    data_ = std::make_unique<int16_t[]>(2 * capacity_);
    in_[0] = jack_port_register(client_, "l", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "r", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &StereoRecorder::process, this);
    if (in_[0] == nullptr || in_[1] == nullptr || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

StereoRecorder::~StereoRecorder() {
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

bool StereoRecorder::connect_from(const std::string& client) {
    const std::vector<std::string> outs = ports_of(client_, client, JackPortIsOutput);
    if (outs.size() < 2) {
        return false;
    }
    return jack_connect(client_, outs[0].c_str(), jack_port_name(in_[0])) == 0 &&
           jack_connect(client_, outs[1].c_str(), jack_port_name(in_[1])) == 0;
}

int StereoRecorder::process(jack_nframes_t frames, void* self) {
    auto* r = static_cast<StereoRecorder*>(self);
    const float* in[2] = {static_cast<const float*>(jack_port_get_buffer(r->in_[0], frames)),
                          static_cast<const float*>(jack_port_get_buffer(r->in_[1], frames))};
    const size_t w = r->written_.load(std::memory_order_relaxed);
    const size_t n = std::min<size_t>(frames, r->capacity_ - w);
    for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 2; ++c) {
            r->data_[2 * (w + i) + c] = static_cast<int16_t>(std::lround(in[c][i] * 32768.0f));
        }
    }
    r->written_.store(w + n, std::memory_order_release);
    return 0;
}

std::vector<int16_t> StereoRecorder::recorded() const {
    const size_t n = written_.load(std::memory_order_acquire);
    return std::vector<int16_t>(data_.get(), data_.get() + 2 * n);
}

double tone_amplitude(const std::vector<float>& samples, size_t begin, size_t count,
                      double frequency, int rate) {
    const double w = 2.0 * M_PI * frequency / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = begin; i < begin + count && i < samples.size(); ++i) {
        const double s0 = samples[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(count);
}

}  // namespace zv::test
