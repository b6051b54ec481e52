// The LV2 bundle's Turtle files, written from the same tables the plugins run on: the ports'
// symbols, names, bounds, start-up defaults, units and the choices' labels, the latency port,
// the parameter file, and the eleven factory presets (the ports a preset sets, and in its state
// the values no port shows).
#pragma once

#include <string>

namespace zv::plugin {

// manifest.ttl, zelvonic-chain.ttl and presets.ttl in folder. False, with why, when one cannot
// be written.
bool write_lv2_description(const std::string& folder, std::string& why);

}  // namespace zv::plugin
