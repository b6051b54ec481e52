#include "ui/menus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

#include "ui/command_ids.h"
#include "ui/commands.h"

namespace zv {
namespace {

using K = MenuEntryKind;

// The captions are the Japanese of the menu bar, marked for the translation catalogue; the
// installed translator gives the English menu its captions at display.
constexpr char MENU_CONTEXT[] = "Menu";

constexpr MenuEntry item(int command) {
    return {K::Item, command};
}
constexpr MenuEntry submenu(const char* caption, char mnemonic) {
    return {K::Submenu, 0, caption, mnemonic};
}
constexpr MenuEntry presets(FactoryPresetGroup group) {
    return {K::Presets, 0, nullptr, 0, group};
}
constexpr MenuEntry SEPARATOR{K::Separator};
constexpr MenuEntry END{K::EndSubmenu};

constexpr MenuEntry MAIN_MENU[] = {
    submenu(QT_TRANSLATE_NOOP("Menu", "ファイル"), 'F'),
    item(cmd::OPEN_PLAYLIST),
    item(cmd::SAVE_PLAYLIST),
    SEPARATOR,
    item(cmd::ADD_SONG_FILES),
    SEPARATOR,
    item(cmd::SOUND_DEVICE_SETTINGS),
    // The program's own addition: the language, each name in its own language.
    submenu(QT_TRANSLATE_NOOP("Menu", "言語 (Language)"), 'L'),
    item(cmd::LANGUAGE_AUTOMATIC),
    item(cmd::LANGUAGE_ENGLISH),
    item(cmd::LANGUAGE_JAPANESE),
    END,
    SEPARATOR,
    item(cmd::QUIT),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "パラメータ"), 'P'),
    item(cmd::OPEN_PARAMETER_FILE),
    item(cmd::SAVE_PARAMETER_FILE),
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "★推奨のサウンド設定"), 'R'),
    submenu(QT_TRANSLATE_NOOP("Menu", "デジタル 放送をシミュレート"), 'D'),
    presets(FactoryPresetGroup::DigitalBroadcast),
    END,
    submenu(QT_TRANSLATE_NOOP("Menu", "インターネットラジオ用"), 'I'),
    presets(FactoryPresetGroup::InternetRadio),
    END,
    submenu(QT_TRANSLATE_NOOP("Menu", "FM 放送をシミュレート（エンファシス）"), 'F'),
    presets(FactoryPresetGroup::FmStation),
    END,
    END,
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "ユーザープリセット呼び出し"), 'U'),
    item(cmd::USE_USER_PRESET_1),
    item(cmd::USE_USER_PRESET_2),
    item(cmd::USE_USER_PRESET_3),
    END,
    submenu(QT_TRANSLATE_NOOP("Menu", "ユーザープリセット記録"), 'M'),
    item(cmd::SAVE_USER_PRESET_1),
    item(cmd::SAVE_USER_PRESET_2),
    item(cmd::SAVE_USER_PRESET_3),
    END,
    SEPARATOR,
    item(cmd::BYPASS),
    item(cmd::BASS_EQ),
    item(cmd::BASS_PHASE),
    item(cmd::STEREO_ENHANCE),
    SEPARATOR,
    item(cmd::VIRTUAL_ROOM),
    item(cmd::INIT_VIRTUAL_ROOM),
    SEPARATOR,
    item(cmd::ONAIR),
    SEPARATOR,
    item(cmd::DEEMPHASIS),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "再生リスト"), 'L'),
    item(cmd::PLAY),
    item(cmd::STOP),
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "曲選択"), 'C'),
    item(cmd::CHOOSE_PREVIOUS),
    item(cmd::CHOOSE_NEXT),
    END,
    item(cmd::CONTINUOUS_PLAYBACK),
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "曲順"), 'M'),
    item(cmd::MOVE_UP),
    item(cmd::MOVE_DOWN),
    END,
    SEPARATOR,
    item(cmd::DELETE_SONG),
    submenu(QT_TRANSLATE_NOOP("Menu", "リストをファイル名でソート"), 'R'),
    item(cmd::SORT_ASCENDING),
    item(cmd::SORT_DESCENDING),
    END,
    SEPARATOR,
    item(cmd::PEAK_LEVEL),
    SEPARATOR,
    item(cmd::REMOVE_ALL),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "エクスポート"), 'E'),
    item(cmd::EXPORT_SONG),
    SEPARATOR,
    item(cmd::EXPORT_ALL),
    SEPARATOR,
    item(cmd::EXTERNAL_ENCODER_SETTINGS),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "ヘルプ"), 'H'),
    item(cmd::ABOUT),
    SEPARATOR,
    item(cmd::MANUAL),
    item(cmd::LATEST_VERSION),
    END,
};

