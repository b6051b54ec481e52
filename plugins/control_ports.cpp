#include "plugins/control_ports.h"

#include <cmath>
#include <memory>

#include "plugins/chain_fields.h"
#include "plugins/decimal_value.h"

namespace zv::plugin {
namespace {

constexpr const char* AGC_SPEED[] = {"SLOW", "M.SLOW", "M.FAST", "FAST"};
constexpr const char* ATTACK_RELEASE[] = {"100MS", "50MS", "25MS", "12MS", "6MS"};
constexpr const char* ENHANCER_TYPE[] = {"1.LVN", "2.LV1", "3.LV2", "4.TR-", "5.TR+"};
constexpr const char* EMPHASIS[] = {"OFF", "50US", "75US"};
constexpr const char* FINAL_LPF[] = {"THRU", "15K", "12K", "10K", "8K", "6K", "4K"};
constexpr const char* CLIP_TYPE[] = {"ADPTV", "HARD"};
constexpr const char* TEST_CHANNELS[] = {"L<", "L<>R", ">R"};

using K = PortKind;
using U = PortUnit;
constexpr std::span<const char* const> NONE{};

// clang-format off
constexpr std::array<ControlPortDef, CONTROL_PORT_COUNT> PORTS = {{
    {"band1_gate_threshold_db", "Band 1 Gate Threshold", K::Real, U::Db, NONE},
    {"band2_gate_threshold_db", "Band 2 Gate Threshold", K::Real, U::Db, NONE},
    {"band3_gate_threshold_db", "Band 3 Gate Threshold", K::Real, U::Db, NONE},
    {"band4_gate_threshold_db", "Band 4 Gate Threshold", K::Real, U::Db, NONE},
    {"band5_gate_threshold_db", "Band 5 Gate Threshold", K::Real, U::Db, NONE},
    {"band6_gate_threshold_db", "Band 6 Gate Threshold", K::Real, U::Db, NONE},
    {"band1_gain_db", "Band 1 Gain", K::Real, U::Db, NONE},
    {"band2_gain_db", "Band 2 Gain", K::Real, U::Db, NONE},
    {"band3_gain_db", "Band 3 Gain", K::Real, U::Db, NONE},
    {"band4_gain_db", "Band 4 Gain", K::Real, U::Db, NONE},
    {"band5_gain_db", "Band 5 Gain", K::Real, U::Db, NONE},
    {"band6_gain_db", "Band 6 Gain", K::Real, U::Db, NONE},
    {"band1_limiter_drive_db", "Band 1 Limiter Drive", K::Real, U::Db, NONE},
    {"band2_limiter_drive_db", "Band 2 Limiter Drive", K::Real, U::Db, NONE},
    {"band3_limiter_drive_db", "Band 3 Limiter Drive", K::Real, U::Db, NONE},
    {"band4_limiter_drive_db", "Band 4 Limiter Drive", K::Real, U::Db, NONE},
    {"band5_limiter_drive_db", "Band 5 Limiter Drive", K::Real, U::Db, NONE},
    {"band6_limiter_drive_db", "Band 6 Limiter Drive", K::Real, U::Db, NONE},
    {"band1_vca_threshold_db", "Band 1 VCA Threshold", K::Real, U::Db, NONE},
    {"band2_vca_threshold_db", "Band 2 VCA Threshold", K::Real, U::Db, NONE},
    {"band3_vca_threshold_db", "Band 3 VCA Threshold", K::Real, U::Db, NONE},
    {"band4_vca_threshold_db", "Band 4 VCA Threshold", K::Real, U::Db, NONE},
    {"band5_vca_threshold_db", "Band 5 VCA Threshold", K::Real, U::Db, NONE},
    {"band6_vca_threshold_db", "Band 6 VCA Threshold", K::Real, U::Db, NONE},
    {"band1_clip_threshold_db", "Band 1 Clip Threshold", K::Real, U::Db, NONE},
    {"band2_clip_threshold_db", "Band 2 Clip Threshold", K::Real, U::Db, NONE},
    {"band3_clip_threshold_db", "Band 3 Clip Threshold", K::Real, U::Db, NONE},
    {"band4_clip_threshold_db", "Band 4 Clip Threshold", K::Real, U::Db, NONE},
    {"band5_clip_threshold_db", "Band 5 Clip Threshold", K::Real, U::Db, NONE},
    {"band6_clip_threshold_db", "Band 6 Clip Threshold", K::Real, U::Db, NONE},
    {"band1_out_mix_db", "Band 1 Out Mix", K::Real, U::Db, NONE},
    {"band2_out_mix_db", "Band 2 Out Mix", K::Real, U::Db, NONE},
    {"band3_out_mix_db", "Band 3 Out Mix", K::Real, U::Db, NONE},
    {"band4_out_mix_db", "Band 4 Out Mix", K::Real, U::Db, NONE},
    {"band5_out_mix_db", "Band 5 Out Mix", K::Real, U::Db, NONE},
    {"band6_out_mix_db", "Band 6 Out Mix", K::Real, U::Db, NONE},
    {"agc_drive_db", "AGC Drive", K::Real, U::Db, NONE},
    {"agc_threshold_db", "AGC Threshold", K::Real, U::Db, NONE},
    {"agc_release", "AGC Release", K::Choice, U::None, AGC_SPEED},
    {"bass_eq_freq_hz", "Bass EQ Frequency", K::Integer, U::Hz, NONE},
    {"bass_eq_gain_db", "Bass EQ Gain", K::Real, U::Db, NONE},
    {"bass_eq_q", "Bass EQ Q", K::Real, U::None, NONE},
    {"mb_attack", "Multiband Attack", K::Choice, U::None, ATTACK_RELEASE},
    {"mb_release", "Multiband Release", K::Choice, U::None, ATTACK_RELEASE},
    {"stereo_level_db", "Stereo Enhancer Level", K::Real, U::Db, NONE},
    {"stereo_delay_ms", "Stereo Enhancer Delay", K::Integer, U::Ms, NONE},
    {"stereo_type", "Stereo Enhancer Type", K::Choice, U::None, ENHANCER_TYPE},
    {"preemphasis", "Pre-emphasis", K::Choice, U::None, EMPHASIS},
    {"hf_threshold_db", "HF Limiter Threshold", K::Real, U::Db, NONE},
    {"hf_drive_db", "HF Limiter Drive", K::Real, U::Db, NONE},
    {"bass_attack_ms", "Bass Attack", K::Integer, U::Ms, NONE},
    {"final_clip_threshold_db", "Final Clipper Threshold", K::Real, U::Db, NONE},
    {"final_lpf", "Final Clipper LPF", K::Choice, U::None, FINAL_LPF},
    {"final_clip_type", "Final Clipper Type", K::Choice, U::None, CLIP_TYPE},
    {"overshoot_threshold_db", "Overshoot Cutter Threshold", K::Real, U::Db, NONE},
    {"interaural_delay_cm", "Virtual Room Interaural Delay", K::Real, U::Cm, NONE},
    {"room_size_m", "Virtual Room Size", K::Real, U::M, NONE},
    {"reverb_level_pct", "Virtual Room Reverb Level", K::Integer, U::Percent, NONE},
    {"test_channels", "For Test", K::Choice, U::None, TEST_CHANNELS},
    {"bypass", "Bypass", K::Toggle, U::None, NONE},
    {"bass_eq_off", "Bass EQ Off", K::Toggle, U::None, NONE},
    {"bass_phase", "Bass Phase", K::Toggle, U::None, NONE},
    {"stereo_enhance", "Stereo Enhancer", K::Toggle, U::None, NONE},
    {"deemphasis", "De-emphasis", K::Toggle, U::None, NONE},
    {"noise_gate", "Noise Gate", K::Toggle, U::None, NONE},
    {"virtual_room", "Virtual Room", K::Toggle, U::None, NONE},
}};
// clang-format on

}  // namespace

const std::array<ControlPortDef, CONTROL_PORT_COUNT>& control_ports() {
    return PORTS;
}

PortRange port_range(const ControlPortDef& control) {
    const ChainField* f = find_chain_field(control.key);
    PortRange r{f->min, f->max, 0.0};
    if (control.kind == PortKind::Choice) {
        r.min = choice_of(f->min);
        r.max = choice_of(f->max);
    }
    const auto p = make_processor();
    processor_startup(*p);
    r.start = locate_field(*f, *p).get();
    return r;
}

double port_value_to_field(const ControlPortDef& control, float v) {
    switch (control.kind) {
        case PortKind::Toggle:
            return v > 0.0f ? 1.0 : 0.0;
        case PortKind::Integer:
        case PortKind::Choice:
            return std::nearbyint(static_cast<double>(v));
        case PortKind::Real:
            break;
    }
    return decimal_value(v);
}

}  // namespace zv::plugin
