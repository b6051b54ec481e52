// Installing coefficients for a rate, binding band state, the release and final low-pass
// choices, the bass EQ design, and clearing the chain's running state.
#include <cmath>
#include <numbers>

#include "engine/coefficient_sets.h"
#include "engine/processor.h"

namespace zv {

namespace {

// Release template index and look-ahead length by mb_release; attack template by mb_attack.
struct ReleaseChoice {
    int template_index;
    int32_t lookahead_len;
};

ReleaseChoice release_choice(double mb_release) {
    switch (choice_of(mb_release)) {
        case 1:
            return {0, 880};
        case 2:
            return {1, 440};
        case 3:
            return {2, 220};
        case 4:
            return {3, 110};
        default:
            return {4, 110};
    }
}

int attack_template(double mb_attack) {
    int k = choice_of(mb_attack);
    return (k >= 1 && k <= 4) ? k - 1 : 4;
}

ChainSections make_channel_template(const RateCoefficientSet& c) {
    ChainSections t;
    install(t.input_hp, c.input_hp);
    install(t.enhancer_level, c.enhancer_detector_lp);
    install(t.enhancer_lp4, c.enhancer_detector_lp);
    install(t.enhancer_hp, c.enhancer_transient_hp);
    install(t.enhancer_side_lp, c.enhancer_side_lp);
    install(t.bass_phase, c.bass_phase_allpass);
    install(t.emphasis_main, c.emphasis_main);
    install(t.hf_hp, c.hf_hp);
    install(t.hf_gr_lp, c.hf_gr_lp);
    install(t.no_emphasis_shelf, c.no_emphasis_shelf);
    install(t.presplit_lp, c.presplit_lp_425);
    install(t.presplit_ap, c.presplit_allpass);
    install(t.band1_lp, c.band1_lp_150);
    install(t.band1_post, c.post_lp_150);
    install(t.band2_hp, c.band2_hp_150);
    install(t.band3_hp, c.band3_hp_425);
    install(t.band3_lp, c.band_lp_1100);
    install(t.band3_restore, c.band_clip_restore_lp);
    install(t.band3_post, c.band_lp_1100);
    install(t.band4_hp, c.band_hp_1100);
    install(t.band4_lp, c.band_lp_2400);
    install(t.band4_restore, c.band_clip_restore_lp);
    install(t.band4_post, c.band_lp_2400);
    install(t.band5_hp, c.band_hp_2400);
    install(t.band5_lp, c.band_lp_5900);
    install(t.band5_presence, c.band5_presence);
    install(t.band5_post, c.band_lp_5900);
    install(t.band6_hp, c.band_hp_5900);
    install(t.recombine_lp, c.post_lp_425);
    install(t.final_clip_lp, c.clip_lp_2k);
    install(t.overshoot_lp, c.clip_lp_2k);
    install(t.deemphasis_50us, c.deemphasis_50us);
    install(t.deemphasis_75us, c.deemphasis_75us);
    return t;
}

void install_room_sections(VirtualRoomState& room, const RateCoefficientSet& c) {
    install(room.crossfeed_shelf, c.room_head_shadow);
    install(room.crossfeed_lp, c.room_crossfeed_lp);
    install(room.room1_filter, c.room_lp, c.room_notch);
    install(room.room2_filter, c.room_lp, c.room_notch);
    install(room.room1_tail_shelf_1, c.room_head_shadow);
    install(room.room1_tail_shelf_2, c.room_head_shadow);
    install(room.room2_tail_shelf_1, c.room_head_shadow);
    install(room.room2_tail_shelf_2, c.room_head_shadow);
}

// Finite, with both poles of 1 + a1 z^-1 + a2 z^-2 strictly inside the unit circle (the
// stability triangle |a2| < 1, |a1| < 1 + a2). NaNs fail every comparison.
bool biquad_is_stable(const BiquadCoeffs& c) {
    const bool finite = std::isfinite(c.b0) && std::isfinite(c.b1) && std::isfinite(c.b2) &&
                        std::isfinite(c.a1) && std::isfinite(c.a2);
    return finite && std::abs(c.a2) < 1.0 && std::abs(c.a1) < 1.0 + c.a2;
}

template <typename Line>
void clear_line(Line& line) {
    line = Line{};
}

void clear_band_delay_blocks(ProcessorState& s) {
    for (BandDelayBlock& block : s.band_delays) {
        clear_line(block.audio);
        clear_line(block.output);
        clear_line(block.bass_attack);
    }
}

void clear_room(VirtualRoomState& room) {
    clear_memory(room.crossfeed_shelf);
    clear_memory(room.crossfeed_lp);
    clear_line(room.crossfeed);
    clear_line(room.room1_in);
    clear_line(room.room2_in);
    for (DualAllPass& a : room.room1_allpass) {
        clear_line(a);
    }
    for (DualAllPass& a : room.room2_allpass) {
        clear_line(a);
    }
    clear_memory(room.room1_filter);
    clear_memory(room.room2_filter);
    clear_memory(room.room1_tail_shelf_1);
    clear_memory(room.room1_tail_shelf_2);
    clear_memory(room.room2_tail_shelf_1);
    clear_memory(room.room2_tail_shelf_2);
    clear_line(room.room1_tails);
    clear_line(room.room2_tails);
}

}  // namespace

void load_rate_coefficients(Processor& p, int rate) {
    const RateCoefficientSet& c = rate_coefficients(rate);
    ProcessorState& s = p.state;
    s.sample_rate = rate;
    s.emphasis_gain_50us = c.emphasis_gain_50us;
    s.emphasis_gain_75us = c.emphasis_gain_75us;
    s.channel_template = make_channel_template(c);

    install(s.agc.split_lp, c.agc_split_lp);
    install(s.agc.split_hp, c.agc_split_hp);
    install(s.agc.slow, c.agc_slow_lp);
    for (int i = 0; i < AGC_SPEED_COUNT; ++i) {
        install(s.agc.speed[i], c.agc_speed_lp[i]);
    }

    BandSmoothing& sm = s.smoothing;
    for (int i = 0; i < SMOOTHING_TEMPLATE_COUNT; ++i) {
        install(sm.templates[i], c.smoothing_templates[i]);
    }
    const FirstOrderSection& release =
        sm.templates[release_choice(p.params.settings.mb_release).template_index];
    for (int b = 0; b < BAND_COUNT; ++b) {
        sm.release[b] = release;
        sm.gate[b] = release;
        clear_memory(sm.attack[b]);
        clear_memory(sm.release_copy[b]);
    }
    install_room_sections(s.room, c);
}

void bind_band_state(Processor& p) {
    ProcessorState& s = p.state;
    s.channels = s.channel_template;
    clear_band_delay_blocks(s);
    clear_line(s.final_clip_line);
    // Each band's release section, gate section and delay block sit at the band's index in
    // the state's banks, so binding needs no pointers.
}

void apply_release_setting(Processor& p) {
    ProcessorSettings& settings = p.params.settings;
    BandSmoothing& sm = p.state.smoothing;
    ReleaseChoice rel = release_choice(settings.mb_release);
    const FirstOrderSection& release = sm.templates[rel.template_index];
    const FirstOrderSection& attack = sm.templates[attack_template(settings.mb_attack)];
    for (int b = 0; b < BAND_COUNT; ++b) {
        ProcessorBand& band = p.params.bands[b];
        band.lookahead_len = rel.lookahead_len;
        sm.release[b] = release;
        sm.release_copy[b] = release;
        sm.gate[b] = release;
        sm.attack[b] = attack;
        band.program_section = sm.templates[2];
    }
}

void apply_final_lpf(Processor& p) {
    const RateCoefficientSet& c = rate_coefficients(p.state.sample_rate);
    int k = choice_of(p.params.final_lpf);
    int iir = (k >= 0 && k <= 5) ? k : 6;
    install(p.state.final_iir, c.final_lpf_iir[iir]);
    install(p.state.final_fir, k == 2 ? c.fir_12k : c.fir_15k);
}

void design_bass_eq(Processor& p) {
    const ProcessorParams& q = p.params;
    double a = std::pow(10.0, q.bass_eq_gain_db / 40.0);
    double w0 = 2.0 * std::numbers::pi * q.bass_eq_freq_hz / q.bass_eq_rate_hz;
    double alpha = std::sin(w0) / (2.0 * q.bass_eq_q);
    double cw = std::cos(w0);
    double a0 = 1.0 + alpha / a;
    BiquadCoeffs c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = (-2.0 * cw) / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = (-2.0 * cw) / a0;
    c.a2 = (1.0 - alpha / a) / a0;
    // A design whose poles are not strictly inside the unit circle (a negative Q, a centre
    // past half the rate, a zero rate or Q: values only a damaged file could bring) would ring
    // up to full scale or fill the chain with NaNs for good; it passes the signal unchanged.
    if (!biquad_is_stable(c)) {
        c = BiquadCoeffs{1.0, 0.0, 0.0, 0.0, 0.0};
    }
    // Left and right always carry the same design; one stereo section holds both.
    install(p.state.bass_eq, c);
}

void reset_processor_state(Processor& p) {
    ProcessorParams& q = p.params;
    ProcessorState& s = p.state;
    for (ProcessorBand& band : q.bands) {
        band.in_l = band.in_r = 0.0;
        band.out_l = band.out_r = 0.0;
        band.gain_reduction = 0.0;
        band.delayed_gain_reduction = 0.0;
        band.sidechain_l = band.sidechain_r = 0.0;
        clear_memory(band.program_section);
    }
    ProcessorSettings& st = q.settings;
    st.agc_gain_lo = st.agc_gain_hi = 0.0;
    st.hf_gain_reduction_l = st.hf_gain_reduction_r = 0.0;
    st.hf_state_l = st.hf_state_r = 0.0;
    s.meters = MeterSnapshot{};

    clear_memory(s.agc.split_lp);
    clear_memory(s.agc.split_hp);
    clear_memory(s.agc.slow);
    for (StereoFirstOrder& d : s.agc.speed) {
        clear_memory(d);
    }
    clear_memory(s.channels.bass_phase);
    clear_memory(s.bass_eq);
    for (int b = 0; b < BAND_COUNT; ++b) {
        clear_memory(s.smoothing.release[b]);
        clear_memory(s.smoothing.attack[b]);
        clear_memory(s.smoothing.release_copy[b]);
        clear_memory(s.smoothing.gate[b]);
    }
    clear_room(s.room);
    s.dither = DitherGenerator{};
}

void change_sample_rate(Processor& p, int rate) {
    ProcessorState& s = p.state;
    clear_line(s.enhancer.line);
    clear_band_delay_blocks(s);
    s.hf_lines = HfLimiterLines{};
    load_rate_coefficients(p, rate);
    bind_band_state(p);
    apply_release_setting(p);
    apply_final_lpf(p);
    p.params.bass_eq_rate_hz = rate;
    design_bass_eq(p);
}

}  // namespace zv
