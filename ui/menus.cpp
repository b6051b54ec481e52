#include "ui/menus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>

#include "ui/command_ids.h"
#include "ui/skin.h"

namespace zv {
namespace {

using K = MenuEntryKind;

// The captions are the Japanese of menu 602, marked for the translation catalogue; the
// installed translator gives the English menu (603) its captions at display.
constexpr char MENU_CONTEXT[] = "Menu";

QString caption_text(const char* caption) {
    return QCoreApplication::translate(MENU_CONTEXT, caption);
}

constexpr MenuEntry item(int command, const char* caption, SkinId image = SkinId::None) {
    return {K::Item, command, caption, image};
}
constexpr MenuEntry submenu(const char* caption) {
    return {K::Submenu, 0, caption, SkinId::None};
}
constexpr MenuEntry SEPARATOR{K::Separator};
constexpr MenuEntry END{K::EndSubmenu};

// The images of the preset groups: digital broadcast, internet radio, FM.
constexpr SkinId IMAGE_DIGITAL = SkinId::MenuPresetDigital;
constexpr SkinId IMAGE_INTERNET = SkinId::MenuPresetInternet;
constexpr SkinId IMAGE_FM = SkinId::MenuPresetFm;

constexpr MenuEntry MAIN_MENU[] = {
    submenu(QT_TRANSLATE_NOOP("Menu", "ファイル")),
    item(cmd::OPEN_PLAYLIST, QT_TRANSLATE_NOOP("Menu", "再生リストを開く"),
         SkinId::MenuOpenPlaylist),
    item(cmd::SAVE_PLAYLIST, QT_TRANSLATE_NOOP("Menu", "再生リストを保存"),
         SkinId::MenuSavePlaylist),
    SEPARATOR,
    item(cmd::ADD_SONG_FILES, QT_TRANSLATE_NOOP("Menu", "WAV/MP3ファイルをリストに登録"),
         SkinId::MenuAddFiles),
    SEPARATOR,
    item(cmd::SOUND_DEVICE_SETTINGS, QT_TRANSLATE_NOOP("Menu", "サウンドデバイスの設定"),
         SkinId::MenuDeviceSettings),
    // The program's own addition: the language, each name in its own language.
    submenu(QT_TRANSLATE_NOOP("Menu", "言語 (Language)")),
    item(cmd::LANGUAGE_AUTOMATIC, QT_TRANSLATE_NOOP("Menu", "自動 (Automatic)")),
    item(cmd::LANGUAGE_ENGLISH, "English"),
    item(cmd::LANGUAGE_JAPANESE, "日本語"),
    END,
    SEPARATOR,
    item(cmd::QUIT, QT_TRANSLATE_NOOP("Menu", "終了")),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "パラメータ")),
    item(cmd::OPEN_PARAMETER_FILE, QT_TRANSLATE_NOOP("Menu", "パラメータファイルを開く"),
         SkinId::MenuOpenParams),
    item(cmd::SAVE_PARAMETER_FILE, QT_TRANSLATE_NOOP("Menu", "パラメータをファイルに保存"),
         SkinId::MenuSaveParams),
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "★推奨のサウンド設定")),
    submenu(QT_TRANSLATE_NOOP("Menu", "デジタル 放送をシミュレート")),
    item(339, "Wide Stereo(Genetral Purpose)", IMAGE_DIGITAL),
    item(336, "Punchy Bass（Hip-Hop Music）", IMAGE_DIGITAL),
    item(338, "Bright and Dense（Rock Music）", IMAGE_DIGITAL),
    item(337, "Clear Vocal（POP Music）", IMAGE_DIGITAL),
    END,
    submenu(QT_TRANSLATE_NOOP("Menu", "インターネットラジオ用")),
    item(335, "Internet Radio Station - Talk && Music Show", IMAGE_INTERNET),
    item(334, "AM Radio Station - Talk Show", IMAGE_INTERNET),
    END,
    submenu(QT_TRANSLATE_NOOP("Menu", "FM 放送をシミュレート（エンファシス）")),
    item(cmd::PRESET_SMOOTH_FM, "Smooth Listening(Favorite FM)", IMAGE_FM),
    item(343, "Wide Stereo(Genetral Purpose)", IMAGE_FM),
    item(340, "Punchy Bass（Hip-Hop Music）", IMAGE_FM),
    item(342, "Bright and Dense（Rock Music）", IMAGE_FM),
    item(341, "Clear Vocal（POP Music）", IMAGE_FM),
    END,
    END,
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "ユーザープリセット呼び出し")),
    item(cmd::USE_USER_PRESET_1, QT_TRANSLATE_NOOP("Menu", "プリセット１"), SkinId::MenuUser1),
    item(cmd::USE_USER_PRESET_1 + 1, QT_TRANSLATE_NOOP("Menu", "プリセット２"), SkinId::MenuUser2),
    item(cmd::USE_USER_PRESET_3, QT_TRANSLATE_NOOP("Menu", "プリセット３"), SkinId::MenuUser3),
    END,
    submenu(QT_TRANSLATE_NOOP("Menu", "ユーザープリセット記録")),
    item(cmd::SAVE_USER_PRESET_1, QT_TRANSLATE_NOOP("Menu", "ユーザープリセット１に保存"),
         SkinId::MenuUser1),
    item(cmd::SAVE_USER_PRESET_1 + 1, QT_TRANSLATE_NOOP("Menu", "ユーザープリセット２に保存"),
         SkinId::MenuUser2),
    item(cmd::SAVE_USER_PRESET_3, QT_TRANSLATE_NOOP("Menu", "ユーザープリセット３に保存"),
         SkinId::MenuUser3),
    END,
    SEPARATOR,
    item(cmd::BYPASS, QT_TRANSLATE_NOOP("Menu", "入力をバイパス ON/OFF"), SkinId::MenuBypass),
    item(cmd::BASS_EQ, QT_TRANSLATE_NOOP("Menu", "BASSブースト　ON/OFF"), SkinId::MenuBassEq),
    item(cmd::BASS_PHASE, QT_TRANSLATE_NOOP("Menu", "BASSフェーズシフタ ON/OFF"),
         SkinId::MenuBassPhase),
    item(cmd::STEREO_ENHANCE, QT_TRANSLATE_NOOP("Menu", "ステレオエンハンサ ON/OFF"),
         SkinId::MenuEnhancer),
    SEPARATOR,
    item(cmd::VIRTUAL_ROOM, QT_TRANSLATE_NOOP("Menu", "バーチャル スピーカー ON/OFF"),
         SkinId::MenuVirtualSpeaker),
    item(cmd::INIT_VIRTUAL_ROOM, QT_TRANSLATE_NOOP("Menu", "バーチャル スピーカー 初期化"),
         SkinId::MenuVirtualInit),
    SEPARATOR,
    item(cmd::ONAIR, QT_TRANSLATE_NOOP("Menu", "ON AIR モード..."), SkinId::MenuOnAir),
    SEPARATOR,
    item(cmd::DEEMPHASIS, QT_TRANSLATE_NOOP("Menu", "ディエンファシス　ON/OFF"),
         SkinId::MenuDeemphasis),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "再生リスト")),
    item(cmd::PLAY, QT_TRANSLATE_NOOP("Menu", "再生"), SkinId::MenuPlay),
    item(cmd::STOP, QT_TRANSLATE_NOOP("Menu", "停止"), SkinId::MenuStop),
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "曲選択")),
    item(cmd::CHOOSE_PREVIOUS, "UP", SkinId::MenuUp),
    item(cmd::CHOOSE_NEXT, "DOWN", SkinId::MenuDown),
    END,
    item(cmd::CONTINUOUS_PLAYBACK, QT_TRANSLATE_NOOP("Menu", "自動リスト再生 ON/OFF"),
         SkinId::MenuContinuous),
    SEPARATOR,
    submenu(QT_TRANSLATE_NOOP("Menu", "曲順")),
    item(cmd::MOVE_UP, "UP", SkinId::MenuUp),
    item(cmd::MOVE_DOWN, "DOWN", SkinId::MenuDown),
    END,
    SEPARATOR,
    item(cmd::DELETE_SONG, QT_TRANSLATE_NOOP("Menu", "リストから削除"), SkinId::MenuDelete),
    submenu(QT_TRANSLATE_NOOP("Menu", "リストをファイル名でソート")),
    item(cmd::SORT_ASCENDING, QT_TRANSLATE_NOOP("Menu", "昇順↓"), SkinId::MenuSortAscending),
    item(cmd::SORT_DESCENDING, QT_TRANSLATE_NOOP("Menu", "降順↑"), SkinId::MenuSortDescending),
    END,
    SEPARATOR,
    item(cmd::PEAK_LEVEL, QT_TRANSLATE_NOOP("Menu", "曲の正規化レベルを取得する"),
         SkinId::MenuPeakLevel),
    SEPARATOR,
    item(cmd::REMOVE_ALL, QT_TRANSLATE_NOOP("Menu", "リストの曲を全て消去"), SkinId::MenuRemoveAll),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "エクスポート")),
    item(cmd::EXPORT_SONG, QT_TRANSLATE_NOOP("Menu", "選択された曲をWAV/MP3ファイルに出力"),
         SkinId::MenuExportSong),
    SEPARATOR,
    item(cmd::EXPORT_ALL, QT_TRANSLATE_NOOP("Menu", "リストの全ての曲をWAV/MP3ファイルに出力"),
         SkinId::MenuExportAll),
    SEPARATOR,
    item(cmd::EXTERNAL_ENCODER_SETTINGS, QT_TRANSLATE_NOOP("Menu", "外部MP3エンコーダーの設定"),
         SkinId::MenuEncoderSettings),
    END,

    submenu(QT_TRANSLATE_NOOP("Menu", "ヘルプ")),
    item(cmd::ABOUT, QT_TRANSLATE_NOOP("Menu", "ZelvonicMP3 について"), SkinId::MenuAbout),
    SEPARATOR,
    item(cmd::MANUAL, QT_TRANSLATE_NOOP("Menu", "ユーザーズ マニュアル"), SkinId::MenuManual),
    item(cmd::LATEST_VERSION, QT_TRANSLATE_NOOP("Menu", "作者WEBサイトへ接続"), SkinId::MenuWeb),
    END,
};

