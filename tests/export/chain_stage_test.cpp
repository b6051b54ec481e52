// The chain over two threads gives what process_block gives on one: the same bytes, the same
// meters after every block, and the same processor state for the next song; a stage that never
// ran, or runs blocks without frames, starts and stops cleanly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/processor.h"
#include "export/chain_stage.h"

namespace zv {
namespace {

std::unique_ptr<Processor> ready(bool gates) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, 339);
    p->params.switches.noise_gate = gates ? 1 : 0;
    p->params.settings.preemphasis = 2.0;
    change_sample_rate(*p, 48000);
    reset_processor_state(*p);
    return p;
}

std::vector<int16_t> music(int frames) {
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const double t = n / 48000.0;
        const double swell = n % 30000 < 5000 ? 0.01 : 1.0;
        v[2 * n] = static_cast<int16_t>(swell * (15000 * std::sin(2 * std::numbers::pi * 70 * t) +
                                                 9000 * std::sin(2 * std::numbers::pi * 3100 * t)));
        v[2 * n + 1] =
            static_cast<int16_t>(swell * (11000 * std::sin(2 * std::numbers::pi * 180 * t) +
                                          7000 * std::sin(2 * std::numbers::pi * 9000 * t)));
    }
    return v;
}

bool same_meters(const MeterSnapshot& a, const MeterSnapshot& b) {
    return a.input_peak_l == b.input_peak_l && a.input_peak_r == b.input_peak_r &&
           a.output_peak_l == b.output_peak_l && a.output_peak_r == b.output_peak_r &&
           a.agc_gain_lo == b.agc_gain_lo && a.agc_gain_hi == b.agc_gain_hi &&
           a.hf_gain_reduction_l == b.hf_gain_reduction_l &&
           a.hf_gain_reduction_r == b.hf_gain_reduction_r && a.enhancer_peak == b.enhancer_peak &&
           a.hf_limit_peak == b.hf_limit_peak &&
           a.band_gain_reduction_peak == b.band_gain_reduction_peak &&
           a.band_clip_flag == b.band_clip_flag && a.gate_indicator == b.gate_indicator &&
           a.clip_flag_l == b.clip_flag_l && a.clip_flag_r == b.clip_flag_r;
}

TEST(ChainStage, TwoThreadsGiveOneThreadsBytesMetersAndState) {
    // The export's blocks, a short last one, a block of one frame and one of none.
    constexpr int BLOCKS[] = {16384, 16384, 5000, 1, 0, 16384, 333};
    const std::vector<int16_t> in = music(80000);
    for (bool gates : {false, true}) {
        auto one = ready(gates);
        auto two = ready(gates);
        ChainStage stage(*two, true);
        ASSERT_TRUE(stage.two_threads());
        std::vector<int16_t> want(in.size()), got(in.size());
        size_t at = 0;
        for (int n = 0; at < in.size(); ++n) {
            const int frames = std::min<int>(BLOCKS[n % std::size(BLOCKS)],
                                             static_cast<int>((in.size() - at) / 2));
            process_block(*one, 2 * frames, &in[at], &want[at]);
            stage.process_block(2 * frames, &in[at], &got[at]);
            EXPECT_TRUE(same_meters(one->state.meters, two->state.meters))
                << "gates " << gates << ", block " << n;
            at += 2 * static_cast<size_t>(frames);
        }
        ASSERT_EQ(got, want) << "gates " << gates;
        for (int b = 0; b < BAND_COUNT; ++b) {
            EXPECT_EQ(one->params.bands[b].gain_reduction, two->params.bands[b].gain_reduction);
            EXPECT_EQ(one->params.bands[b].out_l, two->params.bands[b].out_l);
        }
        // The next song goes on from the same state: one more block on each, one thread.
        std::vector<int16_t> tail_one(2 * 4096), tail_two(2 * 4096);
        process_block(*one, 2 * 4096, in.data(), tail_one.data());
        process_block(*two, 2 * 4096, in.data(), tail_two.data());
        EXPECT_EQ(tail_one, tail_two) << "gates " << gates;
    }
}

TEST(ChainStage, OneThreadIsProcessBlockItself) {
    auto one = ready(false);
    auto two = ready(false);
    ChainStage stage(*two, false);
    EXPECT_FALSE(stage.two_threads());
    const std::vector<int16_t> in = music(20000);
    std::vector<int16_t> want(in.size()), got(in.size());
    process_block(*one, static_cast<int32_t>(in.size()), in.data(), want.data());
    stage.process_block(static_cast<int32_t>(in.size()), in.data(), got.data());
    EXPECT_EQ(got, want);
}

TEST(ChainStage, StopsWhetherItRanOrNot) {
    auto p = ready(false);
    { ChainStage idle(*p, true); }
    ChainStage empty(*p, true);
    const int16_t in[2] = {1000, 1000};
    int16_t out[2] = {7, 7};
    empty.process_block(0, in, out);
    empty.process_block(1, in, out);  // no whole frame
    EXPECT_EQ(out[0], 7);
}

// The job's own work given to a block (the last block's output handed on in pieces) is all
// done when the block returns, on either kind of stage, and never changes the block's bytes.
TEST(ChainStage, MeanwhileWorkIsDoneWithinTheBlock) {
    const std::vector<int16_t> in = music(3 * 16384);
    for (bool two_threads : {false, true}) {
        auto one = ready(true);
        auto p = ready(true);
        ChainStage stage(*p, two_threads);
        std::vector<int16_t> want(in.size()), got(in.size());
        for (size_t at = 0; at < in.size(); at += 2 * 16384) {
            int pieces = 0;
            auto step = [&] { return ++pieces < 8; };
            process_block(*one, 2 * 16384, &in[at], &want[at]);
            stage.process_block(2 * 16384, &in[at], &got[at], step);
            EXPECT_EQ(pieces, 8) << "two threads " << two_threads;
        }
        EXPECT_EQ(got, want) << "two threads " << two_threads;
    }
}

// With `due` given, the job's work that is due is done after the fronts start and before any
// back writes the block's output; the rest may be left for later blocks (the fronts never wait
// for it at a block's end), and the bytes stay those of one thread.
TEST(ChainStage, WorkNotDueWaitsWhileDueWorkComesBeforeTheBacks) {
    const std::vector<int16_t> in = music(4 * 16384);
    auto one = ready(true);
    auto p = ready(true);
    ChainStage stage(*p, true);
    constexpr int16_t UNTOUCHED = 0x7777;
    std::vector<int16_t> want(in.size()), got(in.size(), UNTOUCHED);
    int pieces = 0;
    int due_pieces_after_a_back = 0;
    for (size_t at = 0; at < in.size(); at += 2 * 16384) {
        const int due_until = pieces + 3;
        auto due = [&] { return pieces < due_until; };
        auto step = [&] {
            if (due() && got[at] != UNTOUCHED) {
                ++due_pieces_after_a_back;
            }
            ++pieces;
            return true;  // endless: only what is due, and the waits, take it up
        };
        process_block(*one, 2 * 16384, &in[at], &want[at]);
        stage.process_block(2 * 16384, &in[at], &got[at], step, due);
        EXPECT_GE(pieces, due_until);
    }
    EXPECT_EQ(due_pieces_after_a_back, 0);
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace zv
