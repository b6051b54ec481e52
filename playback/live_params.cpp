#include "playback/live_params.h"

#include <cstring>
#include <type_traits>

namespace zv {

static_assert(std::is_trivially_copyable_v<ProcessorParams>);

void keep_running_state(ProcessorParams& to, const ProcessorParams& from) {
    for (int b = 0; b < BAND_COUNT; ++b) {
        ProcessorBand& t = to.bands[b];
        const ProcessorBand& f = from.bands[b];
        t.in_l = f.in_l;
        t.in_r = f.in_r;
        t.out_l = f.out_l;
        t.out_r = f.out_r;
        t.gain_reduction = f.gain_reduction;
        t.delayed_gain_reduction = f.delayed_gain_reduction;
        t.lookahead_len = f.lookahead_len;
        t.sidechain_l = f.sidechain_l;
        t.sidechain_r = f.sidechain_r;
        t.program_section = f.program_section;
        t.gate_gain = f.gate_gain;
    }
    ProcessorSettings& t = to.settings;
    const ProcessorSettings& f = from.settings;
    t.agc_gain_lo = f.agc_gain_lo;
    t.agc_gain_hi = f.agc_gain_hi;
    t.hf_gain_reduction_l = f.hf_gain_reduction_l;
    t.hf_gain_reduction_r = f.hf_gain_reduction_r;
    t.hf_state_l = f.hf_state_l;
    t.hf_state_r = f.hf_state_r;
    to.normalisation_gain = from.normalisation_gain;
}

bool same_panel_values(const ProcessorParams& a, const ProcessorParams& b) {
    // Whole-object copies keep the padding, so equal values compare equal byte for byte.
    ProcessorParams a_only;
    std::memcpy(&a_only, &a, sizeof a_only);
    keep_running_state(a_only, b);
    return std::memcmp(&a_only, &b, sizeof a_only) == 0;
}

void take_panel_values(Processor& p, const ProcessorParams& panel) {
    ProcessorParams& q = p.params;
    const bool release = q.settings.mb_release != panel.settings.mb_release ||
                         q.settings.mb_attack != panel.settings.mb_attack;
    const bool final_lpf = q.final_lpf != panel.final_lpf;
    const bool bass_eq =
        q.bass_eq_gain_db != panel.bass_eq_gain_db || q.bass_eq_freq_hz != panel.bass_eq_freq_hz ||
        q.bass_eq_rate_hz != panel.bass_eq_rate_hz || q.bass_eq_q != panel.bass_eq_q;
    // Only the panel's values change: the running state is written back over the copy.
    ProcessorParams running;
    std::memcpy(&running, &q, sizeof running);
    std::memcpy(&q, &panel, sizeof q);
    keep_running_state(q, running);
    if (release) {
        apply_release_setting(p);
    }
    if (final_lpf) {
        apply_final_lpf(p);
    }
    if (bass_eq) {
        design_bass_eq(p);
    }
}

}  // namespace zv
