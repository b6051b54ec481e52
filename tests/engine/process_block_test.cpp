// The block processor: its entry conditions, bypass and dither, the listening test, the HF
// stage switch, the AGC clamp, the final low-pass choice, the output limits, the block's
// meters and the chain's latency.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/processor.h"

namespace zv {
namespace {

std::unique_ptr<Processor> ready(int preset = 232, int rate = 44100) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, preset);
    change_sample_rate(*p, rate);
    reset_processor_state(*p);
    return p;
}

std::vector<int16_t> stereo_tone(int frames, double freq_l, double amp_l, double freq_r,
                                 double amp_r, int rate = 44100) {
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        double t = static_cast<double>(n) / rate;
        v[2 * n] = static_cast<int16_t>(amp_l * std::sin(2.0 * std::numbers::pi * freq_l * t));
        v[2 * n + 1] = static_cast<int16_t>(amp_r * std::sin(2.0 * std::numbers::pi * freq_r * t));
    }
    return v;
}

std::vector<int16_t> run(Processor& p, const std::vector<int16_t>& in, int block = 8192) {
    std::vector<int16_t> out(in.size());
    for (size_t off = 0; off < in.size(); off += block) {
        int count = static_cast<int>(std::min<size_t>(block, in.size() - off));
        process_block(p, count, &in[off], &out[off]);
    }
    return out;
}

double rms(const std::vector<int16_t>& v, int channel, size_t from = 0) {
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = 2 * from + channel; i < v.size(); i += 2, ++n) {
        sum += static_cast<double>(v[i]) * v[i];
    }
    return n == 0 ? 0.0 : std::sqrt(sum / n);
}

TEST(ProcessBlock, LessThanOneFrameLeavesTheOutputUntouched) {
    auto p = ready();
    const int16_t in[4] = {1000, -1000, 2000, -2000};
    for (int count : {1, 0, -6}) {
        int16_t out[4] = {111, 222, 333, 444};
        process_block(*p, count, in, out);
        EXPECT_EQ(out[0], 111);
        EXPECT_EQ(out[1], 222);
        EXPECT_EQ(out[2], 333);
        EXPECT_EQ(out[3], 444);
    }
    // No dither was drawn: the stream starts exactly as after the reset.
    auto fresh = ready();
    std::vector<int16_t> tone = stereo_tone(4096, 440, 8000, 440, 8000);
    EXPECT_EQ(run(*p, tone), run(*fresh, tone));
}

TEST(ProcessBlock, AnOddCountProcessesWholeFramesOnly) {
    auto p = ready();
    const int16_t in[4] = {1000, -1000, 2000, -2000};
    int16_t out[4] = {0, 0, 7, 7};
    process_block(*p, 3, in, out);
    EXPECT_EQ(out[2], 7);
    EXPECT_EQ(out[3], 7);
}

// Bypass writes trunc(input + d), d = (rand() % 256) / 256 / 32 from the C-runtime generator
// starting at 1, one draw per frame, with no +-32760 limit.
TEST(ProcessBlock, BypassWritesTheDitheredInputTruncated) {
    auto p = ready();
    p->params.switches.bypass = 1;
    p->params.test_channels = 0.0;  // the listening test does not act under bypass
    std::vector<int16_t> in;
    const int16_t values[] = {32767, -32768, -1, 0, 1, -100, 100, 32760, -32761, 5};
    for (int n = 0; n < 4000; ++n) {
        in.push_back(values[n % 10]);
        in.push_back(values[(n + 3) % 10]);
    }
    std::vector<int16_t> out = run(*p, in, 1000);
    uint32_t state = 1;
    int moved_toward_zero = 0;
    for (size_t f = 0; f < in.size() / 2; ++f) {
        state = state * 214013u + 2531011u;
        double d = static_cast<double>((state >> 16) & 0x7FFF) / 1.0;
        d = static_cast<int>(d) % 256 / 256.0 / 32.0;
        for (int c = 0; c < 2; ++c) {
            int16_t expect = static_cast<int16_t>(std::trunc(in[2 * f + c] + d));
            ASSERT_EQ(out[2 * f + c], expect) << f;
            if (in[2 * f + c] < 0 && out[2 * f + c] != in[2 * f + c]) {
                ++moved_toward_zero;
            }
        }
    }
    EXPECT_GT(moved_toward_zero, 0);  // a negative sample steps toward zero when d > 0
    EXPECT_EQ(out[0], 32767);         // the top value is not limited to 32760
}