constexpr MenuEntry POPUP_605[] = {
    item(339, "Digital Broadcast - Wide Stereo(Genetral Purpose)"),
    item(336, "Digital Broadcast - Punchy Bass(Hip-Hop Music)"),
    item(338, "Digital Broadcast - Bright and Dense(Rock Music)"),
    item(337, "Digital Broadcast - Clear Vocal(POP Music)"),
};
constexpr MenuEntry POPUP_604[] = {
    item(335, "Internet Radio Station - Talk && Music Show"),
    item(334, "AM Radio Station - Talk Show"),
};
constexpr MenuEntry POPUP_606[] = {
    item(232, "FM Station - Smooth Listening(Favorite FM)"),
    item(343, "FM Station - Wide Stereo(Genetral Purpose)"),
    item(340, "FM Station - Punchy Bass(Hip-Hop Music)"),
    item(342, "FM Station - Bright and Dense(Rock Music)"),
    item(341, "FM Station - Clear Vocal(POP Music)"),
};

const PresetPopup PRESET_POPUPS[] = {
    {339, 605, POPUP_605},
    {335, 604, POPUP_604},
    {232, 606, POPUP_606},
};

// Desktop conventions for the file commands, Quit and the manual; none of them is a key the
// playlist view or the panel uses.
constexpr CommandShortcut SHORTCUTS[] = {
    {cmd::OPEN_PLAYLIST, "Ctrl+O"},
    {cmd::SAVE_PLAYLIST, "Ctrl+S"},
    {cmd::ADD_SONG_FILES, "Ctrl+I"},
    {cmd::OPEN_PARAMETER_FILE, "Ctrl+Shift+O"},
    {cmd::SAVE_PARAMETER_FILE, "Ctrl+Shift+S"},
    {cmd::EXPORT_SONG, "Ctrl+E"},
    {cmd::EXPORT_ALL, "Ctrl+Shift+E"},
    {cmd::QUIT, "Ctrl+Q"},
    {cmd::MANUAL, "F1"},
};

