// The 65 controls of the panel's lower band as one table: where each sits, its step, how its
// value is shown, and which stored field it edits. Names, bounds and the recompute after a
// change come from the settings field table (param_fields), so they are written once; only
// the Final Clipper LPF control keeps bounds of its own (0.5..6.5 with a negative step, so a
// clamped value is a half-integer whose integer part is the choice), and the ALL row edits
// the panel's own column deltas.
#pragma once

#include <array>
#include <string>

#include "settings/param_fields.h"
#include "ui/panel_layout.h"

namespace zv {

// How a control's value is shown: a printf format, or a set of fixed labels chosen by the
// integer part of the value (the pre-emphasis time constant, the AGC release speed, the
// multiband attack/release times, the final low-pass cut-off, the HF limiter's values blanked
// without pre-emphasis, the stereo enhancer's type, the final clipper's type and the listening
// test's channels).
enum class ControlKind {
    Number,
    None,
    Pre,
    Speed,
    AttRel,
    FinLpf,
    HfLim,
    EnhancerType,
    ClpTyp,
    Mute
};

// The panel's column deltas, in the order the ALL row applies them.
constexpr std::array<BandColumn, BAND_COLUMN_COUNT> ALL_DELTA_ORDER = {
    BandColumn::Gain,   BandColumn::LmDrv,  BandColumn::VcaTh,
    BandColumn::ClipTh, BandColumn::OutMix, BandColumn::GateTh};

struct ControlRow {
    int x, y;  // from the layout (control_position)
    double step;
    const char* field;  // the field it edits (band grid: without "bands[N]."); "" for ALL
    ControlKind kind;
    const char* format;  // printf format of a Number control, else ""
    int all_column;      // BandColumn of an ALL control, -1 for every other
    bool gate_label;     // shows " ---" while the noise gate is off
};

// A control bound to its field: what the panel model steps and the painter shows.
struct PanelControl {
    ControlRow shape;
    std::string field_name;  // "bands[3].gain_db", "agc_drive_db", ...; empty for ALL
    double min = 0.0, max = 0.0;
    DerivedUpdate derived = DerivedUpdate::None;
    const ParamField* field = nullptr;  // null for an ALL control and the unstored fields
};

using PanelControls = std::array<PanelControl, CONTROL_COUNT>;

// The table, bound once at start-up (before the window exists). Throws std::logic_error when
// a control names a field the field table does not have.
const PanelControls& panel_controls();

// The ALL row's column deltas: zero between ticks.
using AllBandDelta = std::array<double, BAND_COLUMN_COUNT>;  // indexed by BandColumn

// The value a control edits.
double& control_target(const PanelControl& c, const ProgramState& s, AllBandDelta& deltas);

}  // namespace zv
