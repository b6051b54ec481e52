// The live chain's cost per device period: LiveChain::run over program material in periods of
// PERIOD frames (default 256) at 44.1 kHz, with a hand-over every 40 ms as the owner's ticks
// give when the panel moves, for SECONDS of audio (default 600). Prints the median, the 99.9th
// percentile and the longest period against the period's own length (the callback's budget).
// Times are the thread's own CPU time: a callback thread runs realtime, so what other programs
// do on a busy machine (which would lengthen wall-clock times here) does not delay it.
// Usage: live_period [SECONDS] [PERIOD]
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/processor.h"
#include "playback/live_chain.h"

namespace {

double thread_cpu_us() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    const int period = argc > 2 ? std::clamp(std::atoi(argv[2]), 16, 4096) : 256;
    constexpr int RATE = 44100;
    zv::enable_flush_denormals();
    auto program = zv::make_processor();
    zv::processor_startup(*program);
    zv::change_sample_rate(*program, RATE);
    zv::LiveChain live;
    live.start(*program);

    // Ten seconds of program material, played round.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int16_t> in(2 * 10 * RATE);
    for (size_t n = 0; n < in.size() / 2; ++n) {
        const double t = static_cast<double>(n) / RATE;
        in[2 * n] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 90 * t) + 5000 * noise(rng));
        in[2 * n + 1] =
            static_cast<int16_t>(9000 * std::sin(2 * M_PI * 2100 * t) + 5000 * noise(rng));
    }
    std::vector<int16_t> out(2 * static_cast<size_t>(period));
    const long periods = static_cast<long>(seconds) * RATE / period;
    const long tick = RATE / 25 / period;  // a hand-over every 40 ms
    std::vector<double> us;
    us.reserve(static_cast<size_t>(periods));
    size_t at = 0;
    for (long k = 0; k < periods; ++k) {
        if (tick > 0 && k % tick == 0) {
            program->params.bands[k % 6].gain_db = static_cast<double>(k % 5);
            live.hand_over(program->params);
        }
        if (at + period > in.size() / 2) {
            at = 0;
        }
        const double t0 = thread_cpu_us();
        live.run(&in[2 * at], out.data(), static_cast<unsigned long>(period), false);
        us.push_back(thread_cpu_us() - t0);
        at += static_cast<size_t>(period);
    }
    std::sort(us.begin(), us.end());
    const double budget = 1e6 * period / RATE;
    const double median = us[us.size() / 2];
    const double p999 = us[us.size() * 999 / 1000];
    std::printf("live chain, %d-frame periods at %d Hz, %ld periods (%d s of audio)\n", period,
                RATE, periods, seconds);
    std::printf(
        "CPU per period: median %.1f us, 99.9%% %.1f us, longest %.1f us of a %.0f us period "
        "(longest / period %.3f)\n",
        median, p999, us.back(), budget, us.back() / budget);
    return 0;
}
