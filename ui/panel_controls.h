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

namespace zv {

// How a control's value is shown: a printf format, or a set of fixed labels chosen by the
// integer part of the value.
enum class ControlKind { Number, None, Pre, Speed, AttRel, FinLpf, HfLim, Maxx, ClpTyp, Mute };

// The six columns of the band grid, left to right.
enum class BandColumn { GateTh, Gain, LmDrv, VcaTh, ClipTh, OutMix };
constexpr int BAND_COLUMN_COUNT = 6;
constexpr int BAND_ROW_COUNT = 6;

// The panel's column deltas, in the order the ALL row applies them.
constexpr std::array<BandColumn, BAND_COLUMN_COUNT> ALL_DELTA_ORDER = {
    BandColumn::Gain,   BandColumn::LmDrv,  BandColumn::VcaTh,
    BandColumn::ClipTh, BandColumn::OutMix, BandColumn::GateTh};

struct ControlRow {
    int x, y;
    double step;
    const char* field;  // the field it edits (band grid: without "bands[N]."); "" for ALL
    ControlKind kind;
    const char* format;  // printf format of a Number control, else ""
    int all_column;      // BandColumn of an ALL control, -1 for every other
    bool gate_label;     // shows " ---" while the noise gate is off
};

constexpr int BAND_GRID_CONTROLS = BAND_COLUMN_COUNT * BAND_ROW_COUNT;  // 36
constexpr int GENERAL_CONTROLS = 29;
constexpr int CONTROL_COUNT = BAND_GRID_CONTROLS + GENERAL_CONTROLS;  // 65

// Index of the band-grid control of column c and band row r (both 0-based).
constexpr int band_control_index(BandColumn c, int row) {
    return static_cast<int>(c) * BAND_ROW_COUNT + row;
}
// Index of general control g (0-based, table order).
constexpr int general_control_index(int g) {
    return BAND_GRID_CONTROLS + g;
}

// General controls by name, for the code that names one (tests, recomputes).
enum class GeneralControl {
    AgcDrive,
    AgcThreshold,
    AgcRelease,
    BassEqFreq,
    BassEqGain,
    BassEqQ,
    MbAttack,
    MbRelease,
    StereoLevel,
    StereoDelay,
    StereoType,
    Preemphasis,
    HfThreshold,
    HfDrive,
    BassAttack,
    FinalClipThreshold,
    FinalLpf,
    FinalClipType,
    OvershootThreshold,
    InterauralDelay,
    RoomSize,
    ReverbLevel,
    TestChannels,
    AllGateTh,
    AllGain,
    AllLmDrv,
    AllVcaTh,
    AllClipTh,
    AllOutMix,
};
constexpr int control_index(GeneralControl g) {
    return general_control_index(static_cast<int>(g));
}

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
