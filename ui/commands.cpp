#include "ui/commands.h"

#include "engine/factory_presets.h"
#include "settings/user_presets.h"
#include "sources/playlist_file.h"
#include "sources/song_rates.h"
#include "ui/dialogs/messages.h"

namespace zv {
namespace {

void toggle(int32_t& flag) {
    flag = flag != 0 ? 0 : 1;
}

WindowServices& window_of(AppContext& ctx) {
    static WindowServices none;
    return ctx.window != nullptr ? *ctx.window : none;
}

// Ends a command that changed what the panel shows.
bool redraw(AppContext& ctx) {
    window_of(ctx).redraw_panel();
    return true;
}

bool refresh(AppContext& ctx) {
    window_of(ctx).refresh_playlist();
    return redraw(ctx);
}

int current_rate(const AppContext& ctx) {
    const Playlist& pl = *ctx.playlist;
    // The chain's rate: a song at another rate plays resampled to it.
    const int rate = chain_rate_for(pl.entries[static_cast<size_t>(pl.current_index)].sample_rate);
    return rate > 0 ? rate : 44100;
}

}  // namespace

bool play_selected(AppContext& ctx) {
    const Playlist& pl = *ctx.playlist;
    if (!ctx.engine_idle() || pl.song_count <= 0 || pl.selected_index < 0 ||
        pl.selected_index >= pl.song_count) {
        return false;
    }
    start_playback(*ctx.engine);
    return redraw(ctx);
}

bool run_command(AppContext& ctx, int id) {
    ProcessorParams& params = ctx.processor->params;
    ProcessorSwitches& sw = params.switches;
    Playlist& pl = *ctx.playlist;
    const bool idle = ctx.engine_idle();

    if (id == cmd::PRESET_SMOOTH_FM || (id >= cmd::PRESET_FIRST && id <= cmd::PRESET_LAST)) {
        apply_factory_preset(*ctx.processor, id);
        return redraw(ctx);
    }
    if (id >= cmd::USE_USER_PRESET_1 && id <= cmd::USE_USER_PRESET_3) {
        ProgramState s = ctx.state();
        use_user_preset(s, ctx.folders, id - cmd::USE_USER_PRESET_1 + 1, current_rate(ctx), {});
        return redraw(ctx);
    }
    switch (id) {
        case cmd::DEEMPHASIS:
            toggle(sw.deemphasis);
            return redraw(ctx);
        case cmd::BASS_EQ:
            toggle(sw.bass_eq_off);
            return redraw(ctx);
        case cmd::BYPASS:
            toggle(sw.bypass);
            return redraw(ctx);
        case cmd::BASS_PHASE:
            toggle(sw.bass_phase);
            return redraw(ctx);
        case cmd::STEREO_ENHANCE:
            toggle(sw.stereo_enhance);
            return redraw(ctx);
        case cmd::VIRTUAL_ROOM:
            toggle(sw.virtual_room);
            return redraw(ctx);
        case cmd::INIT_VIRTUAL_ROOM:
            reset_virtual_room(params);
            return redraw(ctx);
        case cmd::CONTINUOUS_PLAYBACK:
            toggle_continuous_playback(pl);
            return redraw(ctx);
        case cmd::CHOOSE_NEXT:
            return choose_next(pl) && redraw(ctx);
        case cmd::CHOOSE_PREVIOUS:
            return choose_previous(pl) && redraw(ctx);
        case cmd::MOVE_DOWN:
            return move_selected_down(pl) && refresh(ctx);
        case cmd::MOVE_UP:
            return move_selected_up(pl) && refresh(ctx);
        case cmd::DELETE_SONG:
            return delete_selected(pl, idle) && refresh(ctx);
        case cmd::REMOVE_ALL:
            return remove_all(pl, idle) && refresh(ctx);
        case cmd::SORT_ASCENDING:
            sort_songs(pl, true);
            return refresh(ctx);
        case cmd::SORT_DESCENDING:
            sort_songs(pl, false);
            return refresh(ctx);
        case cmd::PLAY:
            return play_selected(ctx);
        case cmd::STOP:
            if (idle) {
                return false;
            }
            request_stop(*ctx.engine);
            return redraw(ctx);
        case cmd::ONAIR:
            // toggle_onair_mode refuses unless idle and refreshes the view itself.
            return toggle_onair_mode(*ctx.engine) && redraw(ctx);
        case cmd::QUIT:
            window_of(ctx).close_window();
            return true;
        default:
            // Dialogs, file choosers, the manual and the home page belong to the window.
            return window_of(ctx).run_window_command(id);
    }
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
    refresh(ctx);
}

}  // namespace zv
