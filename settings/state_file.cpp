#include "settings/state_file.h"

namespace zv {

LoadResult load_state_file(ProgramState& s, const ProgramFolders& folders, const BeepHook& beep) {
    return load_settings_file(s, state_file_path(folders), SettingsFileKind::State, beep);
}

SaveResult save_state_at_exit(ProgramState& s, const ProgramFolders& folders,
                              TempCleanResult* cleaned) {
    const TempCleanResult r = clean_temp_folder(temp_folder_path(folders));
    if (cleaned != nullptr) {
        *cleaned = r;
    }
    return save_settings_file(s, state_file_path(folders));
}

}  // namespace zv
