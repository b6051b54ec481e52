#include "ui/commands.h"

#include <QCoreApplication>
#include <algorithm>

#include "engine/factory_presets.h"
#include "settings/user_presets.h"
#include "sources/playlist_file.h"
#include "sources/song_rates.h"
#include "ui/dialogs/messages.h"
#include "ui/switches.h"

namespace zv {
namespace {

WindowServices& window_of(AppContext& ctx) {
    static WindowServices none;
    return ctx.window != nullptr ? *ctx.window : none;
}

// Ends a command that changed what the panel shows.
bool redraw(CommandScope& s) {
    s.window.redraw_panel();
    return true;
}

// Ends a command that changed the list's rows.
bool refresh(CommandScope& s) {
    s.window.refresh_playlist();
    return redraw(s);
}

// The rate the processor runs at for the song playing, or would for the current row.
int current_rate(const AppContext& ctx) {
    if (engine_busy(*ctx.engine)) {
        return ctx.engine->sample_rate;
    }
    const Playlist& pl = *ctx.playlist;
    // The chain's rate: a song at another rate plays resampled to it.
    const int current = pl.current_index;
    const int rate = current >= 0 && current < MAX_SONGS
                         ? chain_rate_for(pl.entries[static_cast<size_t>(current)].sample_rate)
                         : 0;
    return rate > 0 ? rate : 44100;
}

// The export, peak and playlist dialogs run modal loops in which the engine's timers would
// still fire: the next song of continuous play or the ON AIR auto start would then play
// through the processor an export's job is using, or change the list a job walks or a file is
// about to replace. The commands that open them stop both first.
void hold_engine_timers(AppContext& ctx) {
    ctx.driver.kill_timer(TIMER_NEXT_SONG);
    ctx.driver.kill_timer(TIMER_ONAIR_AUTOSTART);
}

// ---- handlers ----

bool toggle_panel_switch(CommandScope& s) {
    if (const std::optional<PanelButtonId> id = switch_of_command(s.row.id)) {
        toggle_switch(s.ctx.processor->params, *s.ctx.playlist, *id);
    }
    return redraw(s);
}

bool init_virtual_room(CommandScope& s) {
    reset_virtual_room(s.ctx.processor->params);
    return redraw(s);
}

bool factory_preset(CommandScope& s) {
    apply_factory_preset(*s.ctx.processor, s.row.id);
    return redraw(s);
}

bool use_preset(CommandScope& s) {
    ProgramState state = s.ctx.state();
    use_user_preset(state, s.ctx.folders, s.row.number, current_rate(s.ctx), {});
    return redraw(s);
}

bool choose_next_song(CommandScope& s) {
    return choose_next(*s.ctx.playlist) && redraw(s);
}

bool choose_previous_song(CommandScope& s) {
    return choose_previous(*s.ctx.playlist) && redraw(s);
}

bool move_down(CommandScope& s) {
    return move_selected_down(*s.ctx.playlist) && refresh(s);
}

bool move_up(CommandScope& s) {
    return move_selected_up(*s.ctx.playlist) && refresh(s);
}

bool delete_song(CommandScope& s) {
    return delete_selected(*s.ctx.playlist, s.ctx.engine_idle()) && refresh(s);
}

bool remove_all_songs(CommandScope& s) {
    return remove_all(*s.ctx.playlist, s.ctx.engine_idle()) && refresh(s);
}

bool sort_ascending(CommandScope& s) {
    sort_songs(*s.ctx.playlist, true);
    return refresh(s);
}

bool sort_descending(CommandScope& s) {
    sort_songs(*s.ctx.playlist, false);
    return refresh(s);
}

bool play(CommandScope& s) {
    return play_selected(s.ctx);
}

bool stop(CommandScope& s) {
    request_stop(*s.ctx.engine);
    return redraw(s);
}

bool onair(CommandScope& s) {
    // toggle_onair_mode refreshes the view itself.
    return toggle_onair_mode(*s.ctx.engine) && redraw(s);
}

bool quit(CommandScope& s) {
    s.window.close_window();
    return true;
}

bool add_song_files(CommandScope& s) {
    return s.window.add_song_files();
}
bool open_playlist(CommandScope& s) {
    return s.window.open_playlist();
}
bool save_playlist(CommandScope& s) {
    return s.window.save_playlist();
}
bool open_parameter_file(CommandScope& s) {
    return s.window.open_parameter_file();
}
bool save_parameter_file(CommandScope& s) {
    return s.window.save_parameter_file();
}
bool save_preset(CommandScope& s) {
    return s.window.save_user_preset(s.row.number);
}
bool sound_device_settings(CommandScope& s) {
    return s.window.sound_device_settings();
}
bool encoder_settings(CommandScope& s) {
    return s.window.encoder_settings();
}
bool export_song(CommandScope& s) {
    return s.window.export_songs(false);
}
bool export_all(CommandScope& s) {
    return s.window.export_songs(true);
}
bool peak_level(CommandScope& s) {
    return s.window.peak_level();
}
bool about(CommandScope& s) {
    return s.window.about();
}
bool manual(CommandScope& s) {
    return s.window.open_manual();
}
bool latest_version(CommandScope& s) {
    return s.window.latest_version();
}
bool language(CommandScope& s) {
    const std::optional<LanguageChoice> choice = language_choice_of_command(s.row.id);
    return choice && s.window.choose_language(*choice);
}

// ---- the table ----

constexpr unsigned LIST = NEED_NOT_ON_AIR;
using S = SkinId;

// In the order of the menus. Captions are the Japanese of the menu bar, marked for the
// catalogue (the installed translator gives the English menu its captions at display).
constexpr CommandRow FIXED_ROWS[] = {
    // File
    {cmd::OPEN_PLAYLIST, QT_TRANSLATE_NOOP("Menu", "再生リストを開く"), 'O', S::MenuOpenPlaylist,
     "Ctrl+O", LIST | NEED_STOPPED, true, open_playlist},
    {cmd::SAVE_PLAYLIST, QT_TRANSLATE_NOOP("Menu", "再生リストを保存"), 'S', S::MenuSavePlaylist,
     "Ctrl+S", LIST, false, save_playlist},
    {cmd::ADD_SONG_FILES, QT_TRANSLATE_NOOP("Menu", "WAV/MP3ファイルをリストに登録"), 'W',
     S::MenuAddFiles, "Ctrl+I", LIST, false, add_song_files},
    {cmd::SOUND_DEVICE_SETTINGS, QT_TRANSLATE_NOOP("Menu", "サウンドデバイスの設定"), 'D',
     S::MenuDeviceSettings, nullptr, LIST, false, sound_device_settings},
    {cmd::LANGUAGE_AUTOMATIC, QT_TRANSLATE_NOOP("Menu", "自動 (Automatic)"), 'A', S::None, nullptr,
     NEED_NOTHING, false, language},
    {cmd::LANGUAGE_ENGLISH, "English", 'E', S::None, nullptr, NEED_NOTHING, false, language},
    {cmd::LANGUAGE_JAPANESE, "日本語", 'J', S::None, nullptr, NEED_NOTHING, false, language},
    {cmd::QUIT, QT_TRANSLATE_NOOP("Menu", "終了"), 'Q', S::None, "Ctrl+Q", NEED_NOTHING, false,
     quit},
    // Sound Parameters (the factory presets follow from the preset table)
    {cmd::OPEN_PARAMETER_FILE, QT_TRANSLATE_NOOP("Menu", "パラメータファイルを開く"), 'O',
     S::MenuOpenParams, "Ctrl+Shift+O", NEED_NOTHING, false, open_parameter_file},
    {cmd::SAVE_PARAMETER_FILE, QT_TRANSLATE_NOOP("Menu", "パラメータをファイルに保存"), 'S',
     S::MenuSaveParams, "Ctrl+Shift+S", NEED_NOTHING, false, save_parameter_file},
    {cmd::USE_USER_PRESET_1, QT_TRANSLATE_NOOP("Menu", "プリセット１"), '1', S::MenuUser1, nullptr,
     NEED_NOTHING, false, use_preset, 1},
    {cmd::USE_USER_PRESET_2, QT_TRANSLATE_NOOP("Menu", "プリセット２"), '2', S::MenuUser2, nullptr,
     NEED_NOTHING, false, use_preset, 2},
    {cmd::USE_USER_PRESET_3, QT_TRANSLATE_NOOP("Menu", "プリセット３"), '3', S::MenuUser3, nullptr,
     NEED_NOTHING, false, use_preset, 3},
    {cmd::SAVE_USER_PRESET_1, QT_TRANSLATE_NOOP("Menu", "ユーザープリセット１に保存"), '1',
     S::MenuUser1, nullptr, NEED_NOTHING, false, save_preset, 1},
    {cmd::SAVE_USER_PRESET_2, QT_TRANSLATE_NOOP("Menu", "ユーザープリセット２に保存"), '2',
     S::MenuUser2, nullptr, NEED_NOTHING, false, save_preset, 2},
    {cmd::SAVE_USER_PRESET_3, QT_TRANSLATE_NOOP("Menu", "ユーザープリセット３に保存"), '3',
     S::MenuUser3, nullptr, NEED_NOTHING, false, save_preset, 3},
    {cmd::BYPASS, QT_TRANSLATE_NOOP("Menu", "入力をバイパス ON/OFF"), 'B', S::MenuBypass, nullptr,
     NEED_NOTHING, false, toggle_panel_switch},
    {cmd::BASS_EQ, QT_TRANSLATE_NOOP("Menu", "BASSブースト　ON/OFF"), 'E', S::MenuBassEq, nullptr,
     NEED_NOTHING, false, toggle_panel_switch},
    {cmd::BASS_PHASE, QT_TRANSLATE_NOOP("Menu", "BASSフェーズシフタ ON/OFF"), 'P', S::MenuBassPhase,
     nullptr, NEED_NOTHING, false, toggle_panel_switch},
    {cmd::STEREO_ENHANCE, QT_TRANSLATE_NOOP("Menu", "ステレオエンハンサ ON/OFF"), 'T',
     S::MenuEnhancer, nullptr, NEED_NOTHING, false, toggle_panel_switch},
    {cmd::VIRTUAL_ROOM, QT_TRANSLATE_NOOP("Menu", "バーチャル スピーカー ON/OFF"), 'V',
     S::MenuVirtualSpeaker, nullptr, NEED_NOTHING, false, toggle_panel_switch},
    {cmd::INIT_VIRTUAL_ROOM, QT_TRANSLATE_NOOP("Menu", "バーチャル スピーカー 初期化"), 'I',
     S::MenuVirtualInit, nullptr, NEED_NOTHING, false, init_virtual_room},
    {cmd::ONAIR, QT_TRANSLATE_NOOP("Menu", "ON AIR モード..."), 'A', S::MenuOnAir, nullptr,
     NEED_STOPPED, false, onair},
    {cmd::DEEMPHASIS, QT_TRANSLATE_NOOP("Menu", "ディエンファシス　ON/OFF"), 'D', S::MenuDeemphasis,
     nullptr, NEED_NOTHING, false, toggle_panel_switch},
    // The panel's NOISE GATE button; no menu item.
    {cmd::NOISE_GATE, nullptr, 0, S::None, nullptr, NEED_NOTHING, false, toggle_panel_switch},
    // Playlist
    {cmd::PLAY, QT_TRANSLATE_NOOP("Menu", "再生"), 'P', S::MenuPlay, nullptr,
     NEED_STOPPED | NEED_SELECTION, false, play},
    {cmd::STOP, QT_TRANSLATE_NOOP("Menu", "停止"), 'S', S::MenuStop, nullptr, NEED_PLAYING, false,
     stop},
    {cmd::CHOOSE_PREVIOUS, "UP", 'U', S::MenuUp, nullptr, LIST | NEED_SONGS | NEED_NOT_FIRST, false,
     choose_previous_song},
    {cmd::CHOOSE_NEXT, "DOWN", 'D', S::MenuDown, nullptr, LIST | NEED_SONGS | NEED_NOT_LAST, false,
     choose_next_song},
    {cmd::CONTINUOUS_PLAYBACK, QT_TRANSLATE_NOOP("Menu", "自動リスト再生 ON/OFF"), 'N',
     S::MenuContinuous, nullptr, LIST, false, toggle_panel_switch},
    {cmd::MOVE_UP, "UP", 'U', S::MenuUp, nullptr, LIST | NEED_SELECTION | NEED_NOT_FIRST, false,
     move_up},
    {cmd::MOVE_DOWN, "DOWN", 'D', S::MenuDown, nullptr, LIST | NEED_SELECTION | NEED_NOT_LAST,
     false, move_down},
    {cmd::DELETE_SONG, QT_TRANSLATE_NOOP("Menu", "リストから削除"), 'D', S::MenuDelete, nullptr,
     LIST | NEED_SELECTION | NEED_NOT_PLAYING_SONG, false, delete_song},
    {cmd::SORT_ASCENDING, QT_TRANSLATE_NOOP("Menu", "昇順↓"), 'A', S::MenuSortAscending, nullptr,
     LIST | NEED_SONGS, false, sort_ascending},
    {cmd::SORT_DESCENDING, QT_TRANSLATE_NOOP("Menu", "降順↑"), 'D', S::MenuSortDescending, nullptr,
     LIST | NEED_SONGS, false, sort_descending},
    {cmd::PEAK_LEVEL, QT_TRANSLATE_NOOP("Menu", "曲の正規化レベルを取得する"), 'G',
     S::MenuPeakLevel, nullptr, LIST | NEED_STOPPED | NEED_SONGS, true, peak_level},
    {cmd::REMOVE_ALL, QT_TRANSLATE_NOOP("Menu", "リストの曲を全て消去"), 'A', S::MenuRemoveAll,
     nullptr, LIST | NEED_SONGS | NEED_NOT_PLAYING_SONG, false, remove_all_songs},
    // Export
    {cmd::EXPORT_SONG, QT_TRANSLATE_NOOP("Menu", "選択された曲をWAV/MP3ファイルに出力"), 'C',
     S::MenuExportSong, "Ctrl+E", LIST | NEED_STOPPED | NEED_SELECTION, true, export_song},
    {cmd::EXPORT_ALL, QT_TRANSLATE_NOOP("Menu", "リストの全ての曲をWAV/MP3ファイルに出力"), 'A',
     S::MenuExportAll, "Ctrl+Shift+E", LIST | NEED_STOPPED | NEED_SONGS, true, export_all},
    {cmd::EXTERNAL_ENCODER_SETTINGS, QT_TRANSLATE_NOOP("Menu", "外部MP3エンコーダーの設定"), 'X',
     S::MenuEncoderSettings, nullptr, NEED_NOTHING, false, encoder_settings},
    // Help
    {cmd::ABOUT, QT_TRANSLATE_NOOP("Menu", "ZelvonicMP3 について"), 'A', S::MenuAbout, nullptr,
     NEED_NOTHING, false, about},
    {cmd::MANUAL, QT_TRANSLATE_NOOP("Menu", "ユーザーズ マニュアル"), 'M', S::MenuManual, "F1",
     NEED_NOTHING, false, manual},
    {cmd::LATEST_VERSION, QT_TRANSLATE_NOOP("Menu", "作者WEBサイトへ接続"), 'G', S::MenuWeb,
     nullptr, NEED_NOTHING, false, latest_version},
};

// The factory presets' rows: their captions are the menu bar's own, in English in both
// languages.
struct PresetCaption {
    int id;
    const char* caption;
};
constexpr PresetCaption PRESET_CAPTIONS[] = {
    {preset_id::FM_SMOOTH_LISTENING, "Smooth Listening(Favorite FM)"},
    {preset_id::FM_WIDE_STEREO, "Wide Stereo(Genetral Purpose)"},
    {preset_id::FM_PUNCHY_BASS, "Punchy Bass（Hip-Hop Music）"},
    {preset_id::FM_BRIGHT_AND_DENSE, "Bright and Dense（Rock Music）"},
    {preset_id::FM_CLEAR_VOCAL, "Clear Vocal（POP Music）"},
    {preset_id::DIGITAL_WIDE_STEREO, "Wide Stereo(Genetral Purpose)"},
    {preset_id::DIGITAL_PUNCHY_BASS, "Punchy Bass（Hip-Hop Music）"},
    {preset_id::DIGITAL_BRIGHT_AND_DENSE, "Bright and Dense（Rock Music）"},
    {preset_id::DIGITAL_CLEAR_VOCAL, "Clear Vocal（POP Music）"},
    {preset_id::INTERNET_TALK_AND_MUSIC, "Internet Radio Station - Talk && Music Show"},
    {preset_id::AM_TALK_SHOW, "AM Radio Station - Talk Show"},
};

SkinId preset_group_image(FactoryPresetGroup group) {
    switch (group) {
        case FactoryPresetGroup::DigitalBroadcast:
            return SkinId::MenuPresetDigital;
        case FactoryPresetGroup::InternetRadio:
            return SkinId::MenuPresetInternet;
        case FactoryPresetGroup::FmStation:
            break;
    }
    return SkinId::MenuPresetFm;
}

std::vector<CommandRow> make_table() {
    std::vector<CommandRow> rows(std::begin(FIXED_ROWS), std::end(FIXED_ROWS));
    for (const FactoryPresetInfo& p : factory_preset_list()) {
        const char* caption = p.menu_text;
        for (const PresetCaption& c : PRESET_CAPTIONS) {
            if (c.id == p.id) {
                caption = c.caption;
            }
        }
        rows.push_back({p.id, caption, 0, preset_group_image(p.group), nullptr, NEED_NOTHING, false,
                        factory_preset});
    }
    return rows;
}

const std::vector<CommandRow>& table() {
    static const std::vector<CommandRow> rows = make_table();
    return rows;
}

bool available(const AppContext& ctx, const CommandRow& row) {
    const Playlist& pl = *ctx.playlist;
    const unsigned n = row.needs;
    const bool idle = ctx.engine_idle();
    const int selected = pl.selected_index;
    const bool selection = selected >= 0 && selected < pl.song_count;
    if (((n & NEED_STOPPED) != 0u && !idle) || ((n & NEED_PLAYING) != 0u && idle)) {
        return false;
    }
    if (((n & NEED_SONGS) != 0u && pl.song_count <= 0) ||
        ((n & NEED_SELECTION) != 0u && !selection)) {
        return false;
    }
    if ((n & NEED_NOT_ON_AIR) != 0u && ctx.engine->onair_mode != 0) {
        return false;
    }
    if ((n & NEED_NOT_PLAYING_SONG) != 0u && !idle && pl.current_index == selected) {
        return false;
    }
    if (((n & NEED_NOT_FIRST) != 0u && selected <= 0) ||
        ((n & NEED_NOT_LAST) != 0u && selected >= pl.song_count - 1)) {
        return false;
    }
    return true;
}

}  // namespace

std::span<const CommandRow> command_table() {
    return table();
}

const CommandRow* find_command(int id) {
    for (const CommandRow& row : table()) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

bool command_available(const AppContext& ctx, int id) {
    const CommandRow* row = find_command(id);
    return row != nullptr && available(ctx, *row);
}

bool command_is_toggle(int id) {
    return id == cmd::ONAIR || switch_of_command(id).has_value();
}

std::optional<bool> command_checked(const AppContext& ctx, int id) {
    if (id == cmd::ONAIR) {
        return ctx.engine->onair_mode != 0;
    }
    if (const std::optional<PanelButtonId> sw = switch_of_command(id)) {
        return switch_on(ctx.processor->params, *ctx.playlist, *sw);
    }
    return std::nullopt;
}

bool run_command(AppContext& ctx, int id) {
    const CommandRow* row = find_command(id);
    if (row == nullptr || !available(ctx, *row)) {
        return false;
    }
    if (row->holds_engine_timers) {
        hold_engine_timers(ctx);
    }
    CommandScope scope{ctx, window_of(ctx), *row};
    return row->handler(scope);
}

std::vector<int> list_commands() {
    std::vector<int> ids;
    for (const CommandRow& row : table()) {
        if ((row.needs & NEED_NOT_ON_AIR) != 0u) {
            ids.push_back(row.id);
        }
    }
    return ids;
}

bool play_selected(AppContext& ctx) {
    const Playlist& pl = *ctx.playlist;
    if (!ctx.engine_idle() || pl.song_count <= 0 || pl.selected_index < 0 ||
        pl.selected_index >= pl.song_count) {
        return false;
    }
    start_playback(*ctx.engine);
    window_of(ctx).redraw_panel();
    return true;
}

void open_paths(AppContext& ctx, const std::vector<std::string>& paths) {
    std::vector<std::string> songs;
    for (const std::string& path : paths) {
        if (has_extension(path, ".plt")) {
            const PlaylistFileResult r = open_playlist_file(*ctx.playlist, path, ctx.engine_idle());
            const std::string message = playlist_file_message(r, path, window_text_language());
            if (!message.empty()) {
                window_of(ctx).show_message(MESSAGE_CAPTION, message);
            }
        } else {
            songs.push_back(path);
        }
    }
    if (!songs.empty()) {
        window_of(ctx).show_scan_warnings(drop_paths(*ctx.playlist, songs, ctx.engine_idle()));
    }
    window_of(ctx).refresh_playlist();
    window_of(ctx).redraw_panel();
}

}  // namespace zv
