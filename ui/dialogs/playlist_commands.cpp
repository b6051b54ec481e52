#include "ui/dialogs/playlist_commands.h"

#include "sources/playlist_file.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/file_dialogs.h"
#include "ui/dialogs/messages.h"

namespace zv {
namespace {

void tell_file_result(PlaylistCommandContext& c, const PlaylistFileResult& r,
                      const std::string& path) {
    if (const std::optional<BoxMessage> m = playlist_file_message(r, path)) {
        c.host.show(c.parent, *m);
    }
}

}  // namespace

bool add_song_files(PlaylistCommandContext& c, bool engine_idle) {
    const std::vector<std::string> paths = choose_song_files(c.host, c.ini, c.parent);
    if (paths.empty()) {
        return false;
    }
    const ChooseFilesResult r = add_chosen_files(c.playlist, paths, engine_idle);
    if (r.format_error) {
        c.host.show(c.parent, wave_format_error_message());
    }
    if (r.list_full_reached) {
        c.host.show(c.parent, list_full_message());
    }
    if (r.paths_too_long > 0) {
        c.host.show(c.parent, paths_too_long_message(r.paths_too_long));
    }
    return r.added > 0;
}

bool open_playlist(PlaylistCommandContext& c, bool engine_idle) {
    if (!engine_idle) {
        return false;
    }
    const auto path = choose_playlist_to_open(c.host, c.ini, c.parent);
    if (!path) {
        return false;
    }
    const PlaylistFileResult r = open_playlist_file(c.playlist, *path, engine_idle);
    tell_file_result(c, r, *path);
    return r.status == PlaylistFileStatus::ok;
}

bool save_playlist(PlaylistCommandContext& c) {
    const auto path = choose_playlist_to_save(c.host, c.ini, c.parent);
    if (!path) {
        return false;
    }
    const PlaylistFileResult r = save_playlist_file(c.playlist, *path);
    tell_file_result(c, r, *path);
    return r.status == PlaylistFileStatus::ok;
}

}  // namespace zv
