// The chain's settings that the plugins carry: every value of the parameter set that shapes the
// sound, namely the panel's 59 controls, the seven switches and the preset values no control
// shows (the band clipper's knee among them). Each is a field of the settings field table
// (settings/param_fields.h) by its stored name, with that table's bounds and recompute, except
// bypass and test_channels, which the files do not store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/processor.h"
#include "settings/param_fields.h"

namespace zv::plugin {

enum class FieldForm { Real, Switch, Text };

struct ChainField {
    std::string key;         // state key and LV2 port symbol: "band1_gain_db", "agc_drive_db"
    std::string field_name;  // the settings field: "bands[1].gain_db"; "bypass", "test_channels"
    FieldForm form = FieldForm::Real;
    double min = 0.0, max = 0.0;
    DerivedUpdate derived = DerivedUpdate::None;
    const ParamField* field = nullptr;  // null for bypass and test_channels
};

// Every field in a fixed order: the band grid column by column (gate threshold, gain, limiter
// drive, VCA threshold, clip threshold, out mix; bands 1 to 6), the general controls in the
// panel's order, the switches, then the values no control shows. Built on first use.
const std::vector<ChainField>& chain_fields();
// nullptr when no field has that key.
const ChainField* find_chain_field(std::string_view key);

// Where a field lives in one processor.
struct FieldSlot {
    double* real = nullptr;
    int32_t* whole = nullptr;
    char* text = nullptr;
    std::size_t text_size = 0;

    double get() const { return real != nullptr ? *real : static_cast<double>(*whole); }
    void set(double v) const;  // a Real or Switch field's value
};
FieldSlot locate_field(const ChainField& f, Processor& p);

// v as the field takes it: a number within its bounds as every load brings it
// (bring_within_bounds), a switch 0 or 1 as the chain reads it (bass_eq_off on when not 0, the
// others when 1). NaN becomes the minimum. Allocates nothing.
double bounded_value(const ChainField& f, double v);

}  // namespace zv::plugin
