// A plain, one-channel-at-a-time model of the whole chain, one stage after the other in the
// chain's documented order, with scalar sections only. The engine runs left and right in SIMD
// lanes, keeps states in registers and splits the frame loop; this model does none of that, so
// comparing the two byte for byte catches a swapped lane, a miswired section or a changed order
// of evaluation. It keeps its meters per block as the engine does.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine/coefficient_sets.h"
#include "engine/filter_sections.h"
#include "engine/meter_snapshot.h"
#include "engine/processor_params.h"

namespace zv::test {

struct Order3 {
    ThirdOrderCoeffs c;
    double x[3]{}, y[3]{};
    double step(double in) {
        double out = c.b[0] * in + c.b[1] * x[0] + c.b[2] * x[1] + c.b[3] * x[2] - c.a[1] * y[0] -
                     c.a[2] * y[1] - c.a[3] * y[2];
        x[2] = x[1], x[1] = x[0], x[0] = in;
        y[2] = y[1], y[1] = y[0], y[0] = out;
        return out;
    }
};

struct Order5 {
    FifthOrderCoeffs c;
    double x[5]{}, y[5]{};
    double step(double in) {
        double out = c.b[0] * in + c.b[1] * x[0] + c.b[2] * x[1] + c.b[3] * x[2] + c.b[4] * x[3] +
                     c.b[5] * x[4] - c.a[1] * y[0] - c.a[2] * y[1] - c.a[3] * y[2] - c.a[4] * y[3] -
                     c.a[5] * y[4];
        for (int i = 4; i > 0; --i) {
            x[i] = x[i - 1];
            y[i] = y[i - 1];
        }
        x[0] = in;
        y[0] = out;
        return out;
    }
};

struct Fir {
    Fir23Coeffs c;
    double x[FIR_TAPS]{};
    double step(double in) {
        for (int k = FIR_TAPS - 1; k > 0; --k) {
            x[k] = x[k - 1];
        }
        x[0] = in;
        double y = c.c[0] * x[0];
        for (int k = 1; k < FIR_TAPS; ++k) {
            y = y + c.c[k] * x[k];
        }
        return y;
    }
};

struct Doubled {
    FirstOrderSection a, b;
    double step(double x) { return zv::step(b, zv::step(a, x)); }
};

// Lines kept as plain vectors, each position advanced by the textbook rule (p = p mod N).
struct Delay {
    std::vector<double> buf;
    int pos = 0;
    explicit Delay(int capacity = 4800) : buf(capacity, 0.0) {}
    double step(double x, int n) {
        pos %= n;
        double y = buf[pos];
        buf[pos] = x;
        pos += 1;
        return y;
    }
};

struct Lookahead {
    std::vector<double> buf;
    int pos = 0;
    explicit Lookahead(int capacity) : buf(capacity, 0.0) {}
    double step(double x, int n) {
        pos = (pos + 1) % n;
        buf[pos] = x;
        return buf[(pos + 1) % n];
    }
};

struct RefAllPass {
    std::vector<double> buf = std::vector<double>(2400, 0.0);
    int pos = 0;
    double step(double x, int n) {
        pos %= n;
        double d = buf[pos];
        double w = d * -0.5 + x;
        buf[pos] = w;
        pos += 1;
        return d - -0.5 * w;
    }
};

inline FirstOrderSection first(const FirstOrderCoeffs& c) {
    FirstOrderSection s;
    install(s, c);
    return s;
}
inline BiquadSection bq(const BiquadCoeffs& c) {
    BiquadSection s;
    install(s, c);
    return s;
}

class ReferenceChain {
public:
    // The state a rate change followed by a reset leaves, for the given parameters.
    ReferenceChain(const ProcessorParams& params, int rate) : q_(params), rate_(rate) {
        const RateCoefficientSet& c = rate_coefficients(rate);
        c_ = &c;
        for (int ch = 0; ch < 2; ++ch) {
            input_hp_[ch] = first(c.input_hp);
            level_[ch] = first(c.enhancer_detector_lp);
            bass_phase_[ch] = bq(c.bass_phase_allpass);
            split_lo_[ch] = first(c.agc_split_lp);
            split_hi_[ch] = first(c.agc_split_hp);
            emphasis_[ch] = bq(c.emphasis_main);
            hf_hp_[ch] = first(c.hf_hp);
            hf_gr_[ch] = first(c.hf_gr_lp);
            shelf_[ch] = bq(c.no_emphasis_shelf);
            pre_lp_[ch] = bq(c.presplit_lp_425);
            pre_ap_[ch] = bq(c.presplit_allpass);
            b1_lp_[ch] = bq(c.band1_lp_150);
            b1_post_[ch] = first(c.post_lp_150);
            b2_hp_[ch].c = c.band2_hp_150;
            b3_hp_[ch].c = c.band3_hp_425;
            b3_lp_[ch] = first(c.band_lp_1100);
            b3_restore_[ch] = bq(c.band_clip_restore_lp);
            b3_post_[ch] = first(c.band_lp_1100);
            b4_hp_[ch] = {first(c.band_hp_1100), first(c.band_hp_1100)};
            b4_lp_[ch] = first(c.band_lp_2400);
            b4_restore_[ch] = bq(c.band_clip_restore_lp);
            b4_post_[ch] = first(c.band_lp_2400);
            b5_hp_[ch] = {first(c.band_hp_2400), first(c.band_hp_2400)};
            b5_lp_[ch] = first(c.band_lp_5900);
            b5_presence_[ch] = bq(c.band5_presence);
            b5_post_[ch] = first(c.band_lp_5900);
            b6_hp_[ch] = {first(c.band_hp_5900), first(c.band_hp_5900)};
            recombine_[ch] = first(c.post_lp_425);
            clip_lp_[ch] = first(c.clip_lp_2k);
            ovs_lp_[ch] = first(c.clip_lp_2k);
            deemph_[ch][0] = first(c.deemphasis_50us);
            deemph_[ch][1] = first(c.deemphasis_75us);
            int k = static_cast<int>(q_.final_lpf);
            iir_[ch].c = c.final_lpf_iir[(k >= 0 && k <= 5) ? k : 6];
            fir_[ch].c = k == 2 ? c.fir_12k : c.fir_15k;
            xf_shelf_[ch] = bq(c.room_head_shadow);
            xf_lp_[ch] = first(c.room_crossfeed_lp);
            for (int t = 0; t < 4; ++t) {
                tail_shelf_[t][ch] = bq(c.room_head_shadow);
            }
        }
        lp4_ = first(c.enhancer_detector_lp);
        hp01_ = first(c.enhancer_transient_hp);
        side_lp_ = first(c.enhancer_side_lp);
        for (int lo_hi = 0; lo_hi < 2; ++lo_hi) {
            slow_[lo_hi] = first(c.agc_slow_lp);
            for (int s = 0; s < 4; ++s) {
                speed_[s][lo_hi] = first(c.agc_speed_lp[s]);
            }
        }
        int rel = static_cast<int>(q_.settings.mb_release);
        int rel_t = rel >= 1 && rel <= 4 ? rel - 1 : 4;
        lookahead_ = rel == 1 ? 880 : rel == 2 ? 440 : rel == 3 ? 220 : 110;
        int att = static_cast<int>(q_.settings.mb_attack);
        int att_t = att >= 1 && att <= 4 ? att - 1 : 4;
        for (int b = 0; b < BAND_COUNT; ++b) {
            release_[b] = first(c.smoothing_templates[rel_t]);
            copy_[b] = first(c.smoothing_templates[rel_t]);
            gate_[b] = first(c.smoothing_templates[rel_t]);
            attack_[b] = first(c.smoothing_templates[att_t]);
            program_[b] = first(c.smoothing_templates[2]);
        }
        room_lp_[0] = room_lp_[1] = bq(c.room_lp);
        room_notch_[0] = room_notch_[1] = bq(c.room_notch);
        // Bass EQ at this rate.
        double a = std::pow(10.0, q_.bass_eq_gain_db / 40.0);
        double w0 = 2.0 * std::numbers::pi * q_.bass_eq_freq_hz / rate;
        double alpha = std::sin(w0) / (2.0 * q_.bass_eq_q);
        double a0 = 1.0 + alpha / a;
        BiquadCoeffs e{(1.0 + alpha * a) / a0, (-2.0 * std::cos(w0)) / a0, (1.0 - alpha * a) / a0,
                       (-2.0 * std::cos(w0)) / a0, (1.0 - alpha / a) / a0};
        bass_eq_[0] = bass_eq_[1] = bq(e);
    }

