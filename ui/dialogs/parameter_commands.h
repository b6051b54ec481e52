// The commands that read and write parameter files through dialogs: Open Parameter File (with
// the question before a file may change the external encoder), Save Parameter File, and Save
// user preset N with its question. Each returns true when it changed or wrote something.
#pragma once

#include "settings/ini_settings.h"
#include "settings/program_folders.h"
#include "settings/settings_file.h"

class QWidget;

namespace zv {

class DialogHost;

struct ParameterCommandContext {
    ProgramState state;
    const ProgramFolders& folders;
    const IniSettings& ini;
    DialogHost& host;
    QWidget* parent = nullptr;
    BeepHook beep;  // a file that is not a parameter file
};

// Chooses a file (key ParamFileDir) and loads it as a parameter file. When the file asks to
// turn the external encoder on or to change its program or arguments, the user is asked
// first; without a yes the encoder settings in force stay. Nothing else follows the load (the
// caller repaints the panel if it wants).
bool open_parameter_file(ParameterCommandContext& c);

// Chooses a file (key ParamFileSaveDir) and saves the parameters to it; a failed write is
// reported.
bool save_parameter_file(ParameterCommandContext& c);

// Asks "ユーザープリセットNに現在のパラメータを保存しまず…"; on OK makes users/ when needed and
// saves users/user_preset_N.zv3. Cancel writes nothing and makes no folder.
bool save_user_preset_asking(ParameterCommandContext& c, int n);

}  // namespace zv
