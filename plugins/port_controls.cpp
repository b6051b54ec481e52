#include "plugins/port_controls.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace zv::plugin {

PortControls::PortControls(ChainStream& stream) : stream_(stream) {
    seen_.fill(std::numeric_limits<float>::quiet_NaN());
    const std::vector<ChainField>& fields = chain_fields();
    for (std::size_t i = 0; i < CONTROL_PORT_COUNT; ++i) {
        const ChainField* f = find_chain_field(control_ports()[i].key);
        if (f == nullptr) {
            throw std::logic_error(std::string("a control port without a field: ") +
                                   control_ports()[i].key);
        }
        field_[i] = static_cast<std::size_t>(f - fields.data());
    }
}

bool PortControls::apply() {
    const std::vector<ChainField>& fields = chain_fields();
    bool changed = false;
    bool bass_eq = false, release = false, final_lpf = false;
    for (std::size_t i = 0; i < CONTROL_PORT_COUNT; ++i) {
        if (ports_[i] == nullptr) {
            continue;
        }
        const float v = *ports_[i];
        if (v == seen_[i] || std::isnan(v)) {
            continue;  // unchanged, or no value at all: the field keeps its own
        }
        seen_[i] = v;
        const ChainField& f = fields[field_[i]];
        const double value = bounded_value(f, port_value_to_field(control_ports()[i], v));
        stream_.slots()[field_[i]].set(value);
        changed = true;
        bass_eq |= f.derived == DerivedUpdate::BassEq;
        release |= f.derived == DerivedUpdate::Release;
        final_lpf |= f.derived == DerivedUpdate::FinalLpf;
    }
    if (bass_eq) {
        stream_.recompute(DerivedUpdate::BassEq);
    }
    if (release) {
        stream_.recompute(DerivedUpdate::Release);
    }
    if (final_lpf) {
        stream_.recompute(DerivedUpdate::FinalLpf);
    }
    return changed;
}

}  // namespace zv::plugin
