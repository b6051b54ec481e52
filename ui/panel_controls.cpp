#include "ui/panel_controls.h"

#include <stdexcept>
#include <variant>

namespace zv {
namespace {

// What each band column edits, in column order; every band control steps by 0.1.
constexpr std::array<const char*, BAND_COLUMN_COUNT> COLUMN_FIELDS = {
    "gate_threshold_db", "gain_db",           "limiter_drive_db",
    "vca_threshold_db",  "clip_threshold_db", "out_mix_db"};
constexpr double BAND_STEP = 0.1;
constexpr const char* BAND_FORMAT = "%5.1f";
constexpr double ALL_STEP = 0.1;
constexpr double ALL_DELTA_BOUND = 1.0;

// The general controls before the ALL row, in table order (their places are the layout's).
struct GeneralControl {
    double step;
    const char* field;
    ControlKind kind;
    const char* format;
};
constexpr std::array<GeneralControl, ALL_ROW_FIRST> GENERAL = {{
    {0.1, "agc_drive_db", ControlKind::Number, "%5.1f"},
    {0.1, "agc_threshold_db", ControlKind::Number, "%5.1f"},
    {1, "agc_release", ControlKind::Speed, ""},
    {5, "bass_eq_freq_hz", ControlKind::Number, "%4.0f"},
    {0.5, "bass_eq_gain_db", ControlKind::Number, "%5.1f"},
    {0.1, "bass_eq_q", ControlKind::Number, "%5.1f"},
    {1, "mb_attack", ControlKind::AttRel, ""},
    {1, "mb_release", ControlKind::AttRel, ""},
    {0.1, "stereo_level_db", ControlKind::Number, "%5.1f"},
    {1, "stereo_delay_ms", ControlKind::Number, " %2.0fms"},
    {1, "stereo_type", ControlKind::EnhancerType, ""},
    {1, "preemphasis", ControlKind::Pre, ""},
    {0.1, "hf_threshold_db", ControlKind::HfLim, "%5.1f"},
    {0.1, "hf_drive_db", ControlKind::HfLim, "%5.1f"},
    {1, "bands[1].bass_attack_ms", ControlKind::Number, "%5.0f"},
    {0.1, "final_clip_threshold_db", ControlKind::Number, "%5.1f"},
    {-1, "final_lpf", ControlKind::FinLpf, ""},
    {1, "final_clip_type", ControlKind::ClpTyp, ""},
    {0.1, "overshoot_threshold_db", ControlKind::Number, "%5.1f"},
    {0.5, "interaural_delay_cm", ControlKind::Number, "%4.1fcm"},
    {0.5, "room_size_m", ControlKind::Number, "%4.1fm"},
    {1, "reverb_level_pct", ControlKind::Number, "%4.0f%%"},
    {1, "test_channels", ControlKind::Mute, ""},
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
    for (int c = 0; c < BAND_COLUMN_COUNT; ++c) {
        const auto column = static_cast<BandColumn>(c);
        const char* field = COLUMN_FIELDS[static_cast<size_t>(c)];
        for (int row = 0; row < BAND_ROW_COUNT; ++row) {
            const int index = band_control_index(column, row);
            const ClientPoint at = control_position(index);
            const ControlRow shape{at.x,
                                   at.y,
                                   BAND_STEP,
                                   field,
                                   ControlKind::Number,
                                   BAND_FORMAT,
                                   -1,
                                   column == BandColumn::GateTh};
            table[static_cast<size_t>(index)] =
                bind(shape, "bands[" + std::to_string(row + 1) + "]." + field);
        }
    }
    for (int g = 0; g < GENERAL_CONTROLS; ++g) {
        const int index = general_control_index(g);
        const ClientPoint at = control_position(index);
        ControlRow shape{at.x, at.y, ALL_STEP, "", ControlKind::None, "", g - ALL_ROW_FIRST, false};
        if (g < ALL_ROW_FIRST) {
            const GeneralControl& general = GENERAL[static_cast<size_t>(g)];
            shape = {at.x,         at.y,           general.step, general.field,
                     general.kind, general.format, -1,           false};
        }
        table[static_cast<size_t>(index)] = bind(shape, shape.field);
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
