// Export speed and memory, timed in one process against references run in the same process:
//   1. one 180-second 44.1 kHz stereo song exported to MP3 (128 kbit/s, normalisation on)
//      against the lame program alone encoding the same WAV with -b 128 (target: <= 1.15);
//   2. the same song exported to WAV against the chain alone over the song in memory, the
//      cost of reading, measuring, writing and placing the file (target: <= 1.1), each export's
//      phases and its threads' CPU time, the loudness meter alone against libebur128's own
//      true peak, and against
//      sox running a simpler chain of the same kind over the same WAV (bench/sox_reference.h;
//      target: the export >= 5 times as fast), and the chain alone over two threads as a job
//      with two cores runs it (export/chain_stage.h);
//   3. eight such songs with zvmp3-cli export --jobs 2 against --jobs 1 (target: >= 1.9),
//      from WAV sources with each song's stages on one thread (--inline-stages: the job
//      scaling), then as a user runs it (one job pipelines its stages over both cores, so
//      two jobs gain less), then from MP3 sources (made by lame -b 192) with inline stages;
//   4. the peak pre-pass of the WAV (measure_peak), in times real time (target: >= 2000);
//   5. the peak resident memory of zvmp3-cli exporting a 60-minute mix to MP3 (target: under
//      64 MB);
//   6. the same song as FLAC (made by flac -5) exported to WAV against the WAV song exported
//      to WAV (target: <= 1.1), and the WAV song exported to FLAC and to Opus for comparison.
// Usage: export_bench [--seconds N] [--songs N (0: skip 3)] [--mix-minutes N (0: skip 5)] [--reps
// N]
//                     [--cli PATH]
#include <ebur128.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/sox_reference.h"
#include "engine/normalisation.h"
#include "engine/processor.h"
#include "export/chain_stage.h"
#include "export/export_job.h"
#include "export/loudness.h"
#include "export/peak_scan.h"
#include "export/song_entry.h"
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

