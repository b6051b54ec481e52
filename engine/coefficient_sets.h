// The chain's fixed filter coefficients, one complete set per supported rate (48000, 44100,
// 32000 Hz). Rate-independent sections are repeated in every set so that installing a set
// is a single copy. A few sections of one rate deliberately carry another rate's numbers;
// their corners shift with the rate and that shift is part of the sound (see the .cpp).
#pragma once

#include <array>

#include "engine/coefficient_types.h"

namespace zv {

constexpr int SMOOTHING_TEMPLATE_COUNT = 5;
constexpr int AGC_SPEED_COUNT = 4;
constexpr int FINAL_LPF_CHOICES = 7;

struct RateCoefficientSet {
    int rate = 0;  // the rate this set serves: 48000, 44100 or 32000

    // --- input and stereo enhancer ---
    FirstOrderCoeffs input_hp;               // 10 Hz high-pass of L and R (input stage)
    FirstOrderCoeffs enhancer_side_lp;       // 4 kHz low-pass of the enhancer's side signal
    FirstOrderCoeffs enhancer_detector_lp;   // 4 Hz: |L|, |R| level detectors and shared LP4
    FirstOrderCoeffs enhancer_transient_hp;  // HP0.1 of enhancer types 4 and 5 (0.25 Hz off 44.1k)

    // --- bass phase shifter (stored all-pass, numerator gain ~1.019) ---
    BiquadCoeffs bass_phase_allpass;

    // --- two-band AGC ---
    FirstOrderCoeffs agc_split_lp;  // 200 Hz low part of L and R
    FirstOrderCoeffs agc_split_hp;  // 200 Hz high part of L and R
    FirstOrderCoeffs agc_slow_lp;   // 0.1 Hz s1 detector of the lo and hi bands
    // s2 detector by AGC speed index 1..4 at [index - 1]: 0.0125, 0.025, 0.05, 0.1 Hz
    std::array<FirstOrderCoeffs, AGC_SPEED_COUNT> agc_speed_lp;

    // --- pre-emphasis, HF limiter, or the no-emphasis shelf ---
    BiquadCoeffs emphasis_main;       // main path M (before the 1.584 factor)
    FirstOrderCoeffs hf_hp;           // 12 kHz high-pass of M giving H
    double emphasis_gain_50us = 0.0;  // factor on H for preemphasis 1
    double emphasis_gain_75us = 0.0;  // factor on H for preemphasis 2
    FirstOrderCoeffs hf_gr_lp;        // 32 Hz smoothing of the HF limiter's gain reduction
    BiquadCoeffs no_emphasis_shelf;   // replaces emphasis and limiter when preemphasis is 0

    // --- band split ---
    BiquadCoeffs presplit_lp_425;   // LP425 feeding bands 1 and 2 (48k carries the 44.1k set)
    BiquadCoeffs presplit_allpass;  // AP near 105 Hz feeding bands 3 to 6

    // --- band filters F (32k carries the 44.1k sets at 1100, 2400, 5900 Hz) ---
    BiquadCoeffs band1_lp_150;          // band 1: second-order Butterworth low-pass
    ThirdOrderCoeffs band2_hp_150;      // band 2: third-order Butterworth high-pass
    ThirdOrderCoeffs band3_hp_425;      // band 3: third-order Butterworth high-pass, then lp_1100
    FirstOrderCoeffs band_hp_1100;      // band 4: doubled high-pass
    FirstOrderCoeffs band_hp_2400;      // band 5: doubled high-pass
    FirstOrderCoeffs band_hp_5900;      // band 6: doubled high-pass
    FirstOrderCoeffs band_lp_1100;      // band 3: low-pass of F and also its post filter
    FirstOrderCoeffs band_lp_2400;      // band 4: low-pass of F and also its post filter
    FirstOrderCoeffs band_lp_5900;      // band 5: low-pass of F and also its post filter
    BiquadCoeffs band5_presence;        // band 5: presence lift after its low-pass in F
    FirstOrderCoeffs post_lp_150;       // band 1 post filter after its clipper
    FirstOrderCoeffs post_lp_425;       // low-band recombination (band 1 + band 2) after the clip
    BiquadCoeffs band_clip_restore_lp;  // LPa of bands 3 and 4: c + LPa(a - c); rate-independent

    // Smoothing templates T1..T5 at [0..4]: 1, 2, 4, 8, 16 Hz low-passes. Release, free
    // release copies and gates by mb_release, attack by mb_attack, program sections T3.
    std::array<FirstOrderCoeffs, SMOOTHING_TEMPLATE_COUNT> smoothing_templates;

    // --- final stages ---
    FirstOrderCoeffs clip_lp_2k;  // 2 kHz low-pass of the final clipper and the overshoot cutter
    // Final low-pass IIR by final_lpf 0..6: [0] unity ("thru"), [1..6] fifth-order
    // Butterworth low-passes at 15, 12, 10, 8, 6, 4 kHz.
    std::array<FifthOrderCoeffs, FINAL_LPF_CHOICES> final_lpf_iir;
    Fir23Coeffs fir_15k;               // final_lpf 1 (and the FIR slot for every k except 2)
    Fir23Coeffs fir_12k;               // final_lpf 2
    FirstOrderCoeffs deemphasis_50us;  // 3 kHz low-pass (48k carries the 44.1k set)
    FirstOrderCoeffs deemphasis_75us;  // 2 kHz low-pass (48k carries the 44.1k set)

    // --- headphone virtual room (rate-independent numbers) ---
    BiquadCoeffs room_head_shadow;       // head-shadow shelf: cross-feed and every tail
    FirstOrderCoeffs room_crossfeed_lp;  // cross-feed low-pass after the shelf
    BiquadCoeffs room_lp;                // left reverberators' low-pass (P1, P2)
    BiquadCoeffs room_notch;             // right reverberators' notch (Q1, Q2)
};

// 48000 gives the 48 kHz set, 44100 the 44.1 kHz set, any other rate the 32 kHz set.
// The sets are built once on first use (thread-safe) and live for the whole program.
const RateCoefficientSet& rate_coefficients(int rate);

}  // namespace zv
