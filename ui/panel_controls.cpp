#include "ui/panel_controls.h"

#include <stdexcept>
#include <variant>

namespace zv {
namespace {

struct ColumnRow {
    BandColumn column;
    int x;
    const char* field;
};
constexpr std::array<ColumnRow, BAND_COLUMN_COUNT> COLUMNS = {{
    {BandColumn::GateTh, 286, "gate_threshold_db"},
    {BandColumn::Gain, 341, "gain_db"},
    {BandColumn::LmDrv, 396, "limiter_drive_db"},
    {BandColumn::VcaTh, 451, "vca_threshold_db"},
    {BandColumn::ClipTh, 506, "clip_threshold_db"},
    {BandColumn::OutMix, 561, "out_mix_db"},
}};
constexpr int BAND_ROW_Y = 161;
constexpr int BAND_ROW_STEP = 14;
constexpr int ALL_ROW_Y = 245;
constexpr double ALL_DELTA_BOUND = 1.0;

constexpr int A(BandColumn c) {
    return static_cast<int>(c);
}

// In the order of the general array; ALL controls edit the column deltas.
constexpr std::array<ControlRow, GENERAL_CONTROLS> GENERAL = {{
    {3, 159, 0.1, "agc_drive_db", ControlKind::Number, "%5.1f", -1, false},
    {3, 173, 0.1, "agc_threshold_db", ControlKind::Number, "%5.1f", -1, false},
    {3, 187, 1, "agc_release", ControlKind::Speed, "", -1, false},
    {3, 219, 5, "bass_eq_freq_hz", ControlKind::Number, "%4.0f", -1, false},
    {3, 233, 0.5, "bass_eq_gain_db", ControlKind::Number, "%5.1f", -1, false},
    {3, 247, 0.1, "bass_eq_q", ControlKind::Number, "%5.1f", -1, false},
    {98, 160, 1, "mb_attack", ControlKind::AttRel, "", -1, false},
    {98, 174, 1, "mb_release", ControlKind::AttRel, "", -1, false},
    {98, 218, 0.1, "stereo_level_db", ControlKind::Number, "%5.1f", -1, false},
    {98, 232, 1, "stereo_delay_ms", ControlKind::Number, " %2.0fms", -1, false},
    {98, 246, 1, "stereo_type", ControlKind::Maxx, "", -1, false},
    {185, 160, 1, "preemphasis", ControlKind::Pre, "", -1, false},
    {185, 195, 0.1, "hf_threshold_db", ControlKind::HfLim, "%5.1f", -1, false},
    {185, 209, 0.1, "hf_drive_db", ControlKind::HfLim, "%5.1f", -1, false},
    {185, 247, 1, "bands[1].bass_attack_ms", ControlKind::Number, "%5.0f", -1, false},
    {653, 159, 0.1, "final_clip_threshold_db", ControlKind::Number, "%5.1f", -1, false},
    {653, 173, -1, "final_lpf", ControlKind::FinLpf, "", -1, false},
    {653, 187, 1, "final_clip_type", ControlKind::ClpTyp, "", -1, false},
    {653, 221, 0.1, "overshoot_threshold_db", ControlKind::Number, "%5.1f", -1, false},
    {211, 293, 0.5, "interaural_delay_cm", ControlKind::Number, "%4.1fcm", -1, false},
    {321, 293, 0.5, "room_size_m", ControlKind::Number, "%4.1fm", -1, false},
    {432, 293, 1, "reverb_level_pct", ControlKind::Number, "%4.0f%%", -1, false},
    {542, 293, 1, "test_channels", ControlKind::Mute, "", -1, false},
    {286, ALL_ROW_Y, 0.1, "", ControlKind::None, "", A(BandColumn::GateTh), false},
    {341, ALL_ROW_Y, 0.1, "", ControlKind::None, "", A(BandColumn::Gain), false},
    {396, ALL_ROW_Y, 0.1, "", ControlKind::None, "", A(BandColumn::LmDrv), false},
    {451, ALL_ROW_Y, 0.1, "", ControlKind::None, "", A(BandColumn::VcaTh), false},
    {506, ALL_ROW_Y, 0.1, "", ControlKind::None, "", A(BandColumn::ClipTh), false},
    {561, ALL_ROW_Y, 0.1, "", ControlKind::None, "", A(BandColumn::OutMix), false},
}};

// The final low-pass choice is read through its integer part; the control's bounds sit half a
// step inside the next choice so a clamped value still reads as the end choice.
constexpr double FINAL_LPF_MIN = 0.5;
constexpr double FINAL_LPF_MAX = 6.5;

// The listening test is not stored in the files, so the field table may not list it.
constexpr double TEST_CHANNELS_MIN = 0.0;
constexpr double TEST_CHANNELS_MAX = 2.0;

PanelControl bind(const ControlRow& shape, std::string field_name) {
    PanelControl c;
    c.shape = shape;
    c.field_name = std::move(field_name);
    if (shape.all_column >= 0) {
        c.min = -ALL_DELTA_BOUND;
        c.max = ALL_DELTA_BOUND;
        return c;
    }
    c.field = find_param_field(c.field_name);
    if (c.field != nullptr) {
        if (c.field->type != FieldType::Real) {
            throw std::logic_error("panel control on a field that is not real: " + c.field_name);
        }
        c.min = c.field->min;
        c.max = c.field->max;
        c.derived = c.field->derived;
    } else if (c.field_name == "test_channels") {
        c.min = TEST_CHANNELS_MIN;
        c.max = TEST_CHANNELS_MAX;
    } else {
        throw std::logic_error("panel control on an unknown field: " + c.field_name);
    }
    if (c.field_name == "final_lpf") {
        c.min = FINAL_LPF_MIN;
        c.max = FINAL_LPF_MAX;
    }
    return c;
}

PanelControls build_panel_controls() {
    PanelControls table;
    for (const ColumnRow& col : COLUMNS) {
        for (int row = 0; row < BAND_ROW_COUNT; ++row) {
            const ControlRow shape{col.x,
                                   BAND_ROW_Y + BAND_ROW_STEP * row,
                                   0.1,
                                   col.field,
                                   ControlKind::Number,
                                   "%5.1f",
                                   -1,
                                   col.column == BandColumn::GateTh};
            table[static_cast<size_t>(band_control_index(col.column, row))] =
                bind(shape, "bands[" + std::to_string(row + 1) + "]." + col.field);
        }
    }
    for (int g = 0; g < GENERAL_CONTROLS; ++g) {
        const ControlRow& shape = GENERAL[static_cast<size_t>(g)];
        table[static_cast<size_t>(general_control_index(g))] = bind(shape, shape.field);
    }
    return table;
}

}  // namespace

const PanelControls& panel_controls() {
    static const PanelControls table = build_panel_controls();
    return table;
}

double& control_target(const PanelControl& c, const ProgramState& s, AllBandDelta& deltas) {
    if (c.shape.all_column >= 0) {
        return deltas[static_cast<size_t>(c.shape.all_column)];
    }
    if (c.field == nullptr) {
        return s.processor.params.test_channels;
    }
    return *std::get<double*>(c.field->locate(s));
}

}  // namespace zv
