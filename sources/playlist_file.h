// Playlist files (.plt): a fixed 640008-byte image of all 2000 slots, with the selected index
// and the song count placed after the first 100 slots. No magic or version exists. Only the
// stored paths and their order are trusted: opening probes every song again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/open_file.h"
#include "sources/playlist.h"

namespace zv {

constexpr size_t PLAYLIST_FILE_BYTES = 640008;
constexpr int PLT_HEAD_SLOTS = 100;
constexpr size_t PLT_SELECTED_OFFSET = 32000;
constexpr size_t PLT_COUNT_OFFSET = 32004;
constexpr size_t PLT_TAIL_OFFSET = 32008;
static_assert(PLT_TAIL_OFFSET + (MAX_SONGS - PLT_HEAD_SLOTS) * sizeof(SongEntry) ==
              PLAYLIST_FILE_BYTES);

enum class PlaylistFileStatus {
    ok,
    engine_busy,   // opening waits for an idle engine; nothing to show
    cannot_open,   // error_number tells why, or kind: a folder, a FIFO, a device
    wrong_size,    // not a playlist file: the list is left as it was
    read_error,    // error_number tells why
    cannot_write,  // error_number tells why; no file was left behind
};

struct PlaylistFileResult {
    PlaylistFileStatus status = PlaylistFileStatus::ok;
    int error_number = 0;               // errno of the failed call
    FileKind kind = FileKind::Regular;  // cannot_open: what the path names instead of a file
    std::string reason;                 // cannot_write: the writer's message, naming the file
    int stored_songs = 0;               // the song count the file gave (clamped to 0..2000)
    int dropped_songs = 0;              // stored songs that are gone or no longer pass their probe
};

// The file image of the list as it stands, slots beyond song_count included.
std::vector<uint8_t> playlist_file_image(const Playlist& pl);

// Takes an image into the list and rebuilds it. An image that is not exactly
// PLAYLIST_FILE_BYTES long leaves the list untouched (wrong_size).
PlaylistFileResult load_playlist_image(Playlist& pl, const uint8_t* data, size_t size,
                                       const SongProbes& probes = default_song_probes());

// Probes every stored song again and compacts the survivors in order. Stored formats, peak
// levels, tags and marks are not trusted. selected_index ends up inside the new list.
// Returns the number of songs dropped.
int rebuild_playlist(Playlist& pl, const SongProbes& probes = default_song_probes());

// Open Playlist. Refused while the engine is not idle. Only a regular file is opened, without
// ever blocking. Any failure leaves the list untouched.
PlaylistFileResult open_playlist_file(Playlist& pl, const std::string& path, bool engine_idle,
                                      const SongProbes& probes = default_song_probes());

// Save Playlist, through write_file_replacing's rules: a temporary file in the target's folder
// renamed over it, a target that is not a regular file refused, a link written through, the
// mode kept. A failure never leaves a half-written playlist file.
PlaylistFileResult save_playlist_file(const Playlist& pl, const std::string& path);

// Why an open or save failed, as the system says it (the error number's text, the kind of
// file found instead, the writer's message naming the file); empty when nothing more is known.
std::string playlist_file_reason(const PlaylistFileResult& result);

}  // namespace zv
