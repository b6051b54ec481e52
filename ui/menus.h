// The window's menu bar (menu 602, Japanese captions), the three drop-down preset menus of the
// toolbar (604, 605, 606), and the keyboard shortcuts, all as data: one table per menu in
// display order, with separators and submenus as entries of their own. The builders turn the
// tables into Qt menus whose actions carry their command number; the window connects them to
// the command layer.
#pragma once

#include <QKeySequence>
#include <QString>
#include <span>
#include <vector>

#include "ui/skin_id.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace zv {

class Skin;

enum class MenuEntryKind { Item, Separator, Submenu, EndSubmenu };

struct MenuEntry {
    MenuEntryKind kind;
    int command = 0;                // Item
    const char* caption = nullptr;  // Item and Submenu (UTF-8); "&&" shows one "&"
    SkinId image = SkinId::None;    // the item's image
};

// Menu 602: the top-level menus are Submenu entries at depth 0.
std::span<const MenuEntry> main_menu_entries();

// The drop-down menus of the three preset buttons of the toolbar.
struct PresetPopup {
    int button_command;  // 339, 335 or 232: what the button's face applies
    int menu_id;         // 605, 604 or 606
    std::span<const MenuEntry> items;
};
std::span<const PresetPopup> preset_popups();
const PresetPopup* preset_popup_for(int button_command);

// Keys that reach a command from anywhere in the window, in addition to the playlist view's
// own keys (Space, Up, Down, Shift+Up/Down, Delete), which they never take.
struct CommandShortcut {
    int command;
    const char* keys;  // portable text, as QKeySequence reads it
};
std::span<const CommandShortcut> command_shortcuts();
QKeySequence shortcut_for(int command);  // empty when the command has none

// The commands greyed in ON AIR mode (menu items and toolbar buttons alike).
std::span<const int> list_commands();
bool is_list_command(int command);

// Builds the entries into menu_bar (or a popup menu). Every item becomes one QAction whose
// data() is its command number, with the skin's image and its shortcut; created actions are
// appended to `actions`.
void build_menu_bar(QMenuBar& menu_bar, const Skin& skin, std::vector<QAction*>& actions);
void build_menu(QMenu& menu, std::span<const MenuEntry> entries, const Skin* skin,
                std::vector<QAction*>& actions);

// The caption of a command's item in menu 602 (empty when it has none).
QString menu_caption(int command);

// The command number an action of these menus carries (0 for none).
int action_command(const QAction* action);

}  // namespace zv
