// The command layer: every user action is a numbered command run by run_command, whoever sends
// it (menu, toolbar, the playlist view's keys, the panel's transport buttons, a test). Each
// command checks its own guards (a stopped engine, a non-empty list, ...) and does nothing
// otherwise; commands that change a switch, a preset or the selection redraw the panel.
#pragma once

#include <string>
#include <vector>

#include "ui/app_context.h"
#include "ui/command_ids.h"

namespace zv {

// Runs command id. Returns false when the command is unknown or refused by its guards (or
// by the user, for the commands that ask first). The commands that need the window (dialogs,
// file choosers, the manual) go to WindowServices::run_window_command.
bool run_command(AppContext& ctx, int id);

// Songs and playlist files handed to the program (command line, "Open with"): added as a drop
// adds them; a ".plt" file opens as a playlist. The view is refreshed afterwards.
void open_paths(AppContext& ctx, const std::vector<std::string>& paths);

// Starts the selected song when the engine is idle and the selection is valid.
bool play_selected(AppContext& ctx);

}  // namespace zv
