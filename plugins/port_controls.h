// The LV2 plugins' control input ports bound to the chain's settings. At the start of every
// block each port whose value changed since it was last seen is taken into its field (as the
// decimal it stands for, within the field's bounds) and the recompute the changes need runs, in
// the panel's order (bass EQ, release, final low-pass): what a click on the panel does,
// taken from the next block on.
#pragma once

#include <array>
#include <cstddef>

#include "plugins/chain_stream.h"
#include "plugins/control_ports.h"

namespace zv::plugin {

class PortControls {
public:
    explicit PortControls(ChainStream& stream);

    // The host's value of control port i (in control_ports() order); null while unconnected.
    void connect(std::size_t i, const float* value) { ports_[i] = value; }

    // Real-time: takes the changed ports into the settings. True when any changed.
    bool apply();

    // The value each port was last taken at; NaN for a port not taken yet. A session's saved
    // state holds these, so that a restore followed by the host's own restore of the same port
    // values keeps the settings exactly as saved (a parameter file loaded since the ports last
    // moved included).
    const std::array<float, CONTROL_PORT_COUNT>& seen() const { return seen_; }
    void set_seen(const std::array<float, CONTROL_PORT_COUNT>& seen) { seen_ = seen; }

private:
    ChainStream& stream_;
    std::array<const float*, CONTROL_PORT_COUNT> ports_{};
    std::array<float, CONTROL_PORT_COUNT> seen_{};
    std::array<std::size_t, CONTROL_PORT_COUNT> field_{};  // index into chain_fields()
};

}  // namespace zv::plugin
