#include "settings/user_presets.h"

namespace zv {

void redo_rate_setup(Processor& p, int sample_rate) {
    load_rate_coefficients(p, sample_rate);
    bind_band_state(p);
    apply_release_setting(p);
    apply_final_lpf(p);
    p.params.bass_eq_rate_hz = sample_rate;
    design_bass_eq(p);
}

LoadResult use_user_preset(ProgramState& s, const ProgramFolders& folders, int n, int sample_rate,
                           const BeepHook& beep) {
    if (n < 1 || n > USER_PRESET_COUNT) {
        return LoadResult::Missing;
    }
    const LoadResult result =
        load_settings_file(s, user_preset_path(folders, n), SettingsFileKind::UserPreset, beep);
    redo_rate_setup(s.processor, sample_rate);
    return result;
}

SaveResult save_user_preset(ProgramState& s, const ProgramFolders& folders, int n) {
    if (n < 1 || n > USER_PRESET_COUNT) {
        return SaveResult{false, "no user preset " + std::to_string(n)};
    }
    if (!ensure_users_folder(folders)) {
        return SaveResult{false, "cannot create the folder " + users_folder_path(folders).string()};
    }
    return save_settings_file(s, user_preset_path(folders, n));
}

}  // namespace zv
