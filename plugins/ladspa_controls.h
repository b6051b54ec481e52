// The LADSPA plugins' controls. LADSPA hosts (Liquidsoap's ladspa.* operators among them) apply
// at most the hinted defaults, so the plugins take a factory preset by its index and a handful
// of controls as offsets from that preset's own values, all defaulting to 0: a host that applies
// the hints gets the start-up preset (232) itself. Every other value is the preset's or the
// program's start-up value (the gates at -36 dB, the room's defaults).
#pragma once

#include <array>
#include <cstddef>

#include "engine/factory_presets.h"
#include "plugins/chain_stream.h"

namespace zv::plugin {

enum class LadspaControl {
    Preset,             // index into the presets' menu order; 0 is 232
    AgcDriveOffset,     // dB added to the preset's AGC drive
    FinalClipOffset,    // dB added to its final clipper threshold
    StereoLevelOffset,  // dB added to its stereo enhancer level
    OutMixOffset,       // dB added to every band's out mix
    Bypass,             // switches the program starts with off: 0 off, 1 on
    NoiseGate,
    VirtualRoom,
    BassEq,  // switches the presets set: -1 off, 0 the preset's, 1 on
    BassPhase,
    StereoEnhancer,
    Deemphasis,
};
constexpr std::size_t LADSPA_CONTROL_COUNT = 12;

struct LadspaControlSpec {
    const char* name;  // Liquidsoap turns it into the parameter name ("agc_drive_offset")
    float min, max;
    bool toggled;  // 0 or 1
    bool integer;
};

// In LadspaControl order; every default is 0.
// clang-format off
inline constexpr std::array<LadspaControlSpec, LADSPA_CONTROL_COUNT> LADSPA_CONTROLS = {{
    {"Preset", 0, FACTORY_PRESET_COUNT - 1, false, true},
    {"AGC drive offset", -24, 24, false, false},
    {"Final clipper threshold offset", -24, 24, false, false},
    {"Stereo enhancer level offset", -48, 48, false, false},
    {"Out mix offset", -99, 99, false, false},
    {"Bypass", 0, 1, true, false},
    {"Noise gate", 0, 1, true, false},
    {"Virtual room", 0, 1, true, false},
    {"Bass EQ", -1, 1, false, true},
    {"Bass phase", -1, 1, false, true},
    {"Stereo enhancer", -1, 1, false, true},
    {"De-emphasis", -1, 1, false, true},
}};
// clang-format on

class LadspaControls {
public:
    explicit LadspaControls(ChainStream& stream);
    void connect(LadspaControl c, const float* value) {
        ports_[static_cast<std::size_t>(c)] = value;
    }
    // Real-time: takes the changed controls into the settings (a new preset first, then every
    // offset and switch over it), with the recompute they need.
    void apply();

private:
    float value(LadspaControl c) const;
    void set_field(const char* key, double preset_value, float offset);
    void set_switch(const char* key, int32_t preset_value, float choice);

    ChainStream& stream_;
    std::array<const float*, LADSPA_CONTROL_COUNT> ports_{};
    std::array<float, LADSPA_CONTROL_COUNT> seen_{};
    bool first_ = true;
    int preset_id_ = DEFAULT_FACTORY_PRESET_ID;
};

}  // namespace zv::plugin