TEST(ProcessBlock, ResetRestartsTheDither) {
    auto p = ready();
    p->params.switches.bypass = 1;
    std::vector<int16_t> in(2000, -7);
    std::vector<int16_t> first = run(*p, in);
    reset_processor_state(*p);
    EXPECT_EQ(run(*p, in), first);
}

TEST(ProcessBlock, ListeningTestSilencesAChannelOnlyWithBypassOff) {
    const int frames = 44100;
    // Left silent, right loud: "L<" keeps only the left, so nothing reaches either output.
    std::vector<int16_t> right_only = stereo_tone(frames, 440, 0, 440, 12000);
    std::vector<int16_t> left_only = stereo_tone(frames, 440, 12000, 440, 0);
    struct Case {
        double channels;
        const std::vector<int16_t>* input;
        bool silent;
    };
    for (Case k :
         {Case{0.0, &right_only, true}, Case{2.0, &left_only, true}, Case{1.0, &right_only, false},
          Case{0.0, &left_only, false}, Case{0.9, &right_only, true}}) {
        auto p = ready();
        p->params.test_channels = k.channels;
        std::vector<int16_t> out = run(*p, *k.input);
        double level = rms(out, 0, frames / 2) + rms(out, 1, frames / 2);
        if (k.silent) {
            EXPECT_LT(level, 5.0) << k.channels;
        } else {
            EXPECT_GT(level, 1000.0) << k.channels;
        }
        // Under bypass the same setting leaves the input alone.
        auto b = ready();
        b->params.test_channels = k.channels;
        b->params.switches.bypass = 1;
        EXPECT_GT(rms(run(*b, *k.input), 0) + rms(run(*b, *k.input), 1), 1000.0);
    }
}

TEST(ProcessBlock, WithoutPreemphasisTheHfReductionsReadZero) {
    std::vector<int16_t> hiss = stereo_tone(44100, 9000, 20000, 11000, 20000);
    auto p = ready(343);  // HF limiter at -32 dB, 24 dB drive
    run(*p, hiss);
    EXPECT_GT(p->params.settings.hf_gain_reduction_l, 0.0);
    EXPECT_GT(p->state.meters.hf_limit_peak, 0.0);
    EXPECT_EQ(p->state.meters.hf_gain_reduction_l, p->params.settings.hf_gain_reduction_l);

    auto q = ready(343);
    q->params.settings.preemphasis = 0.0;
    q->params.settings.hf_gain_reduction_l = 55.0;
    q->params.settings.hf_gain_reduction_r = 66.0;
    std::vector<int16_t> a = run(*q, hiss);
    EXPECT_EQ(q->params.settings.hf_gain_reduction_l, 0.0);
    EXPECT_EQ(q->params.settings.hf_gain_reduction_r, 0.0);
    EXPECT_EQ(q->state.meters.hf_limit_peak, 0.0);
    EXPECT_EQ(q->state.meters.hf_gain_reduction_r, 0.0);
    // ...and the HF knobs have no effect.
    auto r = ready(343);
    r->params.settings.preemphasis = 0.0;
    r->params.settings.hf_threshold_db = 0.0;
    r->params.settings.hf_drive_db = 0.0;
    EXPECT_EQ(run(*r, hiss), a);
}

