// Playback under load: plays a generated song through the processor and PortAudio to a
// private JACK server (dummy driver) while another process keeps the other core busy, then
// reports the underflow count and the CPU share of one core that playback used, against the
// 3 % budget. Usage: playback_load [SECONDS] (default 60). Uses JACK_DEFAULT_SERVER's server
// when that variable is set, else starts its own.
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

extern char** environ;

namespace {

constexpr double CPU_BUDGET_PERCENT = 3.0;

pid_t spawn_quiet(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool wait_for_server() {
    for (int i = 0; i < 100; ++i) {
        jack_status_t status;
        if (jack_client_t* c = jack_client_open("zvprobe", JackNoStartServer, &status)) {
            jack_client_close(c);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A stereo 44.1 kHz song: two tones over noise, loud enough to keep every band working.
void write_song(const std::string& path, int seconds) {
    const int rate = 44100;
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t data = frames * 4;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + data);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(data);
    uint32_t noise = 1;
    std::vector<int16_t> block;
    block.reserve(2 * rate);
    for (uint32_t i = 0; i < frames; ++i) {
        noise = noise * 214013u + 2531011u;
        const double n = static_cast<double>((noise >> 16) & 0x7FFF) / 16384.0 - 1.0;
        const double t = static_cast<double>(i) / rate;
        const double v = 9000.0 * std::sin(2 * M_PI * 110 * t) +
                         6000.0 * std::sin(2 * M_PI * 3300 * t) + 2000.0 * n;
        block.push_back(static_cast<int16_t>(v));
        block.push_back(static_cast<int16_t>(0.8 * v));
        if (block.size() >= static_cast<size_t>(2 * rate)) {
            f.write(reinterpret_cast<const char*>(block.data()),
                    static_cast<std::streamsize>(block.size() * 2));
            block.clear();
        }
    }
    f.write(reinterpret_cast<const char*>(block.data()),
            static_cast<std::streamsize>(block.size() * 2));
}

double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    // Our own dummy-driver server unless the caller names one.
    std::optional<zv::test::JackServer> server;
    if (std::getenv("JACK_DEFAULT_SERVER") == nullptr) {
        server.emplace(44100);
        if (!server->ok()) {
            std::fprintf(stderr, "playback_load: %s\n", server->why_not().c_str());
            return 1;
        }
    }
    int status = 1;
    if (!wait_for_server()) {
        std::fprintf(stderr, "playback_load: no JACK server\n");
    } else {
        const std::string song = "/tmp/zv_playback_load_" + std::to_string(getpid()) + ".wav";
        write_song(song, seconds);
        // The other core: a process that spins for the whole run.
        const pid_t busy = spawn_quiet({"sh", "-c", "while :; do :; done"});

        zv::PortAudioSession session;
        zv::PortAudioDevice device;
        zv::PollLoopHost host;
        auto processor = zv::make_processor();
        zv::processor_startup(*processor);
        auto playlist = std::make_unique<zv::Playlist>();
        auto engine = zv::make_audio_engine(device, *processor, *playlist, host);
        zv::enumerate_devices(engine->lists, engine->settings);
        zv::enable_flush_denormals();
        zv::add_song_file(*playlist, song, true);

        const auto wall0 = std::chrono::steady_clock::now();
        const double cpu0 = cpu_seconds();
        zv::start_playback(*engine);
        const bool started = zv::engine_busy(*engine);
        while (zv::engine_busy(*engine)) {
            host.run_once(*engine, 100);
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const double cpu = cpu_seconds() - cpu0;
        if (busy > 0) {
            kill(busy, SIGKILL);
            waitpid(busy, nullptr, 0);
        }
        std::remove(song.c_str());
        if (!started) {
            std::fprintf(stderr, "playback_load: playback did not start\n");
        } else {
            const double percent = 100.0 * cpu / wall;
            std::printf("played %.1f s of audio in %.1f s wall\n",
                        static_cast<double>(engine->played_bytes) / 4 / 44100, wall);
            std::printf("underflows: %llu\n",
                        static_cast<unsigned long long>(device.underflow_count()));
            std::printf("cpu: %.2f %% of one core (budget %.1f %%, ratio %.2f)\n", percent,
                        CPU_BUDGET_PERCENT, percent / CPU_BUDGET_PERCENT);
            status = device.underflow_count() == 0 && percent < CPU_BUDGET_PERCENT ? 0 : 1;
        }
    }
    return status;
}
