// What the playlist view shows: ten column texts and one image per row, the status text, and
// the texts of the messages the playlist commands ask the window to show. The window only
// renders this model; tests check it without a window.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "sources/playlist.h"

namespace zv {

constexpr int PLAYLIST_COLUMN_COUNT = 10;

struct PlaylistColumn {
    const char* title;
    int width;  // pixels
};
constexpr std::array<PlaylistColumn, PLAYLIST_COLUMN_COUNT> PLAYLIST_COLUMNS = {{
    {"No", 40},
    {"fs", 28},
    {"ch", 28},
    {"File Name", 100},
    {"Time", 50},
    {"Title", 100},
    {"Artist", 100},
    {"Album", 100},
    {"Tr", 30},
    {"Full Path", 300},
}};

// The six images of the view's small image list.
constexpr int ROW_IMAGE_PLAYING = 0;
constexpr int ROW_IMAGE_WAV = 1;
constexpr int ROW_IMAGE_MP3 = 2;
constexpr int ROW_IMAGE_WAV_MARKED = 3;
constexpr int ROW_IMAGE_MP3_EXPORTED = 4;
constexpr int ROW_IMAGE_MP3_FAILED = 5;

struct PlaylistRow {
    std::array<std::string, PLAYLIST_COLUMN_COUNT> columns;
    int image = ROW_IMAGE_WAV;
};

struct PlaylistView {
    std::vector<PlaylistRow> rows;
    std::string status_text;  // part 1 of the status bar
};

// The engine's state as far as the list cares. Pending MP3 entries are probed only when the
// engine is idle; the playing row's image needs "playing", not merely "busy".
struct EngineActivity {
    bool idle = true;
    bool playing = false;
};

// Probes every SOURCE_MP3_PENDING entry; an entry whose probe fails stays pending.
// Returns how many entries were resolved. Does nothing unless the engine is idle.
int probe_pending_songs(Playlist& pl, bool engine_idle,
                        const SongProbes& probes = default_song_probes());

PlaylistRow make_playlist_row(const Playlist& pl, int index, bool engine_playing);
std::string time_text(const SongEntry& entry);  // "mm:ss" or "--:--"

// The late probe, then every row and the status text afresh.
void refresh_playlist_view(Playlist& pl, PlaylistView& view, EngineActivity engine,
                           const SongProbes& probes = default_song_probes());

// The first row to show after a refresh so the list does not jump: the remembered top row
// while a page's worth of rows (less one) follows it, else the start of the last page.
int restored_top_row(int remembered_top, int song_count, int rows_per_page);

// The caption of the window's warnings.
constexpr const char* MESSAGE_CAPTION = "ZelvonicMP3";

}  // namespace zv
