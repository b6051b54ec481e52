// Every field the state and parameter files store, by its code name, in file order, with a
// getter and a setter that take and give text. Used by the command-line tools to set and show
// fields by name. Reserved bytes and the duplicate copies that readers ignore are not listed.
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

// Parses and range-checks value, stores it and recomputes what depends on it. On a bad value
// nothing changes and error says why.
bool set_param_field(ProgramState& s, const ParamField& field, std::string_view value,
                     std::string& error);

}  // namespace zv