    // One block, exactly as process_block is asked to run it.
    void run(const int16_t* in, int16_t* out, int frames);

    ProcessorParams q_;
    MeterSnapshot meters;  // of the last block run

private:
    static double db(double v) { return std::pow(10.0, v / 20.0); }
    double band_frame(int b, const double in[2], double out[2]);

    const RateCoefficientSet* c_;
    int rate_;
    uint32_t dither_ = 1;
    FirstOrderSection input_hp_[2], level_[2], lp4_, hp01_, side_lp_;
    Lookahead enh_line_{2200};
    BiquadSection bass_phase_[2], bass_eq_[2];
    FirstOrderSection split_lo_[2], split_hi_[2], slow_[2], speed_[4][2];
    BiquadSection emphasis_[2], shelf_[2];
    FirstOrderSection hf_hp_[2], hf_gr_[2];
    Delay hf_m_[2]{Delay(65), Delay(65)}, hf_h_[2]{Delay(65), Delay(65)};
    BiquadSection pre_lp_[2], pre_ap_[2];
    BiquadSection b1_lp_[2], b3_restore_[2], b4_restore_[2], b5_presence_[2];
    FirstOrderSection b1_post_[2], b3_lp_[2], b3_post_[2], b4_lp_[2], b4_post_[2], b5_lp_[2],
        b5_post_[2];
    Order3 b2_hp_[2], b3_hp_[2];
    Doubled b4_hp_[2], b5_hp_[2], b6_hp_[2];
    std::vector<Lookahead> audio_ = std::vector<Lookahead>(12, Lookahead(900));
    std::vector<Lookahead> output_ = std::vector<Lookahead>(12, Lookahead(900));
    Lookahead bass_line_{4800};
    int lookahead_ = 880;
    FirstOrderSection release_[6], attack_[6], copy_[6], gate_[6], program_[6];
    FirstOrderSection recombine_[2], clip_lp_[2], ovs_lp_[2], deemph_[2][2];
    Delay clip_line_[2]{Delay(2), Delay(2)};
    Order5 iir_[2];
    Fir fir_[2];
    BiquadSection xf_shelf_[2];
    FirstOrderSection xf_lp_[2];
    Delay xf_line_[2], room_in_[4];  // room 1 A, B, room 2 A, B
    RefAllPass allpass_[12];
    BiquadSection room_lp_[2], room_notch_[2], tail_shelf_[4][2];
    Delay tail_line_[4];
    // Per-block factors and per-frame band values.
    double g_[6], drive_[6], t_vca_[6], t_clip_[6], mix_[6], k_gate_[6];
    double n_ = 1.0, slope_ = 0.0, coupling5_ = 0.3, coupling6_ = 1.0;
    double sidechain_[6][2]{};
};

}  // namespace zv::test