// Above about -3 dB the AGC threshold exceeds 23169: the ceiling is negative and the clamp
// (lower bound first) holds each gain state at the ceiling.
TEST(ProcessBlock, NegativeAgcCeilingHoldsTheStateAtTheCeiling) {
    for (double threshold_db : {0.0, -1.5}) {
        auto p = ready();
        p->params.settings.agc_threshold_db = threshold_db;
        std::vector<int16_t> out = run(*p, stereo_tone(8192, 100, 3000, 3000, 3000));
        double t = 32767.0 * std::pow(10.0, threshold_db / 20.0);
        double ceiling = 23169.0 - t;
        ASSERT_LT(ceiling, 0.0);
        EXPECT_EQ(p->params.settings.agc_gain_lo, ceiling);
        EXPECT_EQ(p->params.settings.agc_gain_hi, ceiling);
    }
    auto p = ready();
    p->params.settings.agc_threshold_db = -36.0;
    run(*p, stereo_tone(44100, 100, 20000, 3000, 20000));
    double ceiling = 23169.0 - 32767.0 * std::pow(10.0, -36.0 / 20.0);
    EXPECT_GT(p->params.settings.agc_gain_lo, 0.0);
    EXPECT_LE(p->params.settings.agc_gain_lo, ceiling);
}

// final_lpf 1 and 2 sound through the FIR slot, every other value through the IIR slot: the
// slot not in use can be emptied without changing a byte.
TEST(ProcessBlock, FinalLowPassChoiceSelectsFirOrIir) {
    std::vector<int16_t> in = stereo_tone(20000, 3000, 9000, 12500, 9000);
    for (double choice : {0.0, 1.0, 2.0, 2.7, 3.0, 6.0, 9.0, -1.0}) {
        auto p = ready();
        p->params.final_lpf = choice;
        apply_final_lpf(*p);
        std::vector<int16_t> reference = run(*p, in);

        bool fir = choice >= 1.0 && choice < 3.0;
        auto q = ready();
        q->params.final_lpf = choice;
        apply_final_lpf(*q);
        if (fir) {
            install(q->state.final_iir, FifthOrderCoeffs{});
        } else {
            install(q->state.final_fir, Fir23Coeffs{});
        }
        EXPECT_EQ(run(*q, in), reference) << choice;

        auto r = ready();
        r->params.final_lpf = choice;
        apply_final_lpf(*r);
        if (fir) {
            install(r->state.final_fir, Fir23Coeffs{});
        } else {
            install(r->state.final_iir, FifthOrderCoeffs{});
        }
        EXPECT_NE(run(*r, in), reference) << choice;
    }
}

TEST(ProcessBlock, OutputStaysInsideTheLimitAndLightsTheLamps) {
    auto p = ready(334);
    p->params.settings.overshoot_threshold_db = 6.0;
    p->params.settings.final_clip_threshold_db = 0.0;
    p->params.settings.final_clip_type = 1.0;
    p->params.normalisation_gain = 16.0;
    for (ProcessorBand& band : p->params.bands) {
        band.out_mix_db = 3.0;
        band.clip_threshold_db = 6.0;
    }
    std::vector<int16_t> in = stereo_tone(44100, 200, 32767, 2500, 32767);
    std::vector<int16_t> out(in.size());
    MeterSnapshot any;  // what a display holding every block's meters would have seen
    for (size_t off = 0; off < in.size(); off += 8192) {
        int count = static_cast<int>(std::min<size_t>(8192, in.size() - off));
        process_block(*p, count, &in[off], &out[off]);
        const MeterSnapshot& m = p->state.meters;
        any.clip_flag_l |= m.clip_flag_l;
        any.clip_flag_r |= m.clip_flag_r;
        any.output_peak_l = std::max(any.output_peak_l, m.output_peak_l);
        any.input_peak_l = std::max(any.input_peak_l, m.input_peak_l);
    }
    for (int16_t v : out) {
        ASSERT_LE(std::abs(static_cast<int>(v)), 32760);
    }
    EXPECT_EQ(any.clip_flag_l, 1);
    EXPECT_EQ(any.clip_flag_r, 1);
    EXPECT_GT(any.output_peak_l, 32020.0);
    EXPECT_GT(any.input_peak_l, 30000.0);
}

TEST(ProcessBlock, SilenceInGivesSilenceOut) {
    for (int preset : {232, 343, 335, 334}) {
        for (int rate : {32000, 44100, 48000}) {
            auto p = ready(preset, rate);
            p->params.switches.virtual_room = 1;
            std::vector<int16_t> out = run(*p, std::vector<int16_t>(2 * rate, 0));
            for (int16_t v : out) {
                // Only the dither (below 1/32 of a step) moves the chain.
                ASSERT_LE(std::abs(static_cast<int>(v)), 1) << preset << " " << rate;
            }
        }
    }
}

