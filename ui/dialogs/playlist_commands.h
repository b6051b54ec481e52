// The playlist commands that go through file dialogs: add WAV/MP3 files (menu 331), Open
// Playlist (321) and Save Playlist (354), with their messages. Each returns true when the list
// changed (or, for Save, the file was written); the window then refreshes its view.
#pragma once

#include "settings/ini_settings.h"
#include "sources/playlist.h"

class QWidget;

namespace zv {

class DialogHost;

struct PlaylistCommandContext {
    Playlist& playlist;
    const IniSettings& ini;
    DialogHost& host;
    QWidget* parent = nullptr;
};

// Several files at once: refused files and a full list pass silently. One file: a WAV the
// probe refuses shows "WAVE Format Error", and the song that fills the list shows the
// list-full message. Paths too long for the list are told in any case.
bool add_song_files(PlaylistCommandContext& c, bool engine_idle);

// Only while the player is idle (the dialog does not even open otherwise).
bool open_playlist(PlaylistCommandContext& c, bool engine_idle);

// In any state of the player.
bool save_playlist(PlaylistCommandContext& c);

}  // namespace zv
