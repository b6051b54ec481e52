// Real-time factor of the processing chain: seconds of 44.1 kHz stereo audio processed per
// second of CPU on one thread, reported as the counter "realtime_x", and as "x_sox", that
// factor over sox's for its simpler chain (bench/sox_reference.h) over the same music, run in
// the same process (BM_SoxReference, or once before the first chain when it is filtered out).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "bench/sox_reference.h"
#include "engine/processor.h"

namespace {

constexpr int RATE = 44100;
constexpr int BLOCK_VALUES = 8192;  // one 16384-byte playback buffer
constexpr int SECONDS = 4;

// Music-like input: a bass line, a few chord tones with slow tremolo, a hi-hat of noise
// bursts and a little broadband noise, different in the two channels.
std::vector<int16_t> music_like_input() {
    std::vector<int16_t> pcm(static_cast<size_t>(RATE) * SECONDS * 2);
    uint32_t noise = 12345;
    auto white = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return static_cast<double>(static_cast<int32_t>(noise)) / 2147483648.0;
    };
    const double two_pi = 2.0 * std::numbers::pi;
    for (int i = 0; i < RATE * SECONDS; ++i) {
        double t = static_cast<double>(i) / RATE;
        double beat = std::fmod(t * 2.0, 1.0);
        double bass = 7000.0 * std::sin(two_pi * (55.0 + 27.5 * (static_cast<int>(t) % 2)) * t);
        double chord = 0.0;
        for (double f : {261.6, 329.6, 392.0, 523.3}) {
            chord += 1500.0 * std::sin(two_pi * f * t) * (0.6 + 0.4 * std::sin(two_pi * 0.5 * t));
        }
        double hat = beat < 0.05 ? 5000.0 * white() * (1.0 - beat / 0.05) : 0.0;
        double n = 300.0 * white();
        double left = bass + chord + hat + n;
        double right = bass + 0.8 * chord - 0.5 * hat + 300.0 * white();
        pcm[2 * i] = static_cast<int16_t>(std::clamp(left, -32768.0, 32767.0));
        pcm[2 * i + 1] = static_cast<int16_t>(std::clamp(right, -32768.0, 32767.0));
    }
    return pcm;
}

// sox's real-time factor (audio seconds per CPU second of the sox process) over the music
// repeated to SOX_SECONDS, so that its start-up counts for little; 0 when sox did not run.
constexpr int SOX_SECONDS = 60;
double g_sox_realtime_x = 0.0;

double measure_sox_realtime_x() {
    const std::vector<int16_t> music = music_like_input();
    std::vector<int16_t> song;
    for (int k = 0; k < SOX_SECONDS / SECONDS; ++k) {
        song.insert(song.end(), music.begin(), music.end());
    }
    char folder[] = "/tmp/zv-engine-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return 0.0;
    }
    const std::string in = std::string(folder) + "/music.wav";
    const std::string out = std::string(folder) + "/sox.wav";
    double x = 0.0;
    if (zv::bench::write_stereo_wav(in, song, RATE)) {
        const zv::bench::ProgramRun run = zv::bench::run_sox_reference(in, out);
        if (run.ok && run.cpu_s > 0.0) {
            x = SOX_SECONDS / run.cpu_s;
        }
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    rmdir(folder);
    return x;
}

void report_against_sox(benchmark::State& state) {
    if (g_sox_realtime_x == 0.0) {
        g_sox_realtime_x = measure_sox_realtime_x();
    }
    if (g_sox_realtime_x > 0.0) {
        // realtime_x is a rate: benchmark divides by the CPU seconds, and so does this one.
        state.counters["x_sox"] = benchmark::Counter(
            state.counters["realtime_x"].value / g_sox_realtime_x, benchmark::Counter::kIsRate);
    }
}

void BM_SoxReference(benchmark::State& state) {
    for (auto _ : state) {
        g_sox_realtime_x = measure_sox_realtime_x();
        if (g_sox_realtime_x == 0.0) {
            state.SkipWithError("sox did not run");
            return;
        }
    }
    state.counters["realtime_x"] = g_sox_realtime_x;
}

void run_chain(benchmark::State& state, int preset, bool room_and_gate, bool sse2_loops = false) {
    zv::enable_flush_denormals();
    std::unique_ptr<zv::Processor> p = zv::make_processor();
    // The SSE2 build of the loops even where the machine has AVX (what the AVX build gains).
    if (sse2_loops) {
        p->state.avx_loops = false;
    }
    zv::processor_startup(*p);
    zv::apply_factory_preset(*p, preset);
    p->params.switches.virtual_room = room_and_gate ? 1 : 0;
    p->params.switches.noise_gate = room_and_gate ? 1 : 0;
    zv::change_sample_rate(*p, RATE);
    zv::reset_processor_state(*p);

    static const std::vector<int16_t> input = music_like_input();
    std::vector<int16_t> output(input.size());
    int64_t frames = 0;
    for (auto _ : state) {
        for (size_t off = 0; off + BLOCK_VALUES <= input.size(); off += BLOCK_VALUES) {
            zv::process_block(*p, BLOCK_VALUES, &input[off], &output[off]);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
        frames += static_cast<int64_t>(input.size() / 2);
    }
    // Audio seconds per CPU second.
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(frames) / RATE, benchmark::Counter::kIsRate);
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    report_against_sox(state);
}

void BM_Preset232(benchmark::State& state) {
    run_chain(state, 232, false);
}
void BM_Preset334(benchmark::State& state) {
    run_chain(state, 334, false);
}
void BM_Preset232RoomAndGate(benchmark::State& state) {
    run_chain(state, 232, true);
}
void BM_Preset232Sse2Loops(benchmark::State& state) {
    run_chain(state, 232, false, true);
}

// sox first: the chains' ratios use the latest sox figure.
BENCHMARK(BM_SoxReference)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Preset232)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preset334)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preset232RoomAndGate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preset232Sse2Loops)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