TEST(ProcessBlock, NormalisationGainIsClampedPerBlock) {
    auto p = ready();
    int16_t in[2] = {0, 0}, out[2];
    for (auto [given, kept] : {std::pair{0.2, 1.0}, std::pair{40.0, 16.0},
                               std::pair{std::nan(""), 1.0}, std::pair{3.0, 3.0}}) {
        p->params.normalisation_gain = given;
        process_block(*p, 2, in, out);
        EXPECT_EQ(p->params.normalisation_gain, kept) << given;
    }
}

TEST(ProcessBlock, ABassEqDesignWithoutRateOrQPassesTheSignal) {
    auto p = ready();
    p->params.bass_eq_q = 0.0;
    design_bass_eq(*p);
    std::vector<int16_t> out = run(*p, stereo_tone(8192, 60, 10000, 60, 10000));
    EXPECT_GT(rms(out, 0, 2048), 100.0);
    EXPECT_EQ(lane_l(p->state.bass_eq.b0), 1.0);
}

// Designs whose poles leave the unit circle would ring to full scale; every such design (finite
// or not) becomes the pass-through section, and every design the panel can make is kept.
TEST(ProcessBlock, AnUnstableBassEqDesignPassesTheSignal) {
    struct Design {
        double gain, freq, rate, q;
    };
    const Design unstable[] = {{6, 60, 44100, -1.0},  {6, 30000, 44100, 1.4},
                               {12, 60, 44100, -0.2}, {6, 60, -44100, 1.4},
                               {6, 60, 0.0, 1.4},     {1e308, 60, 44100, 1.4}};
    for (const Design& d : unstable) {
        auto p = ready();
        p->params.bass_eq_gain_db = d.gain;
        p->params.bass_eq_freq_hz = d.freq;
        p->params.bass_eq_rate_hz = d.rate;
        p->params.bass_eq_q = d.q;
        design_bass_eq(*p);
        EXPECT_EQ(lane_l(p->state.bass_eq.b0), 1.0) << d.freq << " " << d.q;
        EXPECT_EQ(lane_l(p->state.bass_eq.a1), 0.0) << d.freq << " " << d.q;
        std::vector<int16_t> out = run(*p, stereo_tone(16384, 60, 10000, 60, 10000));
        EXPECT_LT(rms(out, 0, 8192), 20000.0) << d.freq << " " << d.q;
    }
    for (double gain : {0.0, 12.0}) {
        for (double freq : {50.0, 150.0}) {
            for (double q : {0.2, 2.0}) {
                for (int rate : {32000, 44100, 48000}) {
                    auto p = ready(232, rate);
                    p->params.bass_eq_gain_db = gain;
                    p->params.bass_eq_freq_hz = freq;
                    p->params.bass_eq_q = q;
                    design_bass_eq(*p);
                    EXPECT_NE(lane_l(p->state.bass_eq.a1), 0.0) << gain << freq << q << rate;
                }
            }
        }
    }
}

