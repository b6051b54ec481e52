// The command layer: one table with a row per command (its number, menu caption, mnemonic,
// image, shortcut, what it needs, whether it holds the engine's timers, and its handler).
// Every user action is a command run by run_command, whoever sends it (menu, toolbar,
// shortcut, the playlist view's keys, the panel's buttons, a test); one guard,
// command_available, decides from the row whether it can run now, and the window greys the
// actions of the commands that cannot.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ui/app_context.h"
#include "ui/command_ids.h"
#include "ui/skin_id.h"

namespace zv {

// What a command needs of the program's state; a row's `needs` combines them.
enum Need : unsigned {
    NEED_NOTHING = 0,
    NEED_STOPPED = 1u << 0,           // the engine idle
    NEED_PLAYING = 1u << 1,           // the engine busy (playing or draining)
    NEED_SONGS = 1u << 2,             // a song in the list
    NEED_SELECTION = 1u << 3,         // the selected row is a song of the list
    NEED_NOT_ON_AIR = 1u << 4,        // the list commands, greyed in ON AIR mode
    NEED_NOT_PLAYING_SONG = 1u << 5,  // the selection is not the song playing
    NEED_NOT_FIRST = 1u << 6,         // the selection is not the first row
    NEED_NOT_LAST = 1u << 7,          // the selection is not the last row
};

struct CommandRow;

// What a handler works on: the program's objects, the window (a do-nothing one without a
// window) and its own row.
struct CommandScope {
    AppContext& ctx;
    WindowServices& window;
    const CommandRow& row;
};
using CommandHandler = bool (*)(CommandScope&);

struct CommandRow {
    int id;
    const char* caption;  // the menu caption (catalogue context "Menu"), null for none
    char mnemonic;        // its Alt letter, 0 for none
    SkinId image;
    const char* shortcut;  // portable key text as QKeySequence reads it, null for none
    unsigned needs;
    bool holds_engine_timers;  // stops the next-song and ON AIR timers before it runs
    CommandHandler handler;
    int number = 0;  // the user preset a user-preset row works on
};

// Every command, the factory presets among them (from the preset table).
std::span<const CommandRow> command_table();
const CommandRow* find_command(int id);

// Whether command id can run now (false for a number no row has).
bool command_available(const AppContext& ctx, int id);
// Whether a command switches something on and off (the panel's switches, ON AIR mode), and
// its state now (nullopt for the other commands).
bool command_is_toggle(int id);
std::optional<bool> command_checked(const AppContext& ctx, int id);

// Runs command id when it is available (holding the engine's timers first when its row says
// so). Returns false when the command is unknown, unavailable, or refused by the user or by
// the work it does.
bool run_command(AppContext& ctx, int id);

// The commands greyed in ON AIR mode.
std::vector<int> list_commands();

// Songs and playlist files handed to the program (command line, "Open with"): added as a drop
// adds them; a ".plt" file opens as a playlist. The view is refreshed afterwards.
void open_paths(AppContext& ctx, const std::vector<std::string>& paths);

// Starts the selected song when the engine is idle and the selection is valid.
bool play_selected(AppContext& ctx);

}  // namespace zv
