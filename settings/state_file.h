// The state file's two moments: loaded once at start-up (after the processor's start-up
// values are in place) and saved once at exit, after the temp folder has been emptied.
#pragma once

#include "settings/program_folders.h"
#include "settings/settings_file.h"

namespace zv {

// Loads zvmp3.prf from the start folder as the state file. A missing or foreign file leaves
// the values in memory (the derived values are recomputed unless the magic was wrong).
LoadResult load_state_file(ProgramState& s, const ProgramFolders& folders, const BeepHook& beep);

// Empties tempwav/ (clean_temp_folder; what it found goes to cleaned when given) and then
// saves zvmp3.prf in the start folder.
SaveResult save_state_at_exit(ProgramState& s, const ProgramFolders& folders,
                              TempCleanResult* cleaned = nullptr);

}  // namespace zv
