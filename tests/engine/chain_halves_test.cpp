// The chain's two halves run in the orders two threads may give them (every front of a block
// before its first back, or each front one chunk ahead) give process_block's bytes, meters
// and state: the front and the back share nothing but the handoff of each chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/chain_halves.h"
#include "engine/processor.h"

namespace zv {
namespace {

std::unique_ptr<Processor> ready(int preset, void (*tweak)(ProcessorParams&)) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, preset);
    if (tweak != nullptr) {
        tweak(p->params);
    }
    change_sample_rate(*p, 44100);
    reset_processor_state(*p);
    return p;
}

// Loud enough to reach the clippers and gain computers, with a quiet stretch for the gates.
std::vector<int16_t> program(int frames) {
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    uint32_t noise = 7;
    for (int n = 0; n < frames; ++n) {
        const double t = n / 44100.0;
        noise = noise * 1664525u + 1013904223u;
        const double hiss = static_cast<double>(static_cast<int32_t>(noise)) / 2147483648.0;
        const double swell = n % 20000 < 4000 ? 0.02 : 1.0;
        v[2 * n] = static_cast<int16_t>(swell * (14000 * std::sin(2 * std::numbers::pi * 90 * t) +
                                                 9000 * std::sin(2 * std::numbers::pi * 2500 * t) +
                                                 3000 * hiss));
        v[2 * n + 1] = static_cast<int16_t>(
            swell * (12000 * std::sin(2 * std::numbers::pi * 130 * t) +
                     8000 * std::sin(2 * std::numbers::pi * 7000 * t) - 3000 * hiss));
    }
    return v;
}

// The parts of one block: every front up to `ahead` chunks before its back and every input
// up to `ahead` chunks before its front, each chunk with its own handoff.
void run_halves(Processor& p, int32_t sample_count, const int16_t* in, int16_t* out, int ahead,
                std::vector<ChunkHandoff>& slots) {
    ChainBlock block;
    const int32_t chunks = begin_chain_block(p, sample_count, in, out, block);
    int32_t inputs = 0;
    int32_t fronts = 0;
    for (int32_t c = 0; c < chunks; ++c) {
        while (fronts < chunks && fronts <= c + ahead) {
            while (inputs < chunks && inputs <= std::min(fronts + ahead, c + ahead)) {
                run_chain_input(p, block, inputs, slots[inputs % slots.size()]);
                ++inputs;
            }
            run_chain_front(p, block, fronts, slots[fronts % slots.size()]);
            ++fronts;
        }
        run_chain_back(p, block, c, slots[c % slots.size()]);
    }
    if (chunks > 0) {
        end_chain_block(p, block);
    }
}

