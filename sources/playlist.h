// The playlist: fixed slots of songs with their tags and marks, the selected row (what Play,
// move, delete and export act on) and the current row (the song the engine plays or played
// last). Commands are plain functions; whether the engine is idle is the caller's input, and
// anything the window has to tell the user comes back as a result, never shown from here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sources/id3v1.h"
#include "sources/path_field.h"
#include "sources/sndfile_source.h"

namespace zv {

constexpr int MAX_SONGS = 2000;
constexpr size_t SONG_PATH_BYTES = PATH_FIELD_BYTES;  // NUL included: 255 bytes of path
constexpr size_t SONG_RESERVED_BYTES = 44;

constexpr int32_t SOURCE_WAV = 0;
constexpr int32_t SOURCE_MP3 = 1;
constexpr int32_t SOURCE_MP3_PENDING = 2;  // added while the engine was busy, not probed yet
// FLAC, Ogg Vorbis, Ogg Opus, and WAV songs the WAV reader refuses only for their depth or
// rate: read through libsndfile (sndfile_source.h) at the chain rate (chain_rate_reader.h).
// sample_rate is the song's own rate, pcm_bytes its length as 16-bit samples at that rate;
// the tag slot holds the image of its Vorbis comments (song_tags.h).
constexpr int32_t SOURCE_SNDFILE = 3;

// Whether the entry's tag slot is read: MP3 songs, and songs through libsndfile.
constexpr bool source_has_tag_slot(int32_t source_type) {
    return source_type == SOURCE_MP3 || source_type == SOURCE_SNDFILE;
}

constexpr int32_t MARK_NONE = 0;
constexpr int32_t MARK_EXPORTED = 1;
constexpr int32_t MARK_FAILED = 2;

constexpr int DEFAULT_SORT_COLUMN = 4;  // "Time"
constexpr int32_t NO_CURRENT_SONG = -1;

// Exactly the 320 bytes a playlist file stores per slot.
struct SongEntry {
    int32_t sample_rate = 0;
    int32_t channels = 0;
    int32_t peak_level = 0;  // 0 = not scanned, 32767 = no level gain wanted
    int32_t source_type = SOURCE_WAV;
    int32_t pcm_bytes = 0;  // 16-bit PCM bytes of all channels
    uint8_t reserved[SONG_RESERVED_BYTES] = {};
    char path[SONG_PATH_BYTES] = {};  // NUL-terminated UTF-8
};
static_assert(sizeof(SongEntry) == 320, "a playlist file slot is 320 bytes");

// One object of this exists in the program (about 900 KB: allocate it, never put it on the
// stack). Slots at and after song_count hold leftovers and are never read.
struct Playlist {
    std::array<SongEntry, MAX_SONGS> entries{};
    std::array<Id3v1Tag, MAX_SONGS> tags{};  // meaningful where source_has_tag_slot()
    std::array<int32_t, MAX_SONGS> song_mark{};
    int32_t song_count = 0;
    int32_t selected_index = 0;
    int32_t current_index = 0;  // NO_CURRENT_SONG while a song removed from the list plays
    int32_t sort_column = DEFAULT_SORT_COLUMN;
    int32_t sort_ascending_next = 0;
    int32_t continuous_playback = 0;
};

// The readers the playlist runs on files. Tests and fuzzers replace them; everything else
// takes the defaults, which are the real WAV/MP3 probes, the ID3v1 reader and the libsndfile
// probe. Without a libsndfile probe (null) such songs are refused.
struct SongProbes {
    int (*wav)(const std::string& path, int32_t& rate, int32_t& channels, uint32_t& data_bytes);
    int (*mp3)(const std::string& path, int32_t& rate, int32_t& channels, int64_t& pcm_bytes);
    bool (*id3v1)(const std::string& path, Id3v1Tag& slot);
    bool (*sndfile)(const std::string& path, SndfileSongInfo& info, std::string* why) = nullptr;
};
const SongProbes& default_song_probes();

enum class AddResult {
    added,
    added_list_full,  // added, and the list has just reached MAX_SONGS: show the message
    not_supported,    // the probe refused the file or it could not be read
    list_full,        // the list was already full: nothing to show
    not_a_song,       // not ".wav", ".mp3", ".flac", ".ogg", ".oga" or ".opus"
    path_too_long,    // does not fit the 256-byte path field
};
inline bool was_added(AddResult r) {
    return r == AddResult::added || r == AddResult::added_list_full;
}

// Entries keep sizes as int32; a longer song is kept at the largest whole stereo frame count
// that fits rather than wrapping to a negative length. The one clamp of every entry's size.
int32_t clamp_pcm_bytes(int64_t bytes);

// The probes' verdict on one file, chosen by its extension (any case): ".wav" (through
// libsndfile when the WAV probe refuses it only for its depth or rate), ".mp3", and ".flac",
// ".ogg", ".oga", ".opus" through libsndfile.
struct SongProbe {
    bool accepted = false;
    int32_t sample_rate = 0;
    int32_t channels = 0;
    int32_t source_type = SOURCE_WAV;
    int64_t pcm_bytes = 0;
    Id3v1Tag tag;  // SOURCE_SNDFILE: the image of its Vorbis comments
};
// The extensions the playlist takes (see SongProbe), any case.
bool is_song_file_name(std::string_view path);
SongProbe probe_song(const std::string& path, const SongProbes& probes = default_song_probes());
// Writes an accepted song into a slot: every field of the slot is reset first (entry, tag,
// mark), then its format, its clamped length, peak level 0, no mark, and for an MP3 its tag
// read afresh, for a libsndfile song the tag its probe found; a WAV's tag stays empty, so it
// never carries the slot's previous song's tag into an MP3 export. Every way into the list
// goes through here.
void put_probed_song(Playlist& pl, int slot, std::string_view path, const SongProbe& song,
                     const SongProbes& probes = default_song_probes());

// The late probe of a SOURCE_MP3_PENDING entry, once the engine is idle: on success the entry
// becomes a SOURCE_MP3 song like any other; false (the entry stays pending, untouched) when
// the probe still refuses the file. The playlist view's refresh and the playback start both
// use it.
bool probe_pending_song(Playlist& pl, int index, const SongProbes& probes = default_song_probes());

bool has_extension(std::string_view path, std::string_view ext);  // ext like ".wav", any case
std::string_view file_name_part(std::string_view path);

// Appends one song. An MP3 added while the engine is busy is not opened: it enters as
// SOURCE_MP3_PENDING and is probed by the next view refresh with the engine idle.
AddResult add_song_file(Playlist& pl, const std::string& path, bool engine_idle,
                        const SongProbes& probes = default_song_probes());

struct ScanResult {
    int added = 0;
    int paths_too_long = 0;          // files refused because their path does not fit
    bool list_full_reached = false;  // the window shows the list-full message once
    int left_out = 0;                // songs (by name) not added because the list was full
};
// Depth-first walk of the folder's entries in natural name order (natural_order.h: 01..12,
// track2 before track10), each sub-folder's songs where its name falls. Symbolic links to
// folders are not followed (a link cycle would never end); links to files are added like
// files. Once the list is full the walk goes on counting the songs it leaves out.
ScanResult scan_folder(Playlist& pl, const std::string& folder, bool engine_idle,
                       const SongProbes& probes = default_song_probes());

// Files and folders dropped on the window (or named on the command line), in the order given;
// a folder is walked as scan_folder walks it. list_full_reached asks for the list-full
// message: when the list was full before the drop (nothing is added), or when the drop filled
// it; left_out counts what the full list refused.
ScanResult drop_paths(Playlist& pl, const std::vector<std::string>& paths, bool engine_idle,
                      const SongProbes& probes = default_song_probes());

// Files chosen in the open dialog. With one file, a WAV the probe refuses is a format error
// for the window to show; with several, refused files and a full list pass silently.
struct ChooseFilesResult {
    int added = 0;
    int paths_too_long = 0;
    bool format_error = false;
    bool list_full_reached = false;
};
ChooseFilesResult add_chosen_files(Playlist& pl, const std::vector<std::string>& paths,
                                   bool engine_idle,
                                   const SongProbes& probes = default_song_probes());

// The row commands. Each returns false when refused; refused commands change nothing.
bool choose_previous(Playlist& pl);
bool choose_next(Playlist& pl);
bool click_row(Playlist& pl, int row);
bool move_selected_up(Playlist& pl);
bool move_selected_down(Playlist& pl);
bool delete_selected(Playlist& pl, bool engine_idle);  // never the song being played
// While the engine plays, the song playing on leaves the list with the rest (current_index
// becomes NO_CURRENT_SONG).
bool remove_all(Playlist& pl, bool engine_idle);
void toggle_continuous_playback(Playlist& pl);

// 1..499 ms between two clicks on a row make a double click.
bool is_second_click(uint32_t previous_click_ms, uint32_t click_ms);

// Stable sort by sort_column; afterwards sort_column falls back to "Time" and
// sort_ascending_next remembers the opposite direction.
void sort_songs(Playlist& pl, bool ascending);
// A click on column header `column`: sorts that column, descending first, then alternating.
void sort_by_header_click(Playlist& pl, int column);
// <0, 0 or >0 as entry a orders before, with or after entry b in `column`.
int compare_songs(const Playlist& pl, int a, int b, int column);

// Writes the slot's path; false (slot untouched) when it does not fit the field.
bool set_song_path(SongEntry& entry, std::string_view path);
std::string_view song_path(const SongEntry& entry);

// ON AIR mode: the whole list becomes one entry that stands for the live input.
constexpr const char* ONAIR_ENTRY_TEXT = "On-Air mode in process..";
void put_onair_entry(Playlist& pl, int32_t sample_rate);

}  // namespace zv
