// The command numbers. Every action of the program ends as one of these: menu items, toolbar
// buttons, the playlist view's keys and the panel's transport buttons send the same numbers
// to run_command (commands.h).
#pragma once

namespace zv::cmd {

constexpr int DEEMPHASIS = 182;
constexpr int PRESET_SMOOTH_FM = 232;  // the factory presets: 232 and 334..343
constexpr int PRESET_FIRST = 334;
constexpr int PRESET_LAST = 343;
constexpr int EXTERNAL_ENCODER_SETTINGS = 269;
constexpr int ABOUT = 301;
constexpr int CONTINUOUS_PLAYBACK = 302;
constexpr int BASS_EQ = 303;
constexpr int BYPASS = 307;
constexpr int USE_USER_PRESET_1 = 315;  // 315..317
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
constexpr int SAVE_USER_PRESET_1 = 348;  // 348..350
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

// Commands this program adds: the window's language, kept in the INI file.
constexpr int LANGUAGE_AUTOMATIC = 40201;
constexpr int LANGUAGE_ENGLISH = 40202;
constexpr int LANGUAGE_JAPANESE = 40203;

}  // namespace zv::cmd