void expect_same_state(const Processor& a, const Processor& b, const std::string& where) {
    const MeterSnapshot& m = a.state.meters;
    const MeterSnapshot& n = b.state.meters;
    EXPECT_EQ(m.input_peak_l, n.input_peak_l) << where;
    EXPECT_EQ(m.input_peak_r, n.input_peak_r) << where;
    EXPECT_EQ(m.output_peak_l, n.output_peak_l) << where;
    EXPECT_EQ(m.output_peak_r, n.output_peak_r) << where;
    EXPECT_EQ(m.agc_gain_lo, n.agc_gain_lo) << where;
    EXPECT_EQ(m.agc_gain_hi, n.agc_gain_hi) << where;
    EXPECT_EQ(m.hf_gain_reduction_l, n.hf_gain_reduction_l) << where;
    EXPECT_EQ(m.hf_gain_reduction_r, n.hf_gain_reduction_r) << where;
    EXPECT_EQ(m.enhancer_peak, n.enhancer_peak) << where;
    EXPECT_EQ(m.hf_limit_peak, n.hf_limit_peak) << where;
    EXPECT_EQ(m.band_gain_reduction_peak, n.band_gain_reduction_peak) << where;
    EXPECT_EQ(m.band_clip_flag, n.band_clip_flag) << where;
    EXPECT_EQ(m.gate_indicator, n.gate_indicator) << where;
    EXPECT_EQ(m.clip_flag_l, n.clip_flag_l) << where;
    EXPECT_EQ(m.clip_flag_r, n.clip_flag_r) << where;
    for (int k = 0; k < BAND_COUNT; ++k) {
        const ProcessorBand& x = a.params.bands[k];
        const ProcessorBand& y = b.params.bands[k];
        EXPECT_EQ(x.gain_reduction, y.gain_reduction) << where << " band " << k + 1;
        EXPECT_EQ(x.delayed_gain_reduction, y.delayed_gain_reduction) << where;
        EXPECT_EQ(x.in_l, y.in_l) << where << " band " << k + 1;
        EXPECT_EQ(x.out_r, y.out_r) << where << " band " << k + 1;
        EXPECT_EQ(x.sidechain_l, y.sidechain_l) << where << " band " << k + 1;
        EXPECT_EQ(x.gate_gain, y.gate_gain) << where << " band " << k + 1;
    }
    EXPECT_EQ(a.params.settings.agc_gain_lo, b.params.settings.agc_gain_lo) << where;
    EXPECT_EQ(a.params.settings.hf_state_r, b.params.settings.hf_state_r) << where;
}

struct Case {
    int preset;
    void (*tweak)(ProcessorParams&);
    const char* what;
};

TEST(ChainHalves, FrontsAheadOfTheirBacksGiveProcessBlocksBytesMetersAndState) {
    const Case cases[] = {
        {232, nullptr, "preset 232"},
        {339,
         [](ProcessorParams& q) {
             q.switches.noise_gate = 1;
             q.switches.virtual_room = 1;
             q.settings.stereo_type = 4.0;
             q.final_lpf = 2.0;
             q.settings.preemphasis = 1.0;
             q.switches.deemphasis = 1;
         },
         "gates, room, FIR, emphasis"},
        {335,
         [](ProcessorParams& q) {
             q.settings.final_clip_type = 1.0;
             q.settings.band_clip_knee = 0.0;
             q.normalisation_gain = 4.0;
         },
         "hard final clipper, soft band clip, gain 4"},
        {341, [](ProcessorParams& q) { q.switches.bypass = 1; }, "bypass"},
    };
    // Blocks of whole and part chunks, one frame and none.
    constexpr int BLOCKS[] = {16384, 1001, 1, 0, 256, 4099, 8192};
    const std::vector<int16_t> in = program(40000);
    for (const Case& k : cases) {
        for (bool sse2 : {false, true}) {
            for (int ahead : {1, 1000}) {
                auto one = ready(k.preset, k.tweak);
                auto two = ready(k.preset, k.tweak);
                if (sse2) {
                    one->state.avx_loops = two->state.avx_loops = false;
                }
                std::vector<ChunkHandoff> slots(static_cast<size_t>(std::min(ahead + 1, 80)));
                std::vector<int16_t> want(in.size()), got(in.size());
                size_t at = 0;
                for (int n = 0; at < in.size(); ++n) {
                    const int frames = std::min<int>(BLOCKS[n % std::size(BLOCKS)],
                                                     static_cast<int>((in.size() - at) / 2));
                    process_block(*one, 2 * frames, &in[at], &want[at]);
                    run_halves(*two, 2 * frames, &in[at], &got[at], ahead, slots);
                    const std::string where = std::string(k.what) + (sse2 ? " (SSE2)" : "") +
                                              ", fronts ahead " + std::to_string(ahead) +
                                              ", block " + std::to_string(n);
                    expect_same_state(*one, *two, where);
                    at += 2 * static_cast<size_t>(frames);
                }
                ASSERT_EQ(got, want) << k.what << " fronts ahead " << ahead;
            }
        }
    }
}

}  // namespace
}  // namespace zv