constexpr PresetGroupMenu PRESET_GROUPS[] = {
    {FactoryPresetGroup::DigitalBroadcast, 605, ToolbarImage::PresetDigital},
    {FactoryPresetGroup::InternetRadio, 604, ToolbarImage::PresetInternet},
    {FactoryPresetGroup::FmStation, 606, ToolbarImage::PresetFm},
};

QString translated(const char* caption) {
    return QCoreApplication::translate(MENU_CONTEXT, caption);
}

bool latin(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

// Builds entries[at..] into menu until the matching EndSubmenu; returns the index after it.
size_t build_level(QMenu& menu, std::span<const MenuEntry> entries, size_t at,
                   const std::function<QAction*(int)>& action_of) {
    while (at < entries.size()) {
        const MenuEntry& e = entries[at++];
        switch (e.kind) {
            case K::EndSubmenu:
                return at;
            case K::Separator:
                menu.addSeparator();
                break;
            case K::Submenu: {
                QMenu* sub = menu.addMenu(with_mnemonic(translated(e.caption), e.mnemonic));
                at = build_level(*sub, entries, at, action_of);
                break;
            }
            case K::Presets:
                for (const FactoryPresetInfo& p : factory_preset_list()) {
                    if (p.group == e.group) {
                        menu.addAction(action_of(p.id));
                    }
                }
                break;
            case K::Item:
                menu.addAction(action_of(e.command));
                break;
        }
    }
    return at;
}

}  // namespace

std::span<const MenuEntry> main_menu_entries() {
    return MAIN_MENU;
}

std::span<const PresetGroupMenu> preset_group_menus() {
    return PRESET_GROUPS;
}

int preset_button_command(FactoryPresetGroup group) {
    for (const FactoryPresetInfo& p : factory_preset_list()) {
        if (p.group == group) {
            return p.id;
        }
    }
    return DEFAULT_FACTORY_PRESET_ID;
}

const PresetGroupMenu* preset_group_of_button(int command) {
    for (const PresetGroupMenu& g : PRESET_GROUPS) {
        if (preset_button_command(g.group) == command) {
            return &g;
        }
    }
    return nullptr;
}

void build_preset_popup(QMenu& menu, FactoryPresetGroup group, std::vector<QAction*>& actions) {
    for (const FactoryPresetInfo& p : factory_preset_list()) {
        if (p.group == group) {
            QAction* a = menu.addAction(QString::fromUtf8(p.menu_text));
            a->setData(p.id);
            actions.push_back(a);
        }
    }
}

void build_menu_bar(QMenuBar& menu_bar, const std::function<QAction*(int)>& action_of) {
    const std::span<const MenuEntry> entries = main_menu_entries();
    size_t at = 0;
    while (at < entries.size()) {
        const MenuEntry& e = entries[at++];
        if (e.kind != K::Submenu) {
            continue;  // the bar holds only its menus
        }
        QMenu* menu = menu_bar.addMenu(with_mnemonic(translated(e.caption), e.mnemonic));
        at = build_level(*menu, entries, at, action_of);
    }
}

std::vector<CommandShortcut> command_shortcuts() {
    std::vector<CommandShortcut> shortcuts;
    for (const CommandRow& row : command_table()) {
        if (row.shortcut != nullptr) {
            shortcuts.push_back({row.id, row.shortcut});
        }
    }
    return shortcuts;
}

QString with_mnemonic(const QString& caption, char letter) {
    if (letter == 0) {
        return caption;
    }
    if (latin(caption)) {
        const QChar wanted = QChar::fromLatin1(letter).toLower();
        for (qsizetype i = 0; i < caption.size(); ++i) {
            if (caption[i] == QLatin1Char('&')) {
                ++i;  // "&&" is a shown "&"
                continue;
            }
            if (caption[i].toLower() == wanted) {
                return caption.left(i) + QLatin1Char('&') + caption.mid(i);
            }
        }
    }
    qsizetype end = caption.size();
    while (end > 0 && caption[end - 1] == QLatin1Char('.')) {
        --end;
    }
    const QString mark = QStringLiteral("(&%1)").arg(QChar::fromLatin1(letter).toUpper());
    return caption.left(end) + mark + caption.mid(end);
}

QString without_mnemonic(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption[i];
        if (c == QLatin1Char('(') && i + 3 < caption.size() && caption[i + 1] == QLatin1Char('&') &&
            caption[i + 3] == QLatin1Char(')')) {
            i += 3;
            continue;
        }
        if (c == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
                out += QStringLiteral("&&");
                ++i;
            }
            continue;
        }
        out += c;
    }
    return out;
}

QString menu_caption(int command) {
    const CommandRow* row = find_command(command);
    if (row == nullptr || row->caption == nullptr) {
        return {};
    }
    return translated(row->caption);
}

int action_command(const QAction* action) {
    return action != nullptr ? action->data().toInt() : 0;
}

}  // namespace zv