constexpr int LIST_COMMANDS[] = {
    cmd::OPEN_PLAYLIST,   cmd::SAVE_PLAYLIST, cmd::ADD_SONG_FILES,      cmd::SOUND_DEVICE_SETTINGS,
    cmd::CHOOSE_PREVIOUS, cmd::CHOOSE_NEXT,   cmd::CONTINUOUS_PLAYBACK, cmd::MOVE_UP,
    cmd::MOVE_DOWN,       cmd::DELETE_SONG,   cmd::SORT_ASCENDING,      cmd::SORT_DESCENDING,
    cmd::PEAK_LEVEL,      cmd::EXPORT_SONG,   cmd::EXPORT_ALL,          cmd::REMOVE_ALL,
};

}  // namespace

std::span<const MenuEntry> main_menu_entries() {
    return MAIN_MENU;
}

std::span<const PresetPopup> preset_popups() {
    return PRESET_POPUPS;
}

const PresetPopup* preset_popup_for(int button_command) {
    for (const PresetPopup& p : PRESET_POPUPS) {
        if (p.button_command == button_command) {
            return &p;
        }
    }
    return nullptr;
}

std::span<const CommandShortcut> command_shortcuts() {
    return SHORTCUTS;
}

QKeySequence shortcut_for(int command) {
    for (const CommandShortcut& s : SHORTCUTS) {
        if (s.command == command) {
            return QKeySequence(QString::fromLatin1(s.keys));
        }
    }
    return {};
}

