// The command numbers. Every action of the program ends as one of these: menu items, toolbar
// buttons, the playlist view's keys and the panel's transport and switch buttons send the same
// numbers to run_command (commands.h). The factory presets are commands too, by the preset
// table's own numbers (engine/factory_presets.h).
#pragma once

#include "engine/factory_presets.h"

namespace zv::cmd {

constexpr int DEEMPHASIS = 182;
constexpr int PRESET_SMOOTH_FM = preset_id::FM_SMOOTH_LISTENING;
constexpr int EXTERNAL_ENCODER_SETTINGS = 269;
constexpr int ABOUT = 301;
constexpr int CONTINUOUS_PLAYBACK = 302;
constexpr int BASS_EQ = 303;
constexpr int BYPASS = 307;
constexpr int USE_USER_PRESET_1 = 315;
constexpr int USE_USER_PRESET_2 = 316;
constexpr int USE_USER_PRESET_3 = 317;
constexpr int CHOOSE_NEXT = 318;
constexpr int PEAK_LEVEL = 320;
constexpr int OPEN_PLAYLIST = 321;
constexpr int OPEN_PARAMETER_FILE = 322;
constexpr int EXPORT_SONG = 323;
constexpr int EXPORT_ALL = 324;
constexpr int MOVE_DOWN = 325;
constexpr int MOVE_UP = 326;
constexpr int ONAIR = 328;
constexpr int ADD_SONG_FILES = 331;
constexpr int BASS_PHASE = 332;
constexpr int PLAY = 333;
constexpr int QUIT = 345;
constexpr int MANUAL = 346;
constexpr int SAVE_USER_PRESET_1 = 348;
constexpr int SAVE_USER_PRESET_2 = 349;
constexpr int SAVE_USER_PRESET_3 = 350;
constexpr int DELETE_SONG = 352;
constexpr int SAVE_PLAYLIST = 354;
constexpr int SAVE_PARAMETER_FILE = 355;
constexpr int SOUND_DEVICE_SETTINGS = 358;
constexpr int SORT_ASCENDING = 359;
constexpr int SORT_DESCENDING = 360;
constexpr int STEREO_ENHANCE = 363;
constexpr int STOP = 364;
constexpr int LATEST_VERSION = 365;
constexpr int CHOOSE_PREVIOUS = 366;
constexpr int VIRTUAL_ROOM = 40118;
constexpr int INIT_VIRTUAL_ROOM = 40120;
constexpr int REMOVE_ALL = 40125;

// Commands this program adds: the window's language, kept in the INI file, and the noise
// gate's switch (the panel's NOISE GATE button).
constexpr int LANGUAGE_AUTOMATIC = 40201;
constexpr int LANGUAGE_ENGLISH = 40202;
constexpr int LANGUAGE_JAPANESE = 40203;
constexpr int NOISE_GATE = 40204;

}  // namespace zv::cmd
