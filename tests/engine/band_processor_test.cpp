// The six bands, driven frame by frame: gates, the fixed 898-frame latency, band 1's attack
// delay and the side-chain couplings of bands 5 and 6.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/band_processor.h"
#include "engine/coefficient_sets.h"
#include "engine/processor.h"

namespace zv {
namespace {

constexpr int BAND_LATENCY = 898;

// A started processor whose bands are fed directly, frame by frame.
struct BandRig {
    std::unique_ptr<Processor> p = make_processor();
    BandBlockFactors factors;

    explicit BandRig(int rate = 44100) {
        enable_flush_denormals();
        processor_startup(*p);
        change_sample_rate(*p, rate);
        reset_processor_state(*p);
    }
    ProcessorBand& band(int b) { return p->params.bands[b]; }
    MeterSnapshot& meters() { return p->state.meters; }
    void begin() {
        apply_release_setting(*p);
        factors = prepare_bands(p->params);
        begin_bands(p->params, p->state, factors);
    }
    Pair frame(double l, double r) { return run_bands(p->params, p->state, factors, pair(l, r)); }
    void end() { end_bands(p->params, p->state, factors); }
    // Per-frame samples live in the block state until the block ends.
    double out_l(int b) const { return lane_l(p->state.back.band_out[b]); }
    double gain_reduction(int b) const {
        const GainLane lane = GAIN_LANE_OF_BAND[b];
        return p->state.band_block.gain_reduction[lane.quad].v[lane.lane];
    }
    double sidechain_l(int b) const { return p->state.band_block.sidechain[b / 2].v[2 * (b % 2)]; }
};

double tone(double freq, int n, int rate) {
    return std::sin(2.0 * std::numbers::pi * freq * n / rate);
}

TEST(Bands, WithTheGateOffEveryBandPassesAtGainOneAndShowsFullIndicator) {
    BandRig rig;
    for (int b = 0; b < BAND_COUNT; ++b) {
        rig.band(b).gate_gain = 0.25;
        rig.meters().gate_indicator[b] = 0;
    }
    rig.p->params.switches.noise_gate = 0;
    rig.begin();
    for (int n = 0; n < 100; ++n) {
        rig.frame(0.0, 0.0);  // silence would close any gate
    }
    rig.end();
    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_EQ(rig.band(b).gate_gain, 1.0) << b;
        EXPECT_EQ(rig.meters().gate_indicator[b], 3) << b;
    }
}

TEST(Bands, AGateClosesInSilenceAndOpensForItsOwnBand) {
    BandRig rig;
    rig.p->params.switches.noise_gate = 1;
    rig.begin();
    for (int n = 0; n < 44100; ++n) {
        rig.frame(0.0, 0.0);
    }
    rig.end();  // gate gains and lamps are written at the end of a block
    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_EQ(rig.band(b).gate_gain, 0.0) << b;
        EXPECT_EQ(rig.meters().gate_indicator[b], 0) << b;
    }
    // A loud 100 Hz tone opens band 1's gate fully and leaves band 6's shut.
    rig.begin();
    for (int n = 0; n < 44100; ++n) {
        double v = 20000.0 * tone(100.0, n, 44100);
        rig.frame(v, v);
    }
    rig.end();
    EXPECT_EQ(rig.band(0).gate_gain, 1.0);
    EXPECT_EQ(rig.meters().gate_indicator[0], 3);
    EXPECT_LT(rig.band(5).gate_gain, 0.25);
}

// Below threshold every band is exactly 898 frames late, whatever the release setting splits
// between its audio and output lines; band 2 (no clipper, no post filter) passes its filtered
// signal times N times mix to the bit.
TEST(Bands, BelowThresholdEachBandIsExactly898FramesLate) {
    for (int release = 1; release <= 5; ++release) {
        BandRig rig;
        ProcessorParams& q = rig.p->params;
        q.settings.mb_release = release;
        q.normalisation_gain = 2.5;
        for (int b = 0; b < BAND_COUNT; ++b) {
            q.bands[b].vca_threshold_db = 0.0;   // side chain never reaches it
            q.bands[b].clip_threshold_db = 6.0;  // nor the clipper
        }
        rig.begin();
        const RateCoefficientSet& c = rate_coefficients(44100);
        StereoBiquad split;
        install(split, c.presplit_lp_425);
        StereoThirdOrder band2;
        install(band2, c.band2_hp_150);

        const int frames = 2000;
        std::vector<double> expect_band2(frames + BAND_LATENCY, 0.0);
        std::vector<int> first_nonzero(BAND_COUNT, -1);
        for (int n = 0; n < frames + BAND_LATENCY; ++n) {
            double x = n == 0 ? 1000.0 : (n < frames ? 50.0 * tone(300.0, n, 44100) : 0.0);
            Pair xf = step(band2, step(split, splat(x)) * splat(rig.factors.band[1].g));
            if (n + BAND_LATENCY < static_cast<int>(expect_band2.size())) {
                expect_band2[n + BAND_LATENCY] =
                    lane_l(xf * splat(rig.factors.normalisation)) * rig.factors.band[1].mix;
            }
            rig.frame(x, x);
            for (int b = 0; b < BAND_COUNT; ++b) {
                if (first_nonzero[b] < 0 && rig.out_l(b) != 0.0) {
                    first_nonzero[b] = n;
                }
            }
            ASSERT_EQ(rig.out_l(1), expect_band2[n]) << "release " << release << " " << n;
        }
        rig.end();
        for (int b = 0; b < BAND_COUNT; ++b) {
            EXPECT_EQ(first_nonzero[b], BAND_LATENCY) << "band " << b + 1;
            EXPECT_EQ(rig.band(b).gain_reduction, 0.0) << "band " << b + 1;
        }
    }
}

