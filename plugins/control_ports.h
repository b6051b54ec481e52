// The LV2 plugins' control input ports: one for each of the panel's 59 controls (the band grid
// column by column, then the general controls in the panel's order) and one for each switch,
// in the order of the chain fields (chain_fields.h), whose key is the port's symbol. Bounds
// and start-up defaults come from the fields and processor_startup; names, units and the
// choices' labels (the panel's own, as its font draws them) are here.
#pragma once

#include <array>
#include <span>

namespace zv::plugin {

enum class PortKind {
    Real,     // a number on the panel's 0.1 (or 0.5) grid
    Integer,  // whole numbers: hertz, milliseconds, percent
    Choice,   // an enumeration whose scale points carry the panel's labels
    Toggle,   // a switch
};

enum class PortUnit { None, Db, Hz, Ms, Cm, M, Percent };

struct ControlPortDef {
    const char* key;   // the chain field's key and the port's symbol
    const char* name;  // the name hosts show
    PortKind kind;
    PortUnit unit;
    std::span<const char* const> labels;  // Choice: the label of each choice, lowest first
};

constexpr int PANEL_CONTROL_PORTS = 59;
constexpr int SWITCH_PORTS = 7;
constexpr int CONTROL_PORT_COUNT = PANEL_CONTROL_PORTS + SWITCH_PORTS;

const std::array<ControlPortDef, CONTROL_PORT_COUNT>& control_ports();

// The range a port declares: a field's bounds, a choice's lowest and highest choice (the final
// low-pass, whose panel bounds are 0.5 and 6.5, declares 0 to 6), 0 and 1 for a switch.
struct PortRange {
    double min;
    double max;
    double start;  // the value after processor_startup
};
PortRange port_range(const ControlPortDef& control);

// A host's value as the field's: the decimal it stands for, rounded to a whole number for
// integer and choice ports, on (1) above 0 for a toggle. Allocates nothing.
double port_value_to_field(const ControlPortDef& control, float v);

}  // namespace zv::plugin
