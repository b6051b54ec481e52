#include "ui/switches.h"

#include <array>

#include "ui/command_ids.h"

namespace zv {
namespace {

struct ButtonCommand {
    PanelButtonId button;
    int command;
};
constexpr std::array<ButtonCommand, PANEL_BUTTON_COUNT> BUTTON_COMMANDS = {{
    {PanelButtonId::Bypass, cmd::BYPASS},
    {PanelButtonId::BassEq, cmd::BASS_EQ},
    {PanelButtonId::BassPhase, cmd::BASS_PHASE},
    {PanelButtonId::StEnhance, cmd::STEREO_ENHANCE},
    {PanelButtonId::Deemphasis, cmd::DEEMPHASIS},
    {PanelButtonId::ContPlay, cmd::CONTINUOUS_PLAYBACK},
    {PanelButtonId::NoiseGate, cmd::NOISE_GATE},
    {PanelButtonId::VirtualRoom, cmd::VIRTUAL_ROOM},
    {PanelButtonId::Init, cmd::INIT_VIRTUAL_ROOM},
}};

// The flag a switch toggles, const or not as the records are.
template <typename Params, typename List>
auto& flag(Params& params, List& playlist, PanelButtonId id) {
    auto& sw = params.switches;
    switch (id) {
        case PanelButtonId::Bypass:
            return sw.bypass;
        case PanelButtonId::BassEq:
            return sw.bass_eq_off;
        case PanelButtonId::BassPhase:
            return sw.bass_phase;
        case PanelButtonId::StEnhance:
            return sw.stereo_enhance;
        case PanelButtonId::Deemphasis:
            return sw.deemphasis;
        case PanelButtonId::ContPlay:
            return playlist.continuous_playback;
        case PanelButtonId::NoiseGate:
            return sw.noise_gate;
        case PanelButtonId::VirtualRoom:
        case PanelButtonId::Init:
            break;
    }
    return sw.virtual_room;
}

}  // namespace

int panel_button_command(PanelButtonId id) {
    return BUTTON_COMMANDS[static_cast<size_t>(id)].command;
}

std::optional<PanelButtonId> switch_of_command(int command) {
    for (const ButtonCommand& b : BUTTON_COMMANDS) {
        if (b.command == command && b.button != PanelButtonId::Init) {
            return b.button;
        }
    }
    return std::nullopt;
}

void toggle_switch(ProcessorParams& params, Playlist& playlist, PanelButtonId id) {
    int32_t& f = flag(params, playlist, id);
    f = f != 0 ? 0 : 1;
}

bool switch_on(const ProcessorParams& params, const Playlist& playlist, PanelButtonId id) {
    const int32_t f = flag(params, playlist, id);
    return id == PanelButtonId::BassEq ? f == 0 : f != 0;
}

}  // namespace zv
