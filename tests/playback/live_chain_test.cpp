// The chain of low-latency ON AIR mode: the same bytes as block mode at any period, parameter
// changes taken at the start of a period with the running state kept, meters accumulated
// between two looks, and a callback thread beside the owner (run under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "engine/processor.h"
#include "playback/live_chain.h"
#include "playback/live_params.h"

// Allocations on a thread that has asked to count them: the callback's rule is none at all.
// Sanitizer builds keep their own operator new.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define ZV_COUNT_ALLOCATIONS 1
// The replacements pair malloc with free themselves.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
thread_local bool counting = false;
thread_local int allocations = 0;
}  // namespace
void* operator new(std::size_t n) {
    if (counting) {
        ++allocations;
    }
    if (void* p = std::malloc(n == 0 ? 1 : n)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

namespace zv {
namespace {

constexpr int RATE = 44100;

// Program material: two tones over noise, loud enough to keep the bands and clippers working.
std::vector<int16_t> program(int frames, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / RATE;
        v[2 * n] = static_cast<int16_t>(14000 * std::sin(2 * M_PI * 90 * t) + 5000 * noise(rng));
        v[2 * n + 1] =
            static_cast<int16_t>(11000 * std::sin(2 * M_PI * 2300 * t) + 5000 * noise(rng));
    }
    return v;
}

std::unique_ptr<Processor> started_processor(int preset) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, preset);
    change_sample_rate(*p, RATE);
    return p;
}

// Block mode's way: the whole signal in blocks of 4096 frames.
std::vector<int16_t> in_blocks(Processor& p, const std::vector<int16_t>& in) {
    std::vector<int16_t> out(in.size());
    const int frames = static_cast<int>(in.size() / 2);
    for (int off = 0; off < frames; off += 4096) {
        const int n = std::min(4096, frames - off);
        process_block(p, 2 * n, &in[2 * static_cast<size_t>(off)],
                      &out[2 * static_cast<size_t>(off)]);
    }
    return out;
}

TEST(LiveChain, PeriodsOfAnySizeGiveTheBytesOfBlockMode) {
    for (int preset : {232, 343, 336}) {
        auto program_processor = started_processor(preset);
        auto reference = std::make_unique<Processor>(*program_processor);
        LiveChain live;
        live.start(*program_processor);

        const std::vector<int16_t> in = program(RATE, static_cast<uint32_t>(preset));
        const std::vector<int16_t> expect = in_blocks(*reference, in);
        std::vector<int16_t> out(in.size());
        // A server's period, then odd ones a callback of another sound system may give.
        const int periods[] = {256, 256, 1, 333, 1024, 77};
        size_t off = 0;
        for (int k = 0; off < in.size() / 2; ++k) {
            const size_t n = std::min<size_t>(periods[k % 6], in.size() / 2 - off);
            live.run(&in[2 * off], &out[2 * off], n, false);
            off += n;
        }
        ASSERT_EQ(out, expect) << "preset " << preset;
        EXPECT_EQ(live.frames(), static_cast<uint64_t>(RATE));
        EXPECT_EQ(live.xruns(), 0u);
    }
}

TEST(LiveChain, SilenceWithoutAnInputBufferIsProcessedSilence) {
    auto program_processor = started_processor(232);
    auto reference = std::make_unique<Processor>(*program_processor);
    LiveChain live;
    live.start(*program_processor);
    const int frames = 3 * LiveChain::SILENCE_FRAMES + 5;  // longer than the ready silence
    std::vector<int16_t> out(2 * static_cast<size_t>(frames), 1);
    live.run(nullptr, out.data(), static_cast<unsigned long>(frames), true);
    const std::vector<int16_t> zeros(out.size(), 0);
    EXPECT_EQ(out, in_blocks(*reference, zeros));
    EXPECT_EQ(live.xruns(), 1u);
    EXPECT_EQ(live.period_frames(), static_cast<uint32_t>(frames));
}

// The panel edits the program's processor and the owner hands the values over; the chain takes
// them at the start of its next period, as block mode takes an edit between two blocks, with
// the recomputes that edit calls for and without touching the running envelopes.
TEST(LiveChain, HandedOverChangesTakeEffectAtTheNextPeriodWithTheRunningStateKept) {
    auto program_processor = started_processor(232);
    Processor& panel = *program_processor;
    auto reference = std::make_unique<Processor>(panel);
    LiveChain live;
    live.start(panel);
    EXPECT_EQ(live.hand_over(panel.params), HandOver::Unchanged);

    const std::vector<int16_t> in = program(RATE / 2, 7);
    std::vector<int16_t> out(in.size()), expect(in.size());
    constexpr size_t PERIOD = 256;
    // Each edit as the panel makes it (the value, then the recompute it asks for).
    const std::vector<void (*)(Processor&)> edits = {
        [](Processor& p) { p.params.bands[2].gain_db += 4.0; },
        [](Processor& p) {
            p.params.settings.mb_release = 3.0;
            apply_release_setting(p);
        },
        [](Processor& p) {
            p.params.final_lpf = 2.0;
            apply_final_lpf(p);
        },
        [](Processor& p) {
            p.params.bass_eq_gain_db = 9.0;
            design_bass_eq(p);
        },
        [](Processor& p) { p.params.switches.virtual_room = 1; },
        [](Processor& p) { p.params.switches.bypass = 1; },
    };
    size_t next_edit = 0;
    for (size_t off = 0, k = 0; off < in.size() / 2; off += PERIOD, ++k) {
        if (k % 12 == 6 && next_edit < edits.size()) {
            edits[next_edit](panel);
            edits[next_edit](*reference);
            ++next_edit;
            ASSERT_EQ(live.hand_over(panel.params), HandOver::Sent);
            EXPECT_EQ(live.hand_over(panel.params), HandOver::Unchanged);  // not sent twice
        }
        const size_t n = std::min(PERIOD, in.size() / 2 - off);
        live.run(&in[2 * off], &out[2 * off], n, false);
        process_block(*reference, static_cast<int32_t>(2 * n), &in[2 * off], &expect[2 * off]);
        ASSERT_EQ(std::vector<int16_t>(out.begin() + 2 * off, out.begin() + 2 * (off + n)),
                  std::vector<int16_t>(expect.begin() + 2 * off, expect.begin() + 2 * (off + n)))
            << "period at frame " << off << " after " << next_edit << " edits";
    }
    EXPECT_EQ(next_edit, edits.size());
    EXPECT_EQ(live.processor().params.bands[0].lookahead_len, 220);  // the release's line
}

TEST(LiveChain, HandOverKeepsTheChainsOwnEnvelopesAgainstThePanelsStaleCopies) {
    auto program_processor = started_processor(232);
    LiveChain live;
    live.start(*program_processor);
    const std::vector<int16_t> in = program(8192, 3);
    std::vector<int16_t> out(in.size());
    live.run(in.data(), out.data(), 4096, false);
    const double agc = live.processor().params.settings.agc_gain_lo;
    const double band = live.processor().params.bands[1].gain_reduction;
    ASSERT_NE(agc, 0.0);
    ASSERT_NE(band, 0.0);
    // The program's processor has not run: its envelopes are still those of the start.
    program_processor->params.settings.agc_drive_db += 1.0;
    ASSERT_EQ(live.hand_over(program_processor->params), HandOver::Sent);
    live.run(nullptr, out.data(), 0, false);
    EXPECT_EQ(live.processor().params.settings.agc_drive_db,
              program_processor->params.settings.agc_drive_db);
    EXPECT_EQ(live.processor().params.settings.agc_gain_lo, agc);
    EXPECT_EQ(live.processor().params.bands[1].gain_reduction, band);
}

TEST(LiveChain, MetersAccumulateUntilTheOwnerLooks) {
    auto program_processor = started_processor(232);
    LiveChain live;
    live.start(*program_processor);
    MeterSnapshot m;
    EXPECT_FALSE(live.take_meters(m));

    std::vector<int16_t> loud(2 * 256, 0), quiet(2 * 256, 0), out(2 * 256);
    for (size_t i = 0; i < loud.size(); ++i) {
        loud[i] = (i / 2) % 2 == 0 ? 32000 : -32000;
    }
    live.run(loud.data(), out.data(), 256, false);
    for (int k = 0; k < 5; ++k) {
        live.run(quiet.data(), out.data(), 256, false);
    }
    ASSERT_TRUE(live.take_meters(m));
    EXPECT_GT(m.input_peak_l, 20000.0);  // the loud period, five quiet ones later
    EXPECT_FALSE(live.take_meters(m));   // nothing new

    for (int k = 0; k < 40; ++k) {
        live.run(quiet.data(), out.data(), 256, false);
    }
    ASSERT_TRUE(live.take_meters(m));
    EXPECT_LT(m.input_peak_l, 100.0);  // a fresh accumulation after the look
    EXPECT_EQ(m.agc_gain_lo, live.processor().params.settings.agc_gain_lo);  // the latest
}

TEST(LiveChain, AccumulatedMetersKeepPeaksAndFlagsAndTakeTheLatestLevels) {
    MeterSnapshot acc, a, b;
    a.output_peak_r = 900.0;
    a.band_gain_reduction_peak[3] = 50.0;
    a.band_clip_flag[5] = 1;
    a.clip_flag_l = 1;
    a.agc_gain_hi = 10.0;
    a.gate_indicator[0] = 1;
    b.output_peak_r = 300.0;
    b.band_gain_reduction_peak[3] = 70.0;
    b.agc_gain_hi = 4.0;
    b.gate_indicator[0] = 3;
    accumulate_meters(acc, a);
    accumulate_meters(acc, b);
    EXPECT_EQ(acc.output_peak_r, 900.0);
    EXPECT_EQ(acc.band_gain_reduction_peak[3], 70.0);
    EXPECT_EQ(acc.band_clip_flag[5], 1);
    EXPECT_EQ(acc.clip_flag_l, 1);
    EXPECT_EQ(acc.agc_gain_hi, 4.0);
    EXPECT_EQ(acc.gate_indicator[0], 3);
}

// The callback on its own thread, the owner editing and looking at once: the values last handed
// over are the ones in force, and nothing is shared but through the queue and the mailbox.
TEST(LiveChain, RunsBesideTheOwnerThread) {
    auto program_processor = started_processor(232);
    LiveChain live;
    live.start(*program_processor);
    const std::vector<int16_t> in = program(4096, 11);
    std::atomic<bool> stop{false};
    std::thread callback([&] {
        enable_flush_denormals();
        std::vector<int16_t> out(2 * 256);
        size_t off = 0;
        while (!stop.load(std::memory_order_acquire)) {
            live.run(&in[2 * off], out.data(), 256, false);
            off = (off + 256) % 4096;
        }
    });
    int looks = 0;
    for (int i = 0; i < 300; ++i) {
        program_processor->params.bands[i % 6].gain_db = (i % 7) * 0.5;
        program_processor->params.settings.mb_attack = 1.0 + i % 4;
        apply_release_setting(*program_processor);
        while (live.hand_over(program_processor->params) == HandOver::QueueFull) {
            std::this_thread::yield();  // the callback takes them at its next period
        }
        MeterSnapshot m;
        looks += live.take_meters(m) ? 1 : 0;
    }
    // Let the callback take the last hand-over, then stop it.
    const uint64_t seen = live.frames();
    while (live.frames() < seen + 2 * 256) {
        std::this_thread::yield();
    }
    stop.store(true, std::memory_order_release);
    callback.join();
    EXPECT_GT(looks, 0);
    EXPECT_TRUE(same_panel_values(program_processor->params, live.processor().params));
}

#if ZV_COUNT_ALLOCATIONS
TEST(LiveChain, APeriodAllocatesNothingEvenWithAHandOver) {
    auto program_processor = started_processor(232);
    LiveChain live;
    live.start(*program_processor);
    const std::vector<int16_t> in = program(1024, 5);
    std::vector<int16_t> out(in.size());
    program_processor->params.settings.mb_release = 2.0;
    program_processor->params.final_lpf = 1.0;
    program_processor->params.bass_eq_gain_db = -3.0;
    ASSERT_EQ(live.hand_over(program_processor->params), HandOver::Sent);
    allocations = 0;
    counting = true;
    live.run(in.data(), out.data(), 512, false);
    live.run(nullptr, out.data(), 512, true);
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(live.processor().params.settings.mb_release, 2.0);
}
#endif

}  // namespace
}  // namespace zv
