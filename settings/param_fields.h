// Every field the state and parameter files store, by its code name, in file order, with a
// getter and a setter that take and give text, and the bounds every value must keep. Used by
// the command-line tools to set and show fields by name, and by every load to bring what a file
// holds within the bounds. For a field that the control panel edits, the bounds are those of
// its control (the window's panel takes them from here). Reserved bytes and the duplicate
// copies that readers ignore are not listed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/program_state.h"

namespace zv {

enum class FieldType { Real, Int, Text };

// What must be recomputed after a field changes, as the control panel does.
enum class DerivedUpdate { None, BassEq, Release, FinalLpf };

// How the program reads a choice field, a double holding a small whole number: through its
// integer part (the panel's label and the chain alike), or, for the AGC speed and the stereo
// enhancer type, rounded by the chain while the panel's label shows the integer part.
enum class ChoiceReading { None, IntegerPart, Rounded };

// Where a field lives in the records.
struct TextRef {
    char* data;
    std::size_t size;  // of the array, terminator included
};
using FieldRef = std::variant<double*, int32_t*, uint16_t*, std::atomic<int32_t>*, TextRef>;

struct ParamField {
    std::string name;        // "bands[1].gain_db", "agc_drive_db", "noise_gate", ...
    std::size_t offset = 0;  // in the file
    FieldType type = FieldType::Real;
    double min = 0.0, max = 0.0;   // accepted range of Real and Int fields
    std::size_t max_bytes = 0;     // longest accepted Text
    bool state_file_only = false;  // parameter files do not change it when loaded
    DerivedUpdate derived = DerivedUpdate::None;
    bool panel_control = false;  // a control of the panel edits it; min and max are its bounds
    ChoiceReading choice = ChoiceReading::None;
    std::function<FieldRef(const ProgramState&)> locate;
};

// Runs the recompute a change of such a field needs (the control panel after a step).
void run_derived_update(Processor& p, DerivedUpdate derived);

// The fields in file order.
const std::vector<ParamField>& param_fields();

// nullptr when no field has that name.
const ParamField* find_param_field(std::string_view name);

// The value as text: shortest round-trip form for reals, decimal for integers, the raw text.
std::string get_param_field(const ProgramState& s, const ParamField& field);

// Parses and range-checks value (value_within_bounds), stores it and recomputes what depends on
// it. On a bad value nothing changes and error says why.
bool set_param_field(ProgramState& s, const ParamField& field, std::string_view value,
                     std::string& error);

// Whether a value of a Real field keeps its bounds. A number: min <= value <= max. A choice:
// every way the program reads it lies between the choices that min and max read as, so the
// final low-pass (bounds 0.5 to 6.5, the panel's half steps) takes 0.0, 6 and 6.5 alike.
bool value_within_bounds(const ParamField& field, double value);

// The value brought within the bounds: a number clamped to min..max; a choice outside them
// becomes the nearest choice, a whole number. A value already within them comes back unchanged.
double bring_within_bounds(const ParamField& field, double value);

// What every load of a state file, parameter file or user preset ends with: each field with a
// panel control that the load may have written is brought within its bounds, and the
// processor's switches become 0 or 1 as the chain reads them (bass_eq_off is on when not 0, the
// others when exactly 1). A parameter file leaves the state-file-only fields (the gate column
// and the noise gate) alone, so they are not touched after one either.
void bring_loaded_values_within_bounds(ProgramState& s, bool state_file);

}  // namespace zv
