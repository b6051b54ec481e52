// The panel's eight switches and INIT as commands: the command each button sends (the same as
// its menu item's), and the one place where a switch is toggled and read.
#pragma once

#include <optional>

#include "engine/processor_params.h"
#include "sources/playlist.h"
#include "ui/panel_layout.h"

namespace zv {

// The command a panel button sends.
int panel_button_command(PanelButtonId id);
// The switch a command toggles; nullopt for every other command (INIT included).
std::optional<PanelButtonId> switch_of_command(int command);

// Toggles a switch between 0 and 1. CONT. PLAY is the playlist's; the others are the
// processor's (BASS EQ toggles bass_eq_off).
void toggle_switch(ProcessorParams& params, Playlist& playlist, PanelButtonId id);
// Whether a switch is on: BASS EQ while bass_eq_off is 0, the others while their flag is set.
bool switch_on(const ProcessorParams& params, const Playlist& playlist, PanelButtonId id);

}  // namespace zv