// Band 1's gain stage uses the gain reduction of A - 1 frames earlier, A = trunc(ms * 44.1)
// within 1..4799 at every rate.
TEST(Bands, BassAttackDelaysBandOnesGainReduction) {
    struct Case {
        double ms;
        int rate;
        int len;
    };
    for (Case k : {Case{0.0, 44100, 1}, Case{100.0, 44100, 4410}, Case{100.0, 48000, 4410},
                   Case{100.0, 32000, 4410}, Case{40.0, 44100, 1764}}) {
        BandRig rig(k.rate);
        ProcessorParams& q = rig.p->params;
        q.bands[0].bass_attack_ms = k.ms;
        q.bands[0].vca_threshold_db = -30.0;
        rig.begin();
        EXPECT_EQ(rig.factors.bass_attack_len, k.len);
        std::vector<double> before;
        const int frames = 9000;
        for (int n = 0; n < frames; ++n) {
            before.push_back(rig.gain_reduction(0));
            double v = 20000.0 * tone(80.0, n, k.rate) * (n < 3000 ? 1.0 : 0.2);
            rig.frame(v, v);
            int lag = k.len - 1;
            double expect = n >= lag ? before[n - lag] : 0.0;
            ASSERT_EQ(rig.band(0).delayed_gain_reduction, expect) << k.ms << " " << n;
        }
        rig.end();
        EXPECT_GT(rig.meters().band_gain_reduction_peak[0], 1000.0);
    }
}

// Band `listener` hears band `source`'s side chain: the same input makes it reduce gain only
// while `source` is driven hard, and less with pre-emphasis on (0.21 / 0.707 couplings).
double coupled_reduction(int source, int listener, double freq, double source_gain_db,
                         double preemphasis) {
    BandRig rig;
    ProcessorParams& q = rig.p->params;
    q.settings.preemphasis = preemphasis;
    for (int b = 0; b < BAND_COUNT; ++b) {
        q.bands[b].gain_db = 0.0;
        q.bands[b].vca_threshold_db = 0.0;
        q.bands[b].limiter_drive_db = 0.0;
    }
    q.bands[source].gain_db = source_gain_db;
    q.bands[listener].vca_threshold_db = -20.0;
    rig.begin();
    double own_peak = 0.0;
    for (int n = 0; n < 22050; ++n) {
        double v = 3000.0 * tone(freq, n, 44100);
        rig.frame(v, v);
        own_peak = std::max(own_peak, std::abs(rig.sidechain_l(listener)));
    }
    rig.end();
    // Its own band stays well below its threshold throughout.
    EXPECT_LT(own_peak, 0.5 * rig.factors.band[listener].t_vca);
    return rig.meters().band_gain_reduction_peak[listener];
}

TEST(Bands, BandFiveReactsToBandFour) {
    EXPECT_EQ(coupled_reduction(3, 4, 1600.0, 0.0, 0.0), 0.0);
    double plain = coupled_reduction(3, 4, 1600.0, 24.0, 0.0);
    double emphasised = coupled_reduction(3, 4, 1600.0, 24.0, 1.0);
    EXPECT_GT(plain, 500.0);
    EXPECT_GT(emphasised, 0.0);
    EXPECT_LT(emphasised, plain);
}

TEST(Bands, BandSixReactsToBandFive) {
    EXPECT_EQ(coupled_reduction(4, 5, 3200.0, 0.0, 0.0), 0.0);
    double plain = coupled_reduction(4, 5, 3200.0, 24.0, 0.0);
    double emphasised = coupled_reduction(4, 5, 3200.0, 24.0, 2.0);
    EXPECT_GT(plain, 500.0);
    EXPECT_GT(emphasised, 0.0);
    EXPECT_LT(emphasised, plain);
}

TEST(Bands, GainReductionStopsAt31743) {
    BandRig rig;
    ProcessorParams& q = rig.p->params;
    for (int b = 0; b < BAND_COUNT; ++b) {
        q.bands[b].vca_threshold_db = -32.0;
        q.bands[b].limiter_drive_db = 24.0;
        q.bands[b].gain_db = 24.0;
    }
    rig.begin();
    for (int n = 0; n < 44100; ++n) {
        double v = 30000.0 * (tone(100.0, n, 44100) + tone(5000.0, n, 44100)) / 2;
        rig.frame(v, -v);
    }
    rig.end();
    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_LE(rig.meters().band_gain_reduction_peak[b], 31743.0) << b;
        EXPECT_GT(rig.meters().band_gain_reduction_peak[b], 25000.0) << b;
    }
    EXPECT_EQ(rig.meters().band_gain_reduction_peak[0], 31743.0);
}

TEST(Bands, ClipKneeChoosesTheSlope) {
    EXPECT_EQ(band_clip_slope(0.0), 0.125);
    EXPECT_EQ(band_clip_slope(0.49), 0.125);
    EXPECT_EQ(band_clip_slope(0.5), 0.0625);
    EXPECT_EQ(band_clip_slope(1.49), 0.0625);
    EXPECT_EQ(band_clip_slope(1.5), 0.0);
    EXPECT_EQ(band_clip_slope(2.0), 0.0);
}

}  // namespace
}  // namespace zv
