#include "engine/coefficient_sets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/butterworth.h"
#include "tests/engine/filter_response.h"

namespace zv {
namespace {

using test::gain_db;

constexpr double HALF_POWER_DB = -3.0103;
constexpr int RATES[] = {48000, 44100, 32000};

// Where a rate carries another rate's numbers, the corner moves by rate / design_rate.
double design_rate(int rate, int carried_from) {
    return carried_from != 0 ? carried_from : rate;
}

// Ideal bilinear Butterworth magnitude: the analogue response at the prewarped frequency.
double ideal_butterworth_db(bool highpass, int order, double fc, double f, double rate) {
    const double ratio =
        std::tan(std::numbers::pi * f / rate) / std::tan(std::numbers::pi * fc / rate);
    const double x = highpass ? 1.0 / ratio : ratio;
    return -10.0 * std::log10(1.0 + std::pow(x, 2 * order));
}

struct FirstOrderCase {
    std::string name;
    const FirstOrderCoeffs* section;
    double fc;
    bool highpass;
    int carried_from;  // 0: designed at the set's own rate
};

std::vector<FirstOrderCase> first_order_cases(const RateCoefficientSet& s) {
    const int r = s.rate;
    const int upper_from = r == 32000 ? 44100 : 0;
    const int deemph_from = r == 48000 ? 44100 : 0;
    std::vector<FirstOrderCase> cases = {
        {"input_hp", &s.input_hp, 10, true, 0},
        {"enhancer_side_lp", &s.enhancer_side_lp, 4000, false, 0},
        {"enhancer_detector_lp", &s.enhancer_detector_lp, 4, false, 0},
        {"enhancer_transient_hp", &s.enhancer_transient_hp, r == 44100 ? 0.1 : 0.25, true, 0},
        {"agc_split_lp", &s.agc_split_lp, 200, false, 0},
        {"agc_split_hp", &s.agc_split_hp, 200, true, 0},
        {"agc_slow_lp", &s.agc_slow_lp, 0.1, false, 0},
        {"agc_speed_lp[0]", &s.agc_speed_lp[0], 0.0125, false, 0},
        {"agc_speed_lp[1]", &s.agc_speed_lp[1], 0.025, false, 0},
        {"agc_speed_lp[2]", &s.agc_speed_lp[2], 0.05, false, 0},
        {"agc_speed_lp[3]", &s.agc_speed_lp[3], 0.1, false, 0},
        {"hf_hp", &s.hf_hp, 12000, true, 0},
        {"hf_gr_lp", &s.hf_gr_lp, 32, false, 0},
        {"clip_lp_2k", &s.clip_lp_2k, 2000, false, 0},
        {"post_lp_150", &s.post_lp_150, 150, false, 0},
        {"post_lp_425", &s.post_lp_425, 425, false, 0},
        {"band_hp_1100", &s.band_hp_1100, 1100, true, upper_from},
        {"band_hp_2400", &s.band_hp_2400, 2400, true, upper_from},
        {"band_hp_5900", &s.band_hp_5900, 5900, true, upper_from},
        {"band_lp_1100", &s.band_lp_1100, 1100, false, upper_from},
        {"band_lp_2400", &s.band_lp_2400, 2400, false, upper_from},
        {"band_lp_5900", &s.band_lp_5900, 5900, false, upper_from},
        {"deemphasis_50us", &s.deemphasis_50us, 3000, false, deemph_from},
        {"deemphasis_75us", &s.deemphasis_75us, 2000, false, deemph_from},
    };
    const double templates_hz[] = {1, 2, 4, 8, 16};
    for (int i = 0; i < SMOOTHING_TEMPLATE_COUNT; ++i) {
        cases.push_back({"smoothing_templates[" + std::to_string(i) + "]",
                         &s.smoothing_templates[i], templates_hz[i], false, 0});
    }
    return cases;
}

TEST(CoefficientSets, RatesOtherThan48kAnd44kGetThe32kSets) {
    const RateCoefficientSet& s32 = rate_coefficients(32000);
    EXPECT_EQ(s32.rate, 32000);
    EXPECT_EQ(&rate_coefficients(22050), &s32);
    EXPECT_EQ(&rate_coefficients(96000), &s32);
    EXPECT_EQ(&rate_coefficients(0), &s32);
    EXPECT_EQ(rate_coefficients(48000).rate, 48000);
    EXPECT_EQ(rate_coefficients(44100).rate, 44100);
    EXPECT_NE(&rate_coefficients(48000), &rate_coefficients(44100));
}

TEST(CoefficientSets, FirstOrderSectionsAreHalfPowerAtTheirCorners) {
    for (int rate : RATES) {
        const RateCoefficientSet& s = rate_coefficients(rate);
        for (const FirstOrderCase& c : first_order_cases(s)) {
            SCOPED_TRACE(c.name + " at " + std::to_string(rate));
            // The corner this rate actually hears: shifted when another rate's numbers ride here.
            const double heard_fc = c.fc * rate / design_rate(rate, c.carried_from);
            EXPECT_NEAR(gain_db(*c.section, heard_fc, rate), HALF_POWER_DB, 0.1);
            // Pass band: DC for a low-pass, Nyquist for a high-pass.
            EXPECT_NEAR(gain_db(*c.section, c.highpass ? rate / 2.0 : 0.0, rate), 0.0, 1e-6);
            // Stop band: a low-pass has a zero at Nyquist, a high-pass at DC.
            EXPECT_LT(gain_db(*c.section, c.highpass ? 0.0 : rate / 2.0, rate), -100.0);
        }
    }
}

TEST(CoefficientSets, CarriedSectionsHaveTheStatedShiftedCorners) {
    const RateCoefficientSet& s44 = rate_coefficients(44100);
    const RateCoefficientSet& s48 = rate_coefficients(48000);
    const RateCoefficientSet& s32 = rate_coefficients(32000);
    // Stated corners are rounded to the hertz; 0.1 dB covers that.
    EXPECT_NEAR(gain_db(s48.deemphasis_50us, 3265, 48000), HALF_POWER_DB, 0.1);
    EXPECT_NEAR(gain_db(s48.deemphasis_75us, 2177, 48000), HALF_POWER_DB, 0.1);
    EXPECT_NEAR(gain_db(s32.band_lp_1100, 798, 32000), HALF_POWER_DB, 0.1);
    EXPECT_NEAR(gain_db(s32.band_lp_2400, 1741, 32000), HALF_POWER_DB, 0.1);
    EXPECT_NEAR(gain_db(s32.band_lp_5900, 4281, 32000), HALF_POWER_DB, 0.1);
    EXPECT_NEAR(gain_db(s32.band_hp_5900, 4281, 32000), HALF_POWER_DB, 0.1);
    // The 48 kHz pre-split low-pass is the 44.1 kHz section itself.
    const double presplit_heard = 425.0 * 48000 / 44100;
    EXPECT_NEAR(gain_db(s48.presplit_lp_425, presplit_heard, 48000), HALF_POWER_DB, 0.01);
    EXPECT_EQ(s48.presplit_lp_425.b0, s44.presplit_lp_425.b0);
    EXPECT_EQ(s48.presplit_lp_425.a2, s44.presplit_lp_425.a2);
    // The 32 kHz set designs the sections that are not carried at its own rate.
    EXPECT_NEAR(gain_db(s32.presplit_lp_425, 425, 32000), HALF_POWER_DB, 0.01);
    EXPECT_NEAR(gain_db(s32.post_lp_150, 150, 32000), HALF_POWER_DB, 0.01);
}

TEST(CoefficientSets, HigherOrderButterworthSectionsFollowTheIdealResponse) {
    for (int rate : RATES) {
        SCOPED_TRACE(rate);
        const RateCoefficientSet& s = rate_coefficients(rate);
        const double presplit_rate = rate == 48000 ? 44100.0 : rate;
        const double presplit_fc = 425.0 * rate / presplit_rate;
        for (double f : {20.0, 75.0, 150.0, 300.0, 425.0, 900.0, 3000.0}) {
            SCOPED_TRACE(f);
            EXPECT_NEAR(gain_db(s.band1_lp_150, f, rate),
                        ideal_butterworth_db(false, 2, 150, f, rate), 0.01);
            EXPECT_NEAR(gain_db(s.band2_hp_150, f, rate),
                        ideal_butterworth_db(true, 3, 150, f, rate), 0.01);
            EXPECT_NEAR(gain_db(s.band3_hp_425, f, rate),
                        ideal_butterworth_db(true, 3, 425, f, rate), 0.01);
            EXPECT_NEAR(gain_db(s.presplit_lp_425, f, rate),
                        ideal_butterworth_db(false, 2, presplit_fc, f, rate), 0.01);
        }
        EXPECT_NEAR(gain_db(s.band1_lp_150, 150, rate), HALF_POWER_DB, 0.01);
        EXPECT_NEAR(gain_db(s.band2_hp_150, 150, rate), HALF_POWER_DB, 0.01);
        EXPECT_NEAR(gain_db(s.band3_hp_425, 425, rate), HALF_POWER_DB, 0.01);
    }
}

TEST(CoefficientSets, FinalLowPassSets) {
    const double corners[] = {0, 15000, 12000, 10000, 8000, 6000, 4000};
    for (int rate : RATES) {
        SCOPED_TRACE(rate);
        const RateCoefficientSet& s = rate_coefficients(rate);
        for (double f : {0.0, 1000.0, 9000.0, 15999.0}) {
            EXPECT_NEAR(gain_db(s.final_lpf_iir[0], f, rate), 0.0, 1e-12) << "thru at " << f;
        }
        for (int k = 1; k < FINAL_LPF_CHOICES; ++k) {
            SCOPED_TRACE(k);
            EXPECT_NEAR(gain_db(s.final_lpf_iir[k], corners[k], rate), HALF_POWER_DB, 0.1);
            for (double f : {100.0, corners[k] * 0.5, corners[k] * 1.05}) {
                if (f < rate / 2.0) {
                    EXPECT_NEAR(gain_db(s.final_lpf_iir[k], f, rate),
                                ideal_butterworth_db(false, 5, corners[k], f, rate), 0.01);
                }
            }
        }
    }
}

TEST(CoefficientSets, FirsAreSymmetricWithUnityDcGain) {
    for (int rate : RATES) {
        SCOPED_TRACE(rate);
        const RateCoefficientSet& s = rate_coefficients(rate);
        for (const Fir23Coeffs* fir : {&s.fir_15k, &s.fir_12k}) {
            for (int i = 0; i <= 10; ++i) {
                EXPECT_EQ(fir->c[12 + i], fir->c[10 - i]);
            }
            double sum = 0.0;
            for (double c : fir->c) {
                sum += c;
            }
            // The shipped taps are rounded: the 44.1/48 kHz sets sum to 1.00020065 ("15k")
            // and 0.99978786 ("12k"), a hair outside 0.0002 but far inside 0.01 dB.
            EXPECT_NEAR(sum, 1.0, 0.00025);
            EXPECT_NEAR(gain_db(*fir, 0.0, rate), 0.0, 0.01);
        }
    }
    // One tap table serves 44.1 and 48 kHz; 32 kHz has its own.
    EXPECT_EQ(rate_coefficients(44100).fir_15k.c, rate_coefficients(48000).fir_15k.c);
    EXPECT_EQ(rate_coefficients(44100).fir_12k.c, rate_coefficients(48000).fir_12k.c);
    EXPECT_EQ(rate_coefficients(32000).fir_15k.c[11], 0.96875);
    EXPECT_EQ(rate_coefficients(32000).fir_12k.c[0], 0.000691321);
    EXPECT_EQ(rate_coefficients(44100).fir_12k.c[22], -0.00034055);
    // "15k" really passes more top end than "12k" at 44.1 kHz.
    EXPECT_GT(gain_db(rate_coefficients(44100).fir_15k, 13000, 44100),
              gain_db(rate_coefficients(44100).fir_12k, 13000, 44100));
}

void expect_biquad(const BiquadCoeffs& c, double b0, double b1, double b2, double a1, double a2) {
    EXPECT_EQ(c.b0, b0);
    EXPECT_EQ(c.b1, b1);
    EXPECT_EQ(c.b2, b2);
    EXPECT_EQ(c.a1, a1);
    EXPECT_EQ(c.a2, a2);
}

TEST(CoefficientSets, StoredBiquadsAreExactlyAsShipped) {
    const RateCoefficientSet& s44 = rate_coefficients(44100);
    const RateCoefficientSet& s48 = rate_coefficients(48000);
    const RateCoefficientSet& s32 = rate_coefficients(32000);
    expect_biquad(s44.emphasis_main, 0.327586205, 0.655172409, 0.327586205, 0.552415129,
                  0.524341454);
    expect_biquad(s48.emphasis_main, 0.280417344, 0.560834687, 0.280417344, 0.273105705,
                  0.504620451);
    expect_biquad(s32.emphasis_main, 0.575060339, 1.15012068, 0.575060339, 1.79538187, 0.850254991);
    expect_biquad(s44.no_emphasis_shelf, 0.7265925, -1.136059, 0.4664268, -1.630627, 0.6880856);
    expect_biquad(s48.no_emphasis_shelf, 0.7159269, -1.144188, 0.4763923, -1.660208, 0.7093477);
    expect_biquad(s32.no_emphasis_shelf, 0.7386662, -1.037625, 0.4013615, -1.494205, 0.5971177);
    for (const RateCoefficientSet* s : {&s44, &s32}) {
        expect_biquad(s->band5_presence, 0.4678225, -1.334021, 1.532178, -0.8706697, 0.3053318);
    }
    expect_biquad(s48.band5_presence, 0.5015782, -1.432604, 1.498422, -0.9560752, 0.3347377);
    expect_biquad(s44.presplit_allpass, 0.9847359, -1.999543, 1.015264, -1.969481, 0.9699308);
    expect_biquad(s48.presplit_allpass, 0.9859759, -1.999614, 1.014024, -1.97196, 0.9723398);
    expect_biquad(s32.presplit_allpass, 0.9789656, -1.999133, 1.021034, -1.957948, 0.9587978);
    for (const RateCoefficientSet* s : {&s44, &s48}) {
        expect_biquad(s->bass_phase_allpass, 0.9813022, -1.999315, 1.018698, -1.962618, 0.9632907);
    }
    expect_biquad(s32.bass_phase_allpass, 0.9719573, -1.998458, 1.028043, -1.943945, 0.9454444);

    EXPECT_EQ(s44.emphasis_gain_50us, 2.7);
    EXPECT_EQ(s48.emphasis_gain_50us, 2.2);
    EXPECT_EQ(s32.emphasis_gain_50us, 4.8);
    EXPECT_EQ(s44.emphasis_gain_75us, 5.1);
    EXPECT_EQ(s48.emphasis_gain_75us, 4.4);
    EXPECT_EQ(s32.emphasis_gain_75us, 8.0);
}

TEST(CoefficientSets, RateIndependentSectionsAreTheSameEverywhere) {
    for (int rate : RATES) {
        SCOPED_TRACE(rate);
        const RateCoefficientSet& s = rate_coefficients(rate);
        expect_biquad(s.room_head_shadow, 0.7159269, -1.144188, 0.4763923, -1.660208, 0.7093477);
        expect_biquad(s.room_lp, 0.292893219, 0.585786438, 0.292893219, 0.0, 0.171572875);
        expect_biquad(s.room_notch, 0.93339422, -0.900917929, 0.93339422, -0.900917929,
                      0.866788439);
        EXPECT_EQ(s.room_crossfeed_lp.b0, 0.4005438163);
        EXPECT_EQ(s.room_crossfeed_lp.b1, 0.4005438163);
        EXPECT_EQ(s.room_crossfeed_lp.a1, -0.1989123674);
        EXPECT_EQ(s.band_clip_restore_lp.b0, 0.00164307);
        EXPECT_EQ(s.band_clip_restore_lp.b1, 2 * 0.00164307);
        EXPECT_EQ(s.band_clip_restore_lp.a1, -1.88211);
        EXPECT_EQ(s.band_clip_restore_lp.a2, 0.888684);
        // The room low-pass sits at a quarter of whatever rate runs.
        EXPECT_NEAR(gain_db(s.room_lp, rate / 4.0, rate), HALF_POWER_DB, 0.01);
    }
    // The cross-feed low-pass is an 8.3 kHz design at 44.1 kHz.
    EXPECT_NEAR(gain_db(rate_coefficients(44100).room_crossfeed_lp, 8300, 44100), HALF_POWER_DB,
                0.1);
    // LPa: near 579 Hz at 44.1 kHz and 422 Hz at 32 kHz (about 1 dB of lift below).
    const BiquadCoeffs& lpa = rate_coefficients(44100).band_clip_restore_lp;
    EXPECT_NEAR(gain_db(lpa, 579, 44100), HALF_POWER_DB, 0.1);
    EXPECT_NEAR(gain_db(lpa, 422, 32000), HALF_POWER_DB, 0.1);
}

TEST(Butterworth, FirstOrderRuleMatchesTheClosedForm) {
    const double k = std::tan(std::numbers::pi * 1000.0 / 44100.0);
    const FirstOrderCoeffs lp = first_order_lowpass(1000, 44100);
    const FirstOrderCoeffs hp = first_order_highpass(1000, 44100);
    EXPECT_DOUBLE_EQ(lp.b0, k / (1 + k));
    EXPECT_DOUBLE_EQ(lp.b1, lp.b0);
    EXPECT_DOUBLE_EQ(hp.b0, 1 / (1 + k));
    EXPECT_DOUBLE_EQ(hp.b1, -hp.b0);
    EXPECT_DOUBLE_EQ(lp.a1, (k - 1) / (k + 1));
    EXPECT_DOUBLE_EQ(hp.a1, lp.a1);
    // A second-order design at a quarter of the rate is the shipped room low-pass.
    const BiquadCoeffs room = butterworth_lowpass2(11025, 44100);
    EXPECT_NEAR(room.b0, 0.292893219, 1e-9);
    EXPECT_NEAR(room.a1, 0.0, 1e-12);
    EXPECT_NEAR(room.a2, 0.171572875, 1e-9);
    // The odd-order high-pass the library does not otherwise use still behaves.
    EXPECT_NEAR(gain_db(butterworth_highpass5(1000, 48000), 1000, 48000), HALF_POWER_DB, 1e-6);
    EXPECT_NEAR(gain_db(butterworth_lowpass3(1000, 48000), 1000, 48000), HALF_POWER_DB, 1e-6);
}

}  // namespace
}  // namespace zv
