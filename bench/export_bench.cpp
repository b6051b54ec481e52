// Export speed, timed in one process against references run in the same process:
//   1. one 180-second 44.1 kHz stereo song exported to MP3 (128 kbit/s, normalisation on)
//      against the lame program alone encoding the same WAV with -b 128 (target: ratio <= 1.8);
//   2. eight such songs with zvmp3-cli export --jobs 2 against --jobs 1 (target: >= 1.8), once
//      from WAV sources and once from MP3 sources (made by lame -b 192; decoding them is
//      serialised by one process-wide lock, which must not eat the speed-up).
// Usage: export_bench [--seconds N] [--songs N] [--cli PATH]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/processor.h"
#include "export/export_job.h"
#include "export/temp_folder.h"
#include "export/wav_header.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Music-like material: a few drifting tones, a beat and noise, so the chain has work to do.
void write_song(const std::string& path, int seconds, unsigned seed) {
    const int rate = 44100;
    const size_t frames = static_cast<size_t>(rate) * static_cast<size_t>(seconds);
    std::vector<int16_t> pcm(frames * 2);
    uint32_t state = seed;
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        state = state * 1664525u + 1013904223u;
        double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.1;
        double beat = std::fmod(t, 0.5) < 0.05 ? std::sin(2 * M_PI * 60 * t) * 0.5 : 0.0;
        double l = 0.25 * std::sin(2 * M_PI * (220 + 20 * std::sin(t * 0.3)) * t) +
                   0.15 * std::sin(2 * M_PI * 1760 * t) + beat + noise;
        double r = 0.25 * std::sin(2 * M_PI * 330 * t) + 0.1 * std::sin(2 * M_PI * 5000 * t) +
                   beat + noise;
        pcm[2 * i] = static_cast<int16_t>(std::lround(std::clamp(l, -1.0, 1.0) * 20000));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lround(std::clamp(r, -1.0, 1.0) * 20000));
    }
    auto header = zv::make_pcm_wav_header({rate, 2}, static_cast<uint32_t>(pcm.size() * 2));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fwrite(header.data(), 1, header.size(), f);
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    std::fclose(f);
}

// Runs the program with its output discarded; cpu_s receives its user + system time.
int run_program(std::vector<std::string> args, double* cpu_s = nullptr) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (cpu_s != nullptr) {
        *cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Quiet : zv::ExportObserver {
    void set_text(int, const std::string&) override {}
    void set_progress_range(int) override {}
    void step_progress() override {}
    void finished(const zv::ExportJobResult&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    int seconds = 180;
    int songs = 8;
    int reps = 2;
    std::string cli = std::filesystem::path(argv[0]).parent_path().parent_path() / "cli/zvmp3-cli";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--songs") == 0)
            songs = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--cli") == 0)
            cli = argv[i + 1];
    }
    zv::TempFolder temp(zv::make_run_id());
    const std::string dir = temp.path();
    if (dir.empty())
        return 1;
    const std::string song = dir + "/song0.wav";
    write_song(song, seconds, 1);

    // 1. One export against lame alone.
    zv::enable_flush_denormals();
    auto processor = zv::make_processor();
    zv::processor_startup(*processor);
    zv::ExportJobInputs in;
    zv::set_song_path(in.entry, song);
    in.entry.sample_rate = 44100;
    in.entry.channels = 2;
    in.target_path = dir + "/out.wav";
    in.options.output_mp3 = 1;
    in.options.normalise_on_export = 1;
    in.encoder.mp3_bitrate_kbps = 128;
    in.temp_folder = temp.job_path(0);
    in.run_id = temp.run_id();
    Quiet quiet;
    // Alternating runs, the fastest of each kind: the machine may be shared.
    double export_s = 1e9, lame_s = 1e9;
    Clock::time_point t0;
    for (int rep = 0; rep < reps; ++rep) {
        t0 = Clock::now();
        zv::ExportJob job(in, *processor, quiet, nullptr);
        zv::ExportJobResult r = job.run();
        export_s = std::min(export_s, seconds_since(t0));
        if (r.end != zv::ExportEnd::Completed) {
            std::fprintf(stderr, "export failed: %s\n", r.failure.c_str());
            return 1;
        }
        t0 = Clock::now();
        if (run_program({"lame", "--quiet", "-b", "128", song, dir + "/lame.mp3"}) != 0) {
            std::fprintf(stderr, "lame failed\n");
            return 1;
        }
        lame_s = std::min(lame_s, seconds_since(t0));
    }
    std::printf(
        "one %d s song: export to MP3 %.2f s, lame -b 128 %.2f s, ratio %.2f (target <= 1.8)\n",
        seconds, export_s, lame_s, export_s / lame_s);

    // 2. Eight songs, two jobs against one, from WAV and from MP3 sources.
    std::vector<std::string> wavs, mp3s;
    for (int k = 0; k < songs; ++k) {
        std::string path = dir + "/song" + std::to_string(k) + ".wav";
        if (k > 0)
            write_song(path, seconds, static_cast<unsigned>(k + 1));
        wavs.push_back(path);
        mp3s.push_back(dir + "/song" + std::to_string(k) + ".mp3");
        if (run_program({"lame", "--quiet", "-b", "192", path, mp3s.back()}) != 0) {
            std::fprintf(stderr, "lame failed\n");
            return 1;
        }
    }
    bool ok = true;
    auto jobs_speed_up = [&](const char* kind, const std::vector<std::string>& sources) {
        double times[2] = {0, 0};
        double cpu[2] = {0, 0};
        for (int jobs = 1; jobs <= 2; ++jobs) {
            std::string out = dir + "/" + kind + "-jobs" + std::to_string(jobs);
            std::filesystem::create_directory(out);
            std::vector<std::string> args = {cli, "export", "-q", "--mp3", "--bitrate", "128"};
            args.insert(args.end(), sources.begin(), sources.end());
            args.insert(args.end(), {"--jobs", std::to_string(jobs), "-d", out});
            t0 = Clock::now();
            if (run_program(args, &cpu[jobs - 1]) != 0) {
                std::fprintf(stderr, "%s export --jobs %d of %s sources failed\n", cli.c_str(),
                             jobs, kind);
                ok = false;
                return;
            }
            times[jobs - 1] = seconds_since(t0);
        }
        std::printf(
            "%d %s songs: --jobs 1 %.2f s, --jobs 2 %.2f s, speed-up %.2f (target >= 1.8)\n", songs,
            kind, times[0], times[1], times[0] / times[1]);
        // CPU seconds per wall second: near 2 with --jobs 2 only when two cores were free.
        std::printf("  cpu used: --jobs 1 %.2f s (%.2f cores), --jobs 2 %.2f s (%.2f cores)\n",
                    cpu[0], cpu[0] / times[0], cpu[1], cpu[1] / times[1]);
    };
    jobs_speed_up("WAV", wavs);
    jobs_speed_up("MP3", mp3s);
    return ok ? 0 : 1;
}
