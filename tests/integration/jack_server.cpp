#include "tests/integration/jack_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace zv::test {

JackServer::JackServer(int rate) {
    name_ = "zvtest" + std::to_string(::getpid()) + "_" + std::to_string(rate);
    if (::access("/usr/bin/jackd", X_OK) != 0 && std::system("command -v jackd >/dev/null") != 0) {
        why_not_ = "jackd is not installed";
        return;
    }
    ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    const std::string r = std::to_string(rate);
    std::vector<std::string> args = {"jackd", "--no-realtime", "-t", "5000", "-n", name_,
                                     "-d",    "dummy",         "-r", r,      "-p", "1024"};
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