std::span<const int> list_commands() {
    return LIST_COMMANDS;
}

bool is_list_command(int command) {
    return std::find(std::begin(LIST_COMMANDS), std::end(LIST_COMMANDS), command) !=
           std::end(LIST_COMMANDS);
}

QString menu_caption(int command) {
    for (const MenuEntry& e : MAIN_MENU) {
        if (e.kind == K::Item && e.command == command) {
            return caption_text(e.caption);
        }
    }
    return {};
}

int action_command(const QAction* action) {
    return action != nullptr ? action->data().toInt() : 0;
}

namespace {

// Builds entries[at..] into menu until the matching EndSubmenu; returns the index after it.
size_t build_level(QMenu& menu, std::span<const MenuEntry> entries, size_t at, const Skin* skin,
                   std::vector<QAction*>& actions) {
    while (at < entries.size()) {
        const MenuEntry& e = entries[at++];
        switch (e.kind) {
            case K::EndSubmenu:
                return at;
            case K::Separator:
                menu.addSeparator();
                break;
            case K::Submenu: {
                QMenu* sub = menu.addMenu(caption_text(e.caption));
                at = build_level(*sub, entries, at, skin, actions);
                break;
            }
            case K::Item: {
                QAction* a = menu.addAction(caption_text(e.caption));
                a->setData(e.command);
                if (skin != nullptr && e.image != SkinId::None) {
                    a->setIcon(QIcon(skin->image(e.image)));
                }
                const QKeySequence keys = shortcut_for(e.command);
                if (!keys.isEmpty()) {
                    a->setShortcut(keys);
                }
                actions.push_back(a);
                break;
            }
        }
    }
    return at;
}

}  // namespace

void build_menu(QMenu& menu, std::span<const MenuEntry> entries, const Skin* skin,
                std::vector<QAction*>& actions) {
    build_level(menu, entries, 0, skin, actions);
}

void build_menu_bar(QMenuBar& menu_bar, const Skin& skin, std::vector<QAction*>& actions) {
    const std::span<const MenuEntry> entries = main_menu_entries();
    size_t at = 0;
    while (at < entries.size()) {
        const MenuEntry& e = entries[at++];
        if (e.kind != K::Submenu) {
            continue;  // the bar holds only its menus
        }
        QMenu* menu = menu_bar.addMenu(caption_text(e.caption));
        at = build_level(*menu, entries, at, &skin, actions);
    }
}

}  // namespace zv
