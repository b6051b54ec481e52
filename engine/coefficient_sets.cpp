#include "engine/coefficient_sets.h"

#include "engine/butterworth.h"

namespace zv {
namespace {

constexpr int RATE_48K = 48000;
constexpr int RATE_44K = 44100;
constexpr int RATE_32K = 32000;

// The 44.1 kHz designs that other rates carry unchanged. Their corners move with the rate
// (at 48 kHz the pre-split sits near 460 Hz and de-emphasis at 3265 / 2177 Hz; at 32 kHz the
// 1100, 2400, 5900 Hz band sections sit at 798, 1741, 4281 Hz). That is the system's sound.
int presplit_design_rate(int rate) {
    return rate == RATE_48K ? RATE_44K : rate;
}
int deemphasis_design_rate(int rate) {
    return rate == RATE_48K ? RATE_44K : rate;
}
int upper_band_design_rate(int rate) {
    return rate == RATE_32K ? RATE_44K : rate;
}

struct StoredPerRate {
    BiquadCoeffs at_44k, at_48k, at_32k;
    const BiquadCoeffs& for_rate(int rate) const {
        return rate == RATE_44K ? at_44k : rate == RATE_48K ? at_48k : at_32k;
    }
};

// Sections without a closed design rule, kept exactly as the system has always shipped them.
constexpr StoredPerRate EMPHASIS_MAIN{
    {0.327586205, 0.655172409, 0.327586205, 0.552415129, 0.524341454},
    {0.280417344, 0.560834687, 0.280417344, 0.273105705, 0.504620451},
    {0.575060339, 1.15012068, 0.575060339, 1.79538187, 0.850254991}};
constexpr StoredPerRate NO_EMPHASIS_SHELF{{0.7265925, -1.136059, 0.4664268, -1.630627, 0.6880856},
                                          {0.7159269, -1.144188, 0.4763923, -1.660208, 0.7093477},
                                          {0.7386662, -1.037625, 0.4013615, -1.494205, 0.5971177}};
constexpr StoredPerRate BAND5_PRESENCE{{0.4678225, -1.334021, 1.532178, -0.8706697, 0.3053318},
                                       {0.5015782, -1.432604, 1.498422, -0.9560752, 0.3347377},
                                       {0.4678225, -1.334021, 1.532178, -0.8706697, 0.3053318}};
constexpr StoredPerRate PRESPLIT_ALLPASS{{0.9847359, -1.999543, 1.015264, -1.969481, 0.9699308},
                                         {0.9859759, -1.999614, 1.014024, -1.97196, 0.9723398},
                                         {0.9789656, -1.999133, 1.021034, -1.957948, 0.9587978}};
constexpr StoredPerRate BASS_PHASE_ALLPASS{{0.9813022, -1.999315, 1.018698, -1.962618, 0.9632907},
                                           {0.9813022, -1.999315, 1.018698, -1.962618, 0.9632907},
                                           {0.9719573, -1.998458, 1.028043, -1.943945, 0.9454444}};

// Rate-independent sections.
constexpr BiquadCoeffs ROOM_HEAD_SHADOW{0.7159269, -1.144188, 0.4763923, -1.660208, 0.7093477};
constexpr FirstOrderCoeffs ROOM_CROSSFEED_LP{0.4005438163, 0.4005438163, -0.1989123674};
constexpr BiquadCoeffs ROOM_LP{0.292893219, 0.585786438, 0.292893219, 0.0, 0.171572875};
constexpr BiquadCoeffs ROOM_NOTCH{0.93339422, -0.900917929, 0.93339422, -0.900917929, 0.866788439};
constexpr BiquadCoeffs BAND_CLIP_RESTORE_LP{0.00164307, 2.0 * 0.00164307, 0.00164307, -1.88211,
                                            0.888684};

// The first twelve taps of each symmetric 23-tap FIR; taps 12..22 mirror taps 10..0.
using FirHalf = std::array<double, 12>;
constexpr FirHalf FIR_15K_44K_48K{-0.000458304, 0.00221571,  -0.00143346, -0.00649437,
                                  0.014868,     -0.00482747, -0.0293769,  0.0531923,
                                  -0.00869218,  -0.122291,   0.275273,    0.65625};
constexpr FirHalf FIR_15K_32K{0.000637125, -0.00187839, 0.00381721, -0.00649437,
                              0.00985659,  -0.0137475,  0.0179146,  -0.022033,
                              0.0257425,   -0.0286935,  0.0305939,  0.96875};
constexpr FirHalf FIR_12K_44K_48K{-0.00034055, -0.00187839, 0.0031327, 0.00649437,
                                  -0.0120103,  -0.0137475,  0.0335158, 0.022033,
                                  -0.0848617,  -0.0286935,  0.310625,  0.53125};
constexpr FirHalf FIR_12K_32K{0.000691321, -0.0012551, -0.000484019, 0.00649437,
                              -0.0154622,  0.0205745,  -0.0110317,   -0.022033,
                              0.078209,    -0.144252,  0.198012,     0.78125};

Fir23Coeffs mirrored(const FirHalf& half) {
    Fir23Coeffs fir;
    for (int i = 0; i < 12; ++i) {
        fir.c[i] = half[i];
    }
    for (int i = 0; i <= 10; ++i) {
        fir.c[12 + i] = half[10 - i];
    }
    return fir;
}

constexpr double FINAL_LPF_CORNERS_HZ[FINAL_LPF_CHOICES] = {0.0,    15000.0, 12000.0, 10000.0,
                                                            8000.0, 6000.0,  4000.0};
constexpr double SMOOTHING_HZ[SMOOTHING_TEMPLATE_COUNT] = {1.0, 2.0, 4.0, 8.0, 16.0};
constexpr double AGC_SPEED_HZ[AGC_SPEED_COUNT] = {0.0125, 0.025, 0.05, 0.1};

RateCoefficientSet make_set(int rate) {
    const double r = rate;
    RateCoefficientSet s;
    s.rate = rate;

    s.input_hp = first_order_highpass(10.0, r);
    s.enhancer_side_lp = first_order_lowpass(4000.0, r);
    s.enhancer_detector_lp = first_order_lowpass(4.0, r);
    s.enhancer_transient_hp = first_order_highpass(rate == RATE_44K ? 0.1 : 0.25, r);
    s.bass_phase_allpass = BASS_PHASE_ALLPASS.for_rate(rate);

    s.agc_split_lp = first_order_lowpass(200.0, r);
    s.agc_split_hp = first_order_highpass(200.0, r);
    s.agc_slow_lp = first_order_lowpass(0.1, r);
    for (int i = 0; i < AGC_SPEED_COUNT; ++i) {
        s.agc_speed_lp[i] = first_order_lowpass(AGC_SPEED_HZ[i], r);
    }

    s.emphasis_main = EMPHASIS_MAIN.for_rate(rate);
    s.hf_hp = first_order_highpass(12000.0, r);
    s.emphasis_gain_50us = rate == RATE_44K ? 2.7 : rate == RATE_48K ? 2.2 : 4.8;
    s.emphasis_gain_75us = rate == RATE_44K ? 5.1 : rate == RATE_48K ? 4.4 : 8.0;
    s.hf_gr_lp = first_order_lowpass(32.0, r);
    s.no_emphasis_shelf = NO_EMPHASIS_SHELF.for_rate(rate);

    s.presplit_lp_425 = butterworth_lowpass2(425.0, presplit_design_rate(rate));
    s.presplit_allpass = PRESPLIT_ALLPASS.for_rate(rate);

    const double upper = upper_band_design_rate(rate);
    s.band1_lp_150 = butterworth_lowpass2(150.0, r);
    s.band2_hp_150 = butterworth_highpass3(150.0, r);
    s.band3_hp_425 = butterworth_highpass3(425.0, r);
    s.band_hp_1100 = first_order_highpass(1100.0, upper);
    s.band_hp_2400 = first_order_highpass(2400.0, upper);
    s.band_hp_5900 = first_order_highpass(5900.0, upper);
    s.band_lp_1100 = first_order_lowpass(1100.0, upper);
    s.band_lp_2400 = first_order_lowpass(2400.0, upper);
    s.band_lp_5900 = first_order_lowpass(5900.0, upper);
    s.band5_presence = BAND5_PRESENCE.for_rate(rate);
    s.post_lp_150 = first_order_lowpass(150.0, r);
    s.post_lp_425 = first_order_lowpass(425.0, r);
    s.band_clip_restore_lp = BAND_CLIP_RESTORE_LP;
    for (int i = 0; i < SMOOTHING_TEMPLATE_COUNT; ++i) {
        s.smoothing_templates[i] = first_order_lowpass(SMOOTHING_HZ[i], r);
    }

    s.clip_lp_2k = first_order_lowpass(2000.0, r);
    s.final_lpf_iir[0].b[0] = 1.0;  // "thru"
    for (int k = 1; k < FINAL_LPF_CHOICES; ++k) {
        s.final_lpf_iir[k] = butterworth_lowpass5(FINAL_LPF_CORNERS_HZ[k], r);
    }
    const bool low_rate = rate != RATE_44K && rate != RATE_48K;
    s.fir_15k = mirrored(low_rate ? FIR_15K_32K : FIR_15K_44K_48K);
    s.fir_12k = mirrored(low_rate ? FIR_12K_32K : FIR_12K_44K_48K);
    s.deemphasis_50us = first_order_lowpass(3000.0, deemphasis_design_rate(rate));
    s.deemphasis_75us = first_order_lowpass(2000.0, deemphasis_design_rate(rate));

    s.room_head_shadow = ROOM_HEAD_SHADOW;
    s.room_crossfeed_lp = ROOM_CROSSFEED_LP;
    s.room_lp = ROOM_LP;
    s.room_notch = ROOM_NOTCH;
    return s;
}

}  // namespace

const RateCoefficientSet& rate_coefficients(int rate) {
    if (rate == RATE_48K) {
        static const RateCoefficientSet set_48k = make_set(RATE_48K);
        return set_48k;
    }
    if (rate == RATE_44K) {
        static const RateCoefficientSet set_44k = make_set(RATE_44K);
        return set_44k;
    }
    static const RateCoefficientSet set_32k = make_set(RATE_32K);
    return set_32k;
}

}  // namespace zv
