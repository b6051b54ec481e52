// The first Play after the program has been stopped a while: how long start_playback takes
// from an idle engine (no stream, PortAudio not started while a JACK server runs) to a running
// stream, which is when the sound begins; and how often the stopped program's threads woke in
// between. Usage: first_play [PLAYS] (default 8). Uses JACK_DEFAULT_SERVER's server when that
// variable is set, else starts its own (dummy driver, 1024-frame periods).
#include <dirent.h>
#include <jack/jack.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/processor.h"
#include "playback/audio_engine.h"
#include "playback/poll_loop.h"
#include "playback/portaudio_device.h"
#include "sources/playlist.h"
#include "tests/integration/jack_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double TARGET_MS = 100.0;
constexpr int IDLE_SECONDS = 2;

void write_song(const std::string& path) {
    const uint32_t rate = 44100;
    const uint32_t frames = rate / 2;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + 4 * frames);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(4 * frames);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<uint16_t>(
            static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / rate)));
        u16(v);
        u16(v);
    }
}

// Context switches of every thread of this process but the calling one.
long other_threads_switches() {
    long total = 0;
    const std::string self = std::to_string(::gettid());
    DIR* d = ::opendir("/proc/self/task");
    while (dirent* e = d != nullptr ? ::readdir(d) : nullptr) {
        const std::string tid = e->d_name;
        if (tid == "." || tid == ".." || tid == self) {
            continue;
        }
        std::ifstream status("/proc/self/task/" + tid + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.find("ctxt_switches:") != std::string::npos) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    if (d != nullptr) {
        ::closedir(d);
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const int plays = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
    std::optional<zv::test::JackServer> server;
    if (std::getenv("JACK_DEFAULT_SERVER") == nullptr) {
        server.emplace(44100, 1024);
        if (!server->ok()) {
            std::fprintf(stderr, "first_play: %s\n", server->why_not().c_str());
            return 1;
        }
    }
    const std::string song = "/tmp/zv_first_play_" + std::to_string(getpid()) + ".wav";
    write_song(song);
    zv::PortAudioSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "first_play: %s\n", session.error_text());
        return 1;
    }
    zv::PortAudioDevice device;
    zv::PollLoopHost host;
    auto processor = zv::make_processor();
    zv::processor_startup(*processor);
    auto playlist = std::make_unique<zv::Playlist>();
    auto engine = zv::make_audio_engine(device, *processor, *playlist, host);
    zv::enumerate_devices(engine->lists, engine->settings);
    zv::enable_flush_denormals();
    zv::add_song_file(*playlist, song, true);

    std::vector<double> ms;
    long woken = 0;
    for (int i = 0; i < plays; ++i) {
        const long before = other_threads_switches();
        std::this_thread::sleep_for(std::chrono::seconds(IDLE_SECONDS));
        woken += other_threads_switches() - before;
        const Clock::time_point asked = Clock::now();
        zv::start_playback(*engine);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
        if (!zv::engine_busy(*engine)) {
            std::fprintf(stderr, "first_play: playback did not start\n");
            std::remove(song.c_str());
            return 1;
        }
        zv::request_stop(*engine);
        while (zv::engine_busy(*engine)) {
            host.run_once(*engine, 50);
        }
    }
    std::remove(song.c_str());
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("first Play from idle, %d plays:", plays);
    for (double m : ms) {
        std::printf(" %.0f", m);
    }
    std::printf(" ms\n");
    std::printf("median %.1f ms, max %.1f ms (target %.0f ms, ratio %.2f)\n", median, sorted.back(),
                TARGET_MS, median / TARGET_MS);
    std::printf(
        "PortAudio held while idle: %s; wake-ups of the stopped program's threads: %.2f "
        "per second\n",
        session.holding() ? "yes" : "no", static_cast<double>(woken) / (plays * IDLE_SECONDS));
    return median <= TARGET_MS ? 0 : 1;
}
