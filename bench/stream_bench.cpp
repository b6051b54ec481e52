// Pipe mode speed on one core: the real-time factor (seconds of sound processed per second of
// time) of zvmp3-cli stream's block loop, and of the program itself fed through a pipe, with
// the bare chain over the same blocks as the reference run in the same process.
//   1. the block loop in process (memory in, output dropped) against process_block alone:
//      the ratio shows what reading, channel handling and writing add (target: <= 1.1);
//   2. zvmp3-cli stream < raw PCM > pipe, the whole program (target: real-time factor >= 10,
//      so a station's chain keeps up with room to spare).
// The process is pinned to the CPU it starts on; the child inherits that.
// Usage: stream_bench [--seconds N] [--cli PATH]
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/pcm_stream.h"
#include "engine/processor.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int RATE = 44100;

double seconds_since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Music-like material: drifting tones, a beat and noise, so the chain has work to do.
std::vector<int16_t> make_song(int seconds) {
    const size_t frames = static_cast<size_t>(RATE) * static_cast<size_t>(seconds);
    std::vector<int16_t> pcm(frames * 2);
    uint32_t state = 12345;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / RATE;
        state = state * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.1;
        const double beat = std::fmod(t, 0.5) < 0.05 ? std::sin(2 * M_PI * 60 * t) * 0.5 : 0.0;
        const double l = 0.25 * std::sin(2 * M_PI * (220 + 20 * std::sin(t * 0.3)) * t) +
                         0.15 * std::sin(2 * M_PI * 1760 * t) + beat + noise;
        const double r = 0.25 * std::sin(2 * M_PI * 330 * t) + 0.1 * std::sin(2 * M_PI * 5000 * t) +
                         beat + noise;
        pcm[2 * i] = static_cast<int16_t>(std::lround(std::clamp(l, -1.0, 1.0) * 20000));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lround(std::clamp(r, -1.0, 1.0) * 20000));
    }
    return pcm;
}

std::unique_ptr<zv::Processor> started() {
    auto p = zv::make_processor();
    zv::processor_startup(*p);
    zv::cli::start_stream_processor(*p, RATE);
    return p;
}

double bare_chain(const std::vector<int16_t>& pcm) {
    auto p = started();
    std::vector<int16_t> out(2 * zv::cli::STREAM_BLOCK_FRAMES);
    const size_t block = out.size();
    const auto t0 = Clock::now();
    for (size_t at = 0; at + block <= pcm.size(); at += block) {
        zv::process_block(*p, static_cast<int32_t>(block), pcm.data() + at, out.data());
    }
    return seconds_since(t0);
}

double block_loop(const std::vector<int16_t>& pcm) {
    auto p = started();
    zv::MemoryByteReader in(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * 2);
    zv::cli::StreamLayout layout;
    volatile int16_t sink = 0;
    const auto t0 = Clock::now();
    zv::cli::run_pcm_stream(*p, layout, in, [&sink](const void* data, size_t) {
        sink = *static_cast<const int16_t*>(data);
        return 0;
    });
    return seconds_since(t0);
}

// zvmp3-cli stream < raw > a pipe this process drains; -1 when it failed.
double whole_program(const std::string& cli, const std::string& raw) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, raw.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::vector<std::string> args = {cli, "stream"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (spawned != 0) {
        ::close(pipe_fds[0]);
        return -1;
    }
    std::vector<char> buf(1 << 16);
    while (::read(pipe_fds[0], buf.data(), buf.size()) > 0) {
    }
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double t = seconds_since(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 120;
    std::string cli = std::filesystem::path(argv[0]).parent_path().parent_path() / "cli/zvmp3-cli";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--cli") == 0) {
            cli = argv[i + 1];
        }
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(std::max(0, sched_getcpu()), &one);
    sched_setaffinity(0, sizeof one, &one);
    zv::enable_flush_denormals();

    const std::vector<int16_t> pcm = make_song(seconds);
    double bare = 1e9;
    double loop = 1e9;
    for (int run = 0; run < 3; ++run) {  // best of three, interleaved
        bare = std::min(bare, bare_chain(pcm));
        loop = std::min(loop, block_loop(pcm));
    }
    std::printf("stream block loop: %d s of 44.1 kHz stereo in %.3f s: real-time factor %.1f\n",
                seconds, loop, seconds / loop);
    std::printf("  against the bare chain (%.3f s): ratio %.3f (target <= 1.1)\n", bare,
                loop / bare);

    const std::string raw =
        (std::filesystem::temp_directory_path() / ("zv-stream-bench-" + std::to_string(getpid())))
            .string();
    std::FILE* f = std::fopen(raw.c_str(), "wb");
    const bool written = f != nullptr && std::fwrite(pcm.data(), 2, pcm.size(), f) == pcm.size() &&
                         std::fclose(f) == 0;
    double program = 1e9;
    for (int run = 0; written && run < 3; ++run) {
        const double t = whole_program(cli, raw);
        if (t < 0) {
            program = -1;
            break;
        }
        program = std::min(program, t);
    }
    std::remove(raw.c_str());
    if (!written || program < 0) {
        std::fprintf(stderr, "%s stream could not be run\n", cli.c_str());
        return 1;
    }
    std::printf("zvmp3-cli stream through pipes: %.3f s: real-time factor %.1f (target >= 10)\n",
                program, seconds / program);
    return seconds / program >= 10 && loop / bare <= 1.1 ? 0 : 1;
}
