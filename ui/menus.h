// The window's menu bar and the toolbar's three drop-down preset menus, as data: the menu bar
// is one table of entries in display order (separators and submenus are entries of their own)
// naming the commands whose rows (commands.h) give the items their captions, images and keys;
// the factory presets come from the preset table, group by group. Menus show Alt mnemonics in
// both languages: "&File" in English, "ファイル(&F)" in Japanese.
#pragma once

#include <QKeySequence>
#include <QString>
#include <functional>
#include <span>
#include <vector>

#include "engine/factory_presets.h"
#include "ui/skin_id.h"

class QAction;
class QMenu;
class QMenuBar;

namespace zv {

enum class MenuEntryKind { Item, Separator, Submenu, EndSubmenu, Presets };

struct MenuEntry {
    MenuEntryKind kind;
    int command = 0;                // Item
    const char* caption = nullptr;  // Submenu (UTF-8, catalogue context "Menu")
    char mnemonic = 0;              // Submenu
    FactoryPresetGroup group = FactoryPresetGroup::FmStation;  // Presets: the group's items
};

// The menu bar: the top-level menus are Submenu entries at depth 0.
std::span<const MenuEntry> main_menu_entries();

// A group of factory presets: its submenu in the menu bar, its drop-down menu on the toolbar
// (whose button's face applies the group's first preset) and their images.
struct PresetGroupMenu {
    FactoryPresetGroup group;
    int popup_menu_id;  // 605, 604 or 606
    ToolbarImage toolbar_image;
};
std::span<const PresetGroupMenu> preset_group_menus();
// The group whose drop-down button sends `command`, or null.
const PresetGroupMenu* preset_group_of_button(int command);
// The command of a group's drop-down button: its first preset.
int preset_button_command(FactoryPresetGroup group);
// Fills a drop-down menu with its group's presets, each a new action whose data() is the
// preset's number and whose text is the preset table's menu text.
void build_preset_popup(QMenu& menu, FactoryPresetGroup group, std::vector<QAction*>& actions);

// Builds the menu bar from the entries; `action_of` gives each command's action.
void build_menu_bar(QMenuBar& menu_bar, const std::function<QAction*(int)>& action_of);

// Keys that reach a command from anywhere in the window, in addition to the playlist view's
// own keys (Space, Up, Down, Shift+Up/Down, Delete), which they never take.
struct CommandShortcut {
    int command;
    const char* keys;  // portable text, as QKeySequence reads it
};
std::vector<CommandShortcut> command_shortcuts();

// A caption with its Alt letter marked: in a caption of Latin letters the first occurrence of
// the letter (any case) is marked ("&File"); other captions get "(&F)", before a trailing
// ellipsis. Letter 0 leaves the caption as it is.
QString with_mnemonic(const QString& caption, char letter);
// The caption without the mark ("(&F)" and a single "&" go; "&&" stays).
QString without_mnemonic(const QString& caption);

// The caption of a command's menu item in the window's language, without its mnemonic
// (empty when it has none).
QString menu_caption(int command);

// The command number an action of these menus carries (0 for none).
int action_command(const QAction* action);

}  // namespace zv