// Each block's meters start from nothing, so a quiet block after a loud one reads quiet, and
// the parameter record's old meter slots stay untouched.
TEST(ProcessBlock, MetersCoverOneBlockAndLeaveTheParametersAlone) {
    auto p = ready(334);
    p->params.settings.overshoot_threshold_db = 6.0;
    p->params.settings.final_clip_threshold_db = 0.0;
    p->params.settings.final_clip_type = 1.0;
    p->params.normalisation_gain = 16.0;
    for (ProcessorBand& band : p->params.bands) {
        band.out_mix_db = 3.0;
        band.clip_threshold_db = 6.0;
    }
    p->params.bands[0].clip_threshold_db = -24.0;
    const ProcessorParams before = p->params;
    std::vector<int16_t> loud = stereo_tone(3 * 4096, 200, 32767, 2500, 32767);
    std::vector<int16_t> out(loud.size());
    run(*p, loud);
    const MeterSnapshot m = p->state.meters;  // of the third block
    EXPECT_GT(m.input_peak_l, 30000.0);
    EXPECT_GT(m.output_peak_l, 20000.0);
    EXPECT_EQ(m.clip_flag_l | m.clip_flag_r, 1);
    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_GT(m.band_gain_reduction_peak[b], 0.0) << b;
        EXPECT_EQ(m.gate_indicator[b], 3) << b;  // gate off
    }
    EXPECT_EQ(m.band_clip_flag[0], 1);
    EXPECT_GT(m.agc_gain_lo, 0.0);
    EXPECT_EQ(m.agc_gain_lo, p->params.settings.agc_gain_lo);

    // The bands hold the loud song for 898 frames; the second quiet block is quiet throughout.
    std::vector<int16_t> quiet(2 * 4096, 0);
    run(*p, quiet);
    run(*p, quiet);
    const MeterSnapshot q = p->state.meters;
    EXPECT_LT(q.input_peak_l, m.input_peak_l / 2);
    EXPECT_LT(q.output_peak_l, m.output_peak_l / 2);
    EXPECT_EQ(q.clip_flag_l | q.clip_flag_r, 0);
    EXPECT_EQ(q.band_clip_flag, (std::array<int32_t, BAND_COUNT>{}));
    EXPECT_EQ(q.agc_gain_lo, p->params.settings.agc_gain_lo);  // the state carries on

    // A block without frames has no peaks.
    process_block(*p, 1, quiet.data(), out.data());
    EXPECT_EQ(p->state.meters.input_peak_l, 0.0);
    EXPECT_EQ(p->state.meters.band_gain_reduction_peak[0], 0.0);

    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_EQ(p->params.bands[b].gain_reduction_peak, before.bands[b].gain_reduction_peak);
        EXPECT_EQ(p->params.bands[b].clip_flag, before.bands[b].clip_flag);
        EXPECT_EQ(p->params.bands[b].gate_indicator, before.bands[b].gate_indicator);
    }
    const ProcessorSettings& st = p->params.settings;
    EXPECT_EQ(st.input_peak_l, 0.0);
    EXPECT_EQ(st.output_peak_r, 0.0);
    EXPECT_EQ(st.enhancer_peak, 0.0);
    EXPECT_EQ(st.hf_limit_peak, 0.0);
    EXPECT_EQ(p->params.clip_flag_l, 0);

    reset_processor_state(*p);
    EXPECT_EQ(p->state.meters.agc_gain_lo, 0.0);
    EXPECT_EQ(p->state.meters.gate_indicator[0], 0);
}

TEST(ChainLatency, IsTheBandDelayPlusTheChainsExtrasAndNothingInBypass) {
    ProcessorParams p;
    p.settings.preemphasis = 0;
    p.settings.final_clip_type = 1;
    p.final_lpf = 0;
    EXPECT_EQ(chain_latency_frames(p), 893);
    p.bands[0].lookahead_len = 110;  // the release setting does not move the bands' delay
    EXPECT_EQ(chain_latency_frames(p), 893);
    p.settings.preemphasis = 2;
    p.settings.final_clip_type = 0;
    p.final_lpf = 1;
    EXPECT_EQ(chain_latency_frames(p), 893 + 66 + 3 + 12);
    p.final_lpf = 2.9;
    EXPECT_EQ(chain_latency_frames(p), 893 + 66 + 3 + 12);
    p.final_lpf = 3;
    EXPECT_EQ(chain_latency_frames(p), 893 + 66 + 3);
    p.switches.bypass = 1;
    EXPECT_EQ(chain_latency_frames(p), 0);
    // Values no choice holds read as the chain reads them: neither emphasis nor a FIR, and a
    // clipper type other than 0 (hard).
    p.switches.bypass = 0;
    p.settings.preemphasis = 1e308;
    p.settings.final_clip_type = -1e308;
    p.final_lpf = std::nan("");
    EXPECT_EQ(chain_latency_frames(p), 893);
}

TEST(ProcessBlock, FlushToZeroTakesEffectOnTheCallingThread) {
    EXPECT_TRUE(enable_flush_denormals());
    volatile double smallest = 2.2250738585072014e-308;  // the smallest normal double
    EXPECT_EQ(smallest / 4.0, 0.0);
}

}  // namespace
}  // namespace zv
