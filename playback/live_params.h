// The panel's parameters handed to a chain that runs elsewhere (the low-latency ON AIR chain in
// the device's callback). The parameter set mixes what the panel, presets and files edit with
// the running state the chain keeps in it (band and AGC envelopes, the HF limiter's detector);
// a hand-over takes the first and keeps the second, and runs the recomputes that the edited
// values call for, as the panel does between two blocks.
#pragma once

#include "engine/processor.h"

namespace zv {

// Copies the running state of `from` into `to`: what process_block and the release setting
// write into the parameter set (band envelopes and lines, look-ahead lengths, the AGC gains, the
// HF limiter's state) and the normalisation gain, which the chain clamps in place.
void keep_running_state(ProcessorParams& to, const ProcessorParams& from);

// True when the panel's values of a and b are the same, byte for byte (running state aside).
bool same_panel_values(const ProcessorParams& a, const ProcessorParams& b);

// Gives `p` the panel's values of `panel`, keeping its running state, then recomputes what they
// changed: the release setting (multiband release or attack), the final low-pass, the bass EQ.
// Allocates nothing, locks nothing: the callback runs it at the start of a period.
void take_panel_values(Processor& p, const ProcessorParams& panel);

}  // namespace zv
