// The three user presets: parameter files at fixed places below the start folder. The
// confirmation question before saving belongs to the window.
#pragma once

#include "settings/program_folders.h"
#include "settings/settings_file.h"

namespace zv {

// Loads users/user_preset_N.zv3 as a parameter file (a missing file changes nothing), then
// redoes the per-rate setup for sample_rate, the rate of the playlist entry at current_index:
// that happens whether or not the file was there. n outside 1..3 does nothing and returns
// Missing.
LoadResult use_user_preset(ProgramState& s, const ProgramFolders& folders, int n, int sample_rate,
                           const BeepHook& beep);

// Creates users/ when needed and saves the current values as users/user_preset_N.zv3.
SaveResult save_user_preset(ProgramState& s, const ProgramFolders& folders, int n);

// The per-rate part of the rate-change sequence, without the state reset: rate coefficients,
// band state, release setting, final low-pass, and the bass EQ redesigned at the rate.
void redo_rate_setup(Processor& p, int sample_rate);

}  // namespace zv