// Runs the program with its output discarded; cpu_s receives its user + system time,
// max_rss_kb its peak resident memory.
int run_program(std::vector<std::string> args, double* cpu_s = nullptr,
                long* max_rss_kb = nullptr) {
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
    if (max_rss_kb != nullptr) {
        // The program's own high-water mark, read while it runs: the rusage figure of a
        // spawned child also counts this process's memory from before the exec.
        *max_rss_kb = 0;
        const std::string status_file = "/proc/" + std::to_string(pid) + "/status";
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            if (std::FILE* f = std::fopen(status_file.c_str(), "r")) {
                char line[256];
                while (std::fgets(line, sizeof line, f) != nullptr) {
                    if (std::strncmp(line, "VmHWM:", 6) == 0)
                        *max_rss_kb = std::max(*max_rss_kb, std::atol(line + 6));
                }
                std::fclose(f);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    } else {
        wait4(pid, &status, 0, &usage);
    }
    if (cpu_s != nullptr) {
        *cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Also notes when the chain began (the song copied in and measured) and when its last block
// was done (the file then finished and placed).
struct Quiet : zv::ExportObserver {
    Clock::time_point chain_began, last_block;
    void files(const std::string&, const std::string&) override { chain_began = Clock::now(); }
    void block_done() override { last_block = Clock::now(); }
    void stage(zv::ExportStage) override {}
    void processed(uint64_t, int32_t) override {}
    void set_progress_range(int) override {}
    void step_progress() override {}
    void finished(const zv::ExportJobResult&) override {}
};

}  // namespace

// CPU seconds of the calling thread.
double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// User and system seconds of this process, all its threads.
double process_cpu_seconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The chain alone over the song in memory, as the export runs it: 16384-frame blocks, the
// song's gain, the tail block; on this thread, or over two as a job with two cores runs it.
// cpu_s receives the CPU seconds it took.
// The samples of a 44-byte-header WAV this bench wrote.
std::vector<int16_t> read_samples(const std::string& wav) {
    std::FILE* f = std::fopen(wav.c_str(), "rb");
    if (f == nullptr)
        return {};
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::vector<int16_t> pcm(static_cast<size_t>(size - 44) / 2);
    std::fseek(f, 44, SEEK_SET);
    const size_t got = std::fread(pcm.data(), 2, pcm.size(), f);
    std::fclose(f);
    pcm.resize(got);
    return pcm;
}

// CPU seconds of the export's loudness meter over a stereo song in the export's blocks, or of
// libebur128 measuring the same with its own true peak (as the meter did before it
// interpolated by itself); the true peak in dBTP.
double meter_seconds(const std::vector<int16_t>& pcm, bool library_true_peak, double& dbtp) {
    const double cpu0 = thread_cpu_seconds();
    zv::LoudnessMeter meter(2, 44100);
    ebur128_state* st =
        library_true_peak
            ? ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK)
            : nullptr;
    for (size_t at = 0; at < pcm.size(); at += zv::EXPORT_BLOCK_SAMPLES) {
        const size_t n = std::min<size_t>(zv::EXPORT_BLOCK_SAMPLES, pcm.size() - at);
        if (st != nullptr)
            ebur128_add_frames_short(st, pcm.data() + at, n / 2);
        else
            meter.add(std::span<const int16_t>(pcm.data() + at, n));
    }
    double peak = 0;
    if (st != nullptr) {
        double lufs = 0, range = 0, l = 0, r = 0;
        ebur128_loudness_global(st, &lufs);
        ebur128_loudness_range(st, &range);
        ebur128_true_peak(st, 0, &l);
        ebur128_true_peak(st, 1, &r);
        peak = 20 * std::log10(std::max(l, r));
        ebur128_destroy(&st);
    } else {
        zv::LoudnessFigures f;
        meter.figures(f);
        peak = f.true_peak_dbtp;
    }
    dbtp = peak;
    return thread_cpu_seconds() - cpu0;
}

double chain_alone_seconds(const std::string& wav, int32_t peak, bool two_threads, double& cpu_s) {
    const std::vector<int16_t> pcm = read_samples(wav);
    auto p = zv::make_processor();
    zv::processor_startup(*p);
    zv::reset_processor_state(*p);
    p->params.normalisation_gain = zv::normalisation_gain_for_peak(peak);
    zv::change_sample_rate(*p, 44100);
    std::vector<int16_t> in(zv::EXPORT_BLOCK_SAMPLES), out(zv::EXPORT_BLOCK_SAMPLES);
    zv::ChainStage chain(*p, two_threads);
    auto cpu_now = two_threads ? process_cpu_seconds : thread_cpu_seconds;
    const Clock::time_point t0 = Clock::now();
    const double cpu0 = cpu_now();
    for (size_t at = 0; at < pcm.size() + zv::EXPORT_BLOCK_SAMPLES; at += in.size()) {
        std::fill(in.begin(), in.end(), int16_t{0});
        if (at < pcm.size())
            std::copy(pcm.begin() + static_cast<long>(at),
                      pcm.begin() + static_cast<long>(std::min(pcm.size(), at + in.size())),
                      in.begin());
        chain.process_block(zv::EXPORT_BLOCK_SAMPLES, in.data(), out.data());
    }
    cpu_s = cpu_now() - cpu0;
    return seconds_since(t0);
}

// CPU seconds of each thread of this process while it runs, read from /proc every few
// milliseconds (schedstat: nanoseconds on a CPU), the watcher's own left out. On two idle
// cores a job takes about the larger of its busiest thread's CPU time and half its total: what
// it would take on this machine if the machine were not shared.
class ThreadCpuWatch {
public:
    ThreadCpuWatch() {
        thread_ = std::thread([this] {
            own_ = gettid();
            while (!stop_.load()) {
                sample();
                std::this_thread::sleep_for(std::chrono::milliseconds(4));
            }
            sample();
        });
    }
    ~ThreadCpuWatch() { stop(); }
    void stop() {
        stop_.store(true);
        if (thread_.joinable())
            thread_.join();
    }
    // Threads seen, less what they had when the watch started.
    double busiest_s() const {
        double most = 0;
        for (const auto& [tid, t] : seen_)
            most = std::max(most, t.last - t.first);
        return most;
    }
    // Each thread's CPU seconds, the busiest first.
    std::vector<double> each_s() const {
        std::vector<double> v;
        for (const auto& [tid, t] : seen_)
            v.push_back(t.last - t.first);
        std::sort(v.rbegin(), v.rend());
        return v;
    }
    double total_s() const {
        double sum = 0;
        for (const auto& [tid, t] : seen_)
            sum += t.last - t.first;
        return sum;
    }

private:
    struct Times {
        double first = 0;
        double last = 0;
    };
    void sample() {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
            const int tid = std::atoi(entry.path().filename().c_str());
            if (tid == own_)
                continue;
            std::FILE* f = std::fopen((entry.path() / "schedstat").c_str(), "r");
            if (f == nullptr)
                continue;
            unsigned long long ns = 0;
            if (std::fscanf(f, "%llu", &ns) == 1) {
                const double t = static_cast<double>(ns) / 1e9;
                auto [it, added] = seen_.try_emplace(tid, Times{t, t});
                // A thread that started after the watch had nothing before.
                if (added && !first_sample_)
                    it->second.first = 0;
                it->second.last = t;
            }
            std::fclose(f);
        }
        first_sample_ = false;
    }

    std::map<int, Times> seen_;
    bool first_sample_ = true;
    int own_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int main(int argc, char** argv) {
    int seconds = 180;
    int songs = 8;
    int reps = 3;
    int mix_minutes = 60;
    std::string cli = std::filesystem::path(argv[0]).parent_path().parent_path() / "cli/zvmp3-cli";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--songs") == 0)
            songs = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--reps") == 0)
            reps = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--mix-minutes") == 0)
            mix_minutes = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--cli") == 0)
            cli = argv[i + 1];
    }
    zv::TempFolder temp(zv::make_run_id());
    const std::string dir = temp.path();
    if (dir.empty())
        return 1;
    const std::string song = dir + "/song0.wav";
    write_song(song, seconds, 1);
    std::printf("%u cores; load average at the start: ", std::thread::hardware_concurrency());
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("%.2f %.2f %.2f\n", load[0], load[1], load[2]);
    std::fflush(stdout);

    // 1 and 2. One song to MP3 against lame alone, and to WAV against the chain alone.
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
    // Alternating runs; the fastest and the median of each kind: the machine may be shared.
    std::vector<double> mp3_s, lame_s, wav_s, chain_s, chain2_s, sox_s;
    std::vector<double> wav_idle_s, wav_busiest_s, wav_threads_s;
    double mp3_cpu = 1e9, wav_cpu = 1e9, lame_cpu = 1e9, sox_cpu = 1e9, chain_cpu = 1e9,
           chain2_cpu = 1e9;
    int32_t peak = 0;
    Clock::time_point t0;
    for (int rep = 0; rep < reps; ++rep) {
        for (int mp3 : {1, 0}) {
            in.options.output_mp3 = mp3;
            t0 = Clock::now();
            const double cpu0 = process_cpu_seconds();
            std::optional<ThreadCpuWatch> watch;
            if (mp3 == 0)
                watch.emplace();
            zv::ExportJob job(in, *processor, quiet, nullptr);
            zv::ExportJobResult r = job.run();
            (mp3 != 0 ? mp3_s : wav_s).push_back(seconds_since(t0));
            if (watch) {
                watch->stop();
                const Clock::time_point end = Clock::now();
                std::string threads;
                for (double t : watch->each_s())
                    threads += (threads.empty() ? "" : ", ") + std::to_string(t).substr(0, 5);
                std::printf(
                    "  WAV export %d: copy in %.3f s, chain %.3f s, finish and place %.3f s; "
                    "threads' CPU %s s\n",
                    rep + 1, std::chrono::duration<double>(quiet.chain_began - t0).count(),
                    std::chrono::duration<double>(quiet.last_block - quiet.chain_began).count(),
                    std::chrono::duration<double>(end - quiet.last_block).count(), threads.c_str());
                wav_busiest_s.push_back(watch->busiest_s());
                wav_threads_s.push_back(watch->total_s());
                wav_idle_s.push_back(std::max(watch->busiest_s(), watch->total_s() / 2));
            }
            double& cpu = mp3 != 0 ? mp3_cpu : wav_cpu;
            cpu = std::min(cpu, process_cpu_seconds() - cpu0);
            if (r.end != zv::ExportEnd::Completed) {
                std::fprintf(stderr, "export failed: %s\n", r.failure.c_str());
                return 1;
            }
            peak = r.peak_level;
        }
        t0 = Clock::now();
        double cpu = 0;
        if (run_program({"lame", "--quiet", "-b", "128", song, dir + "/lame.mp3"}, &cpu) != 0) {
            std::fprintf(stderr, "lame failed\n");
            return 1;
        }
        lame_s.push_back(seconds_since(t0));
        lame_cpu = std::min(lame_cpu, cpu);
        double cpu_chain = 0;
        chain_s.push_back(chain_alone_seconds(song, peak, false, cpu_chain));
        chain_cpu = std::min(chain_cpu, cpu_chain);
        chain2_s.push_back(chain_alone_seconds(song, peak, true, cpu_chain));
        chain2_cpu = std::min(chain2_cpu, cpu_chain);
        const zv::bench::ProgramRun sox = zv::bench::run_sox_reference(song, dir + "/sox.wav");
        if (!sox.ok) {
            std::fprintf(stderr, "sox failed\n");
            return 1;
        }
        sox_s.push_back(sox.wall_s);
        sox_cpu = std::min(sox_cpu, sox.cpu_s);
    }
    const double best_mp3 = *std::min_element(mp3_s.begin(), mp3_s.end());
    const double best_lame = *std::min_element(lame_s.begin(), lame_s.end());
    const double best_wav = *std::min_element(wav_s.begin(), wav_s.end());
    const double best_chain = *std::min_element(chain_s.begin(), chain_s.end());
    const double best_chain2 = *std::min_element(chain2_s.begin(), chain2_s.end());
    const double best_sox = *std::min_element(sox_s.begin(), sox_s.end());
    std::printf(
        "one %d s song to MP3: export %.2f s (median %.2f), lame -b 128 %.2f s (median %.2f), "
        "ratio %.2f (median %.2f; target <= 1.15)\n",
        seconds, best_mp3, median(mp3_s), best_lame, median(lame_s), best_mp3 / best_lame,
        median(mp3_s) / median(lame_s));
    std::printf(
        "one %d s song to WAV: export %.2f s (%.0fx real time), chain alone %.2f s (%.0fx), "
        "ratio %.2f (median %.2f; target <= 1.1)\n",
        seconds, best_wav, seconds / best_wav, best_chain, seconds / best_chain,
        best_wav / best_chain, median(wav_s) / median(chain_s));
    std::printf(
        "  against sox's chain over the same WAV: sox %.2f s (%.0fx real time; median %.2f s), "
        "the export %.2f times as fast (median %.2f; target >= 5)\n",
        best_sox, seconds / best_sox, median(sox_s), best_sox / best_wav,
        median(sox_s) / median(wav_s));
    std::printf(
        "  on two idle cores (from the CPU time of the export's threads: the busiest %.2f s, "
        "all %.2f s): about %.2f s (%.0fx real time), %.2f times as fast as sox's CPU time "
        "(target >= 5)\n",
        median(wav_busiest_s), median(wav_threads_s), median(wav_idle_s),
        seconds / median(wav_idle_s), sox_cpu / median(wav_idle_s));
    std::printf(
        "  the chain alone over two threads (a job with two cores): %.2f s (%.0fx real time; "
        "median %.2f s), %.2f times as fast as sox (median %.2f; one thread %.2f)\n",
        best_chain2, seconds / best_chain2, median(chain2_s), best_sox / best_chain2,
        median(sox_s) / median(chain2_s), median(sox_s) / median(chain_s));
    // The work itself, whatever else runs: with two free cores an export takes about the
    // larger of its slowest stage and half its CPU time.
    std::printf(
        "  cpu: export to MP3 %.2f s, to WAV %.2f s, lame %.2f s, chain %.2f s (over two "
        "threads %.2f s), sox %.2f s (sox over the WAV export: %.2f)\n",
        mp3_cpu, wav_cpu, lame_cpu, chain_cpu, chain2_cpu, sox_cpu, sox_cpu / wav_cpu);
    {
        const std::vector<int16_t> pcm = read_samples(song);
        double ours_dbtp = 0, library_dbtp = 0;
        std::vector<double> ours_s, library_s;
        for (int rep = 0; rep < reps; ++rep) {
            ours_s.push_back(meter_seconds(pcm, false, ours_dbtp));
            library_s.push_back(meter_seconds(pcm, true, library_dbtp));
        }
        std::printf(
            "  the loudness meter over the song: %.3f s CPU (median), libebur128 with its own "
            "true peak %.3f s; true peak %.6f dBTP, %s\n",
            median(ours_s), median(library_s), ours_dbtp,
            ours_dbtp == library_dbtp ? "the same" : "NOT THE SAME");
    }
    std::fflush(stdout);

    // 6. The same song as FLAC and as WAV, into WAV; the WAV into FLAC and Opus.
    const std::string flac = dir + "/song0.flac";
    if (run_program({"flac", "-s", "-5", "-f", song, "-o", flac}) != 0) {
        std::fprintf(stderr, "flac failed\n");
        return 1;
    }
    zv::ExportJobInputs from_flac = in;
    zv::Id3v1Tag tag;
    std::string error;
    if (!zv::make_song_entry(flac, from_flac.entry, tag, error)) {
        std::fprintf(stderr, "%s: %s\n", flac.c_str(), error.c_str());
        return 1;
    }
    from_flac.options.output_mp3 = 0;
    in.options.output_mp3 = 0;
    std::vector<double> flac_in_s, wav_in_s, flac_out_s, opus_out_s;
    double flac_in_cpu = 1e9, wav_in_cpu = 1e9;
    for (int rep = 0; rep < std::max(reps, 5); ++rep) {
        for (int source_flac : {1, 0}) {
            t0 = Clock::now();
            const double cpu0 = process_cpu_seconds();
            zv::ExportJob job(source_flac != 0 ? from_flac : in, *processor, quiet, nullptr);
            if (job.run().end != zv::ExportEnd::Completed) {
                std::fprintf(stderr, "export failed\n");
                return 1;
            }
            (source_flac != 0 ? flac_in_s : wav_in_s).push_back(seconds_since(t0));
            double& cpu = source_flac != 0 ? flac_in_cpu : wav_in_cpu;
            cpu = std::min(cpu, process_cpu_seconds() - cpu0);
        }
    }
    for (int rep = 0; rep < reps; ++rep) {
        for (zv::ExportFormat format : {zv::ExportFormat::Flac, zv::ExportFormat::Opus}) {
            zv::ExportJobInputs out = in;
            zv::set_export_format(out.options, format);
            t0 = Clock::now();
            zv::ExportJob job(out, *processor, quiet, nullptr);
            if (job.run().end != zv::ExportEnd::Completed) {
                std::fprintf(stderr, "export failed\n");
                return 1;
            }
            (format == zv::ExportFormat::Flac ? flac_out_s : opus_out_s)
                .push_back(seconds_since(t0));
        }
    }
    const double best_flac_in = *std::min_element(flac_in_s.begin(), flac_in_s.end());
    const double best_wav_in = *std::min_element(wav_in_s.begin(), wav_in_s.end());
    std::printf(
        "one %d s song to WAV from FLAC %.2f s (median %.2f), from WAV %.2f s (median %.2f), "
        "ratio %.3f (median %.3f; target <= 1.1)\n",
        seconds, best_flac_in, median(flac_in_s), best_wav_in, median(wav_in_s),
        best_flac_in / best_wav_in, median(flac_in_s) / median(wav_in_s));
    // The work itself, whatever else runs on the machine.
    std::printf("  cpu: from FLAC %.2f s, from WAV %.2f s, ratio %.3f\n", flac_in_cpu, wav_in_cpu,
                flac_in_cpu / wav_in_cpu);
    std::printf("  the WAV song to FLAC %.2f s, to Opus 128 kbit/s %.2f s (medians %.2f, %.2f)\n",
                *std::min_element(flac_out_s.begin(), flac_out_s.end()),
                *std::min_element(opus_out_s.begin(), opus_out_s.end()), median(flac_out_s),
                median(opus_out_s));
    std::fflush(stdout);
    in.options.output_mp3 = 1;

    // 4. The peak pre-pass of the WAV: a quiet song is read to its end.
    std::vector<double> peak_s;
    for (int rep = 0; rep < 5; ++rep) {
        zv::SongEntry entry;
        t0 = Clock::now();
        zv::measure_peak(entry, song);
        peak_s.push_back(seconds_since(t0));
    }
    const double best_peak = *std::min_element(peak_s.begin(), peak_s.end());
    std::printf(
        "peak pre-pass of the %d s WAV (level %d): %.4f s, %.0fx real time (median %.0fx; "
        "target >= 2000)\n",
        seconds, peak, best_peak, seconds / best_peak, seconds / median(peak_s));
    std::fflush(stdout);

    // 3. Eight songs, two jobs against one.
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
    auto jobs_speed_up = [&](const char* kind, const std::vector<std::string>& sources,
                             bool inline_stages) {
        double times[2] = {0, 0};
        double cpu[2] = {0, 0};
        for (int jobs = 1; jobs <= 2; ++jobs) {
            std::string out = dir + "/" + kind + (inline_stages ? "-inline" : "-staged") + "-jobs" +
                              std::to_string(jobs);
            std::filesystem::create_directory(out);
            std::vector<std::string> args = {cli, "export", "-q", "--mp3", "--bitrate", "128"};
            if (inline_stages)
                args.push_back("--inline-stages");
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
            std::filesystem::remove_all(out);
        }
        std::printf(
            "%d %s songs, %s: --jobs 1 %.2f s, --jobs 2 %.2f s, speed-up %.2f%s\n", songs, kind,
            inline_stages ? "each song's stages on one thread (--inline-stages)"
                          : "as a user runs it (one job pipelines over both cores)",
            times[0], times[1], times[0] / times[1], inline_stages ? " (target >= 1.9)" : "");
        // CPU seconds per wall second: near 2 only when two cores were kept busy.
        std::printf("  cpu used: --jobs 1 %.2f s (%.2f cores), --jobs 2 %.2f s (%.2f cores)\n",
                    cpu[0], cpu[0] / times[0], cpu[1], cpu[1] / times[1]);
        std::fflush(stdout);
    };
    if (songs > 0) {
        jobs_speed_up("WAV", wavs, true);
        jobs_speed_up("WAV", wavs, false);
        jobs_speed_up("MP3", mp3s, true);
    }

    // 5. Peak resident memory of one long export: flat whatever the song's length.
    if (mix_minutes > 0) {
        const std::string mix = dir + "/mix.wav";
        write_song(mix, mix_minutes * 60, 99);
        for (const std::string& w : wavs)
            std::filesystem::remove(w);
        for (const std::string& m : mp3s)
            std::filesystem::remove(m);
        long rss_kb = 0;
        t0 = Clock::now();
        if (run_program(
                {cli, "export", "-q", "--mp3", "--bitrate", "128", mix, "-o", dir + "/mix-out.mp3"},
                nullptr, &rss_kb) != 0) {
            std::fprintf(stderr, "the %d-minute export failed\n", mix_minutes);
            return 1;
        }
        const double mix_s = seconds_since(t0);
        std::printf(
            "%d-minute mix to MP3 with zvmp3-cli: %.1f s (%.0fx real time), peak resident memory "
            "%.1f MB (target < 64 MB)\n",
            mix_minutes, mix_s, mix_minutes * 60 / mix_s, static_cast<double>(rss_kb) / 1024.0);
    }
    if (getloadavg(load, 3) == 3)
        std::printf("load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    return ok ? 0 : 1;
}
