#include "sources/playlist.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <numeric>

#include "sources/id3v1.h"
#include "sources/mp3_source.h"
#include "sources/natural_order.h"
#include "sources/song_tags.h"
#include "sources/wav_source.h"

namespace zv {
namespace {

constexpr int TRACK_OF_NON_MP3 = 255;  // sorts songs without a tag after every track number

int three_way(int64_t a, int64_t b) {
    return (a > b) - (a < b);
}

int compare_bytes(std::string_view a, std::string_view b) {
    // string_view compares like memcmp, i.e. as unsigned bytes, then by length.
    int c = a.compare(b);
    return (c > 0) - (c < 0);
}

std::string_view tag_text(const Playlist& pl, int i, size_t offset) {
    if (!source_has_tag_slot(pl.entries[i].source_type)) {
        return {};
    }
    return pl.tags[i].field_text(offset);
}

int tag_track(const Playlist& pl, int i) {
    const int32_t type = pl.entries[i].source_type;
    if (type != SOURCE_MP3 && !(type == SOURCE_SNDFILE && pl.tags[i].present())) {
        return TRACK_OF_NON_MP3;
    }
    return pl.tags[i].track();
}

// Moves or swaps exchange the five fields and the path; the reserved bytes stay with the slot.
void copy_song_fields(SongEntry& dst, const SongEntry& src) {
    dst.sample_rate = src.sample_rate;
    dst.channels = src.channels;
    dst.peak_level = src.peak_level;
    dst.source_type = src.source_type;
    dst.pcm_bytes = src.pcm_bytes;
    std::memcpy(dst.path, src.path, SONG_PATH_BYTES);
}

void swap_songs(Playlist& pl, int a, int b) {
    SongEntry tmp;
    copy_song_fields(tmp, pl.entries[a]);
    copy_song_fields(pl.entries[a], pl.entries[b]);
    copy_song_fields(pl.entries[b], tmp);
    std::swap(pl.tags[a], pl.tags[b]);
    std::swap(pl.song_mark[a], pl.song_mark[b]);
    if (pl.current_index == a) {
        pl.current_index = b;
    } else if (pl.current_index == b) {
        pl.current_index = a;
    }
}

// Every field of a slot is written when a song is put into it: the entry (reserved bytes
// included), its tag and its mark. A slot reused after Remove All, Delete or a playlist file
// keeps nothing of the song it held before.
void put_entry(Playlist& pl, int slot, int32_t rate, int32_t channels, int32_t type,
               int32_t pcm_bytes, std::string_view path) {
    SongEntry& e = pl.entries[static_cast<size_t>(slot)];
    e = SongEntry{};
    e.sample_rate = rate;
    e.channels = channels;
    e.source_type = type;
    e.pcm_bytes = pcm_bytes;
    set_song_path(e, path);
    pl.tags[static_cast<size_t>(slot)] = Id3v1Tag{};
    pl.song_mark[static_cast<size_t>(slot)] = MARK_NONE;
}

std::string join_path(std::string_view folder, std::string_view name) {
    while (!folder.empty() && folder.back() == '/') {
        folder.remove_suffix(1);
    }
    std::string out(folder);
    out += '/';
    out += name;
    return out;
}

void note(ScanResult& r, AddResult a) {
    if (was_added(a)) {
        ++r.added;
    }
    if (a == AddResult::added_list_full) {
        r.list_full_reached = true;
    }
    if (a == AddResult::path_too_long) {
        ++r.paths_too_long;
    }
    if (a == AddResult::list_full) {
        ++r.left_out;
    }
}

struct FolderItem {
    std::string name;
    bool is_dir = false;
};

// A folder's entries in natural name order ("." and ".." left out).
std::vector<FolderItem> sorted_items(const std::string& folder) {
    std::vector<FolderItem> items;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        return items;
    }
    while (const dirent* item = readdir(dir.get())) {
        std::string_view name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool is_dir = item->d_type == DT_DIR;
        if (item->d_type == DT_UNKNOWN) {
            struct stat st {};
            is_dir = lstat(join_path(folder, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        items.push_back({std::string(name), is_dir});
    }
    std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) {
        return natural_less(a.name, b.name);
    });
    return items;
}

void scan_into(Playlist& pl, const std::string& folder, bool engine_idle, const SongProbes& probes,
               ScanResult& result) {
    for (const FolderItem& item : sorted_items(folder)) {
        const std::string path = join_path(folder, item.name);
        if (item.is_dir) {
            scan_into(pl, path, engine_idle, probes, result);
        } else if (pl.song_count >= MAX_SONGS) {
            // Counted by name only: the songs a full list leaves out are not opened.
            if (is_song_file_name(path)) {
                ++result.left_out;
            }
        } else {
            note(result, add_song_file(pl, path, engine_idle, probes));
        }
    }
}

}  // namespace

int32_t clamp_pcm_bytes(int64_t bytes) {
    constexpr int64_t MAX_PCM_BYTES = INT32_MAX - INT32_MAX % 4;
    return static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, MAX_PCM_BYTES));
}

// The real probes open through open_regular_file, so a FIFO or a device named like a song is
// refused at once instead of blocking the folder scan or the list.
const SongProbes& default_song_probes() {
    static const SongProbes probes{
        static_cast<int (*)(const std::string&, int32_t&, int32_t&, uint32_t&)>(&probe_wav),
        static_cast<int (*)(const std::string&, int32_t&, int32_t&, int64_t&)>(&probe_mp3),
        static_cast<bool (*)(const std::string&, Id3v1Tag&)>(&read_id3v1),
        static_cast<bool (*)(const std::string&, SndfileSongInfo&, std::string*)>(&probe_sndfile)};
    return probes;
}

namespace {

SongProbe probe_sndfile_song(const std::string& path, const SongProbes& probes) {
    SongProbe song;
    SndfileSongInfo info;
    if (probes.sndfile == nullptr || !probes.sndfile(path, info, nullptr)) {
        return song;
    }
    song.accepted = true;
    song.sample_rate = info.rate;
    song.channels = info.channels;
    song.source_type = SOURCE_SNDFILE;
    song.pcm_bytes = sndfile_pcm_bytes(info);
    song.tag = id3v1_slot_of(info.tags);
    return song;
}

}  // namespace

bool is_song_file_name(std::string_view path) {
    return has_extension(path, ".wav") || has_extension(path, ".mp3") || is_sndfile_song_name(path);
}

SongProbe probe_song(const std::string& path, const SongProbes& probes) {
    SongProbe song;
    if (has_extension(path, ".wav")) {
        uint32_t data_bytes = 0;
        const int result = probes.wav(path, song.sample_rate, song.channels, data_bytes);
        if (result == 0) {
            // Refused for its format: a deeper or faster WAV goes through libsndfile, which
            // refuses anything the WAV reader refuses for other reasons.
            return probe_sndfile_song(path, probes);
        }
        song.accepted = result == 1;
        song.pcm_bytes = data_bytes;
        song.source_type = SOURCE_WAV;
    } else if (has_extension(path, ".mp3")) {
        song.accepted = probes.mp3(path, song.sample_rate, song.channels, song.pcm_bytes) == 1 &&
                        song.pcm_bytes >= 0;
        song.source_type = SOURCE_MP3;
    } else if (is_sndfile_song_name(path)) {
        return probe_sndfile_song(path, probes);
    }
    return song;
}

void put_probed_song(Playlist& pl, int slot, std::string_view path, const SongProbe& song,
                     const SongProbes& probes) {
    // The path is copied first: it may be the slot's own.
    const std::string kept(path);
    put_entry(pl, slot, song.sample_rate, song.channels, song.source_type,
              clamp_pcm_bytes(song.pcm_bytes), kept);
    if (song.source_type == SOURCE_MP3) {
        probes.id3v1(kept, pl.tags[static_cast<size_t>(slot)]);
    } else if (song.source_type == SOURCE_SNDFILE) {
        pl.tags[static_cast<size_t>(slot)] = song.tag;
    }
}

bool probe_pending_song(Playlist& pl, int index, const SongProbes& probes) {
    const std::string path(song_path(pl.entries[index]));
    const SongProbe song = probe_song(path, probes);
    if (!song.accepted || song.source_type != SOURCE_MP3) {
        return false;
    }
    put_probed_song(pl, index, path, song, probes);
    return true;
}

bool has_extension(std::string_view path, std::string_view ext) {
    if (path.size() < ext.size()) {
        return false;
    }
    std::string_view tail = path.substr(path.size() - ext.size());
    for (size_t i = 0; i < ext.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != ext[i]) {
            return false;
        }
    }
    return true;
}

// '/' is ASCII and never part of a multi-byte UTF-8 sequence, so the last one always
// separates whole characters.
std::string_view file_name_part(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool set_song_path(SongEntry& entry, std::string_view path) {
    if (!fits_path_field(path)) {
        return false;
    }
    std::memset(entry.path, 0, SONG_PATH_BYTES);
    std::memcpy(entry.path, path.data(), path.size());
    return true;
}

std::string_view song_path(const SongEntry& entry) {
    return {entry.path, strnlen(entry.path, SONG_PATH_BYTES)};
}

AddResult add_song_file(Playlist& pl, const std::string& path, bool engine_idle,
                        const SongProbes& probes) {
    if (!is_song_file_name(path)) {
        return AddResult::not_a_song;
    }
    // Only the MP3 decoder may not be opened while a song streams; libsndfile's readers are
    // independent of each other.
    const bool mp3 = has_extension(path, ".mp3");
    // A path cut to fit the field would name another file, so it is refused whole.
    if (!fits_path_field(path)) {
        return AddResult::path_too_long;
    }
    int slot = pl.song_count;
    if (mp3 && !engine_idle) {
        // The decoder may not be opened while a song streams; the refresh probes it later.
        if (slot >= MAX_SONGS) {
            return AddResult::list_full;
        }
        put_entry(pl, slot, 0, 0, SOURCE_MP3_PENDING, 0, path);
    } else {
        const SongProbe song = probe_song(path, probes);
        if (!song.accepted) {
            return AddResult::not_supported;
        }
        if (slot >= MAX_SONGS) {
            return AddResult::list_full;
        }
        put_probed_song(pl, slot, path, song, probes);
    }
    pl.song_count = slot + 1;
    return pl.song_count == MAX_SONGS ? AddResult::added_list_full : AddResult::added;
}

ScanResult scan_folder(Playlist& pl, const std::string& folder, bool engine_idle,
                       const SongProbes& probes) {
    ScanResult result;
    scan_into(pl, folder, engine_idle, probes, result);
    return result;
}

ScanResult drop_paths(Playlist& pl, const std::vector<std::string>& paths, bool engine_idle,
                      const SongProbes& probes) {
    ScanResult result;
    if (pl.song_count >= MAX_SONGS) {
        result.list_full_reached = true;
        return result;
    }
    for (const std::string& path : paths) {
        if (path.size() < 4) {
            continue;
        }
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            scan_into(pl, path, engine_idle, probes, result);
        } else if (pl.song_count >= MAX_SONGS) {
            if (is_song_file_name(path)) {
                ++result.left_out;
            }
        } else {
            note(result, add_song_file(pl, path, engine_idle, probes));
        }
    }
    return result;
}

ChooseFilesResult add_chosen_files(Playlist& pl, const std::vector<std::string>& paths,
                                   bool engine_idle, const SongProbes& probes) {
    ChooseFilesResult result;
    for (const std::string& path : paths) {
        AddResult r = add_song_file(pl, path, engine_idle, probes);
        if (was_added(r)) {
            ++result.added;
        }
        if (r == AddResult::path_too_long) {
            ++result.paths_too_long;
        }
        if (paths.size() == 1) {
            result.format_error = r == AddResult::not_supported && has_extension(path, ".wav");
            result.list_full_reached = r == AddResult::added_list_full;
        }
    }
    return result;
}

bool choose_previous(Playlist& pl) {
    if (pl.selected_index < 1) {
        return false;
    }
    --pl.selected_index;
    return true;
}

bool choose_next(Playlist& pl) {
    if (pl.selected_index >= pl.song_count - 1) {
        return false;
    }
    ++pl.selected_index;
    return true;
}

bool click_row(Playlist& pl, int row) {
    if (row < 0 || row >= pl.song_count) {
        return false;
    }
    pl.selected_index = row;
    return true;
}

bool move_selected_up(Playlist& pl) {
    int s = pl.selected_index;
    if (s < 1 || s >= pl.song_count) {
        return false;
    }
    swap_songs(pl, s, s - 1);
    pl.selected_index = s - 1;
    return true;
}

bool move_selected_down(Playlist& pl) {
    int s = pl.selected_index;
    if (s < 0 || s >= pl.song_count - 1) {
        return false;
    }
    swap_songs(pl, s, s + 1);
    pl.selected_index = s + 1;
    return true;
}

bool delete_selected(Playlist& pl, bool engine_idle) {
    int s = pl.selected_index;
    if (pl.song_count <= 0 || s < 0 || s >= pl.song_count) {
        return false;
    }
    if (!engine_idle && pl.current_index == s) {
        return false;
    }
    for (int i = s + 1; i < pl.song_count; ++i) {
        pl.entries[i - 1] = pl.entries[i];
        pl.tags[i - 1] = pl.tags[i];
        pl.song_mark[i - 1] = pl.song_mark[i];
    }
    if (pl.current_index > s && pl.current_index < pl.song_count) {
        --pl.current_index;
    }
    --pl.song_count;
    if (pl.selected_index >= pl.song_count && pl.song_count > 0) {
        pl.selected_index = pl.song_count - 1;
    }
    return true;
}

bool remove_all(Playlist& pl, bool engine_idle) {
    if (pl.song_count <= 0 || (!engine_idle && pl.current_index == pl.selected_index)) {
        return false;
    }
    pl.song_count = 0;
    pl.selected_index = 0;
    // A song playing on is no longer in the list: no row stands for it, so songs added
    // afterwards never take its place.
    if (!engine_idle) {
        pl.current_index = NO_CURRENT_SONG;
    }
    return true;
}

void toggle_continuous_playback(Playlist& pl) {
    pl.continuous_playback = pl.continuous_playback ? 0 : 1;
}

bool is_second_click(uint32_t previous_click_ms, uint32_t click_ms) {
    uint32_t gap = click_ms - previous_click_ms;  // wraps like the tick counter
    return gap >= 1 && gap <= 499;
}

int compare_songs(const Playlist& pl, int a, int b, int column) {
    const SongEntry& x = pl.entries[a];
    const SongEntry& y = pl.entries[b];
    switch (column) {
        case 0:
            return three_way(x.source_type, y.source_type);
        case 1:
            return three_way(x.sample_rate, y.sample_rate);
        case 2:
            return three_way(x.channels, y.channels);
        case 3:
            return compare_bytes(file_name_part(song_path(x)), file_name_part(song_path(y)));
        case 4:
            return three_way(x.pcm_bytes, y.pcm_bytes);
        case 5:
            return compare_bytes(tag_text(pl, a, ID3V1_TITLE_OFFSET),
                                 tag_text(pl, b, ID3V1_TITLE_OFFSET));
        case 6:
            return compare_bytes(tag_text(pl, a, ID3V1_ARTIST_OFFSET),
                                 tag_text(pl, b, ID3V1_ARTIST_OFFSET));
        case 7:
            return compare_bytes(tag_text(pl, a, ID3V1_ALBUM_OFFSET),
                                 tag_text(pl, b, ID3V1_ALBUM_OFFSET));
        case 8:
            return three_way(tag_track(pl, a), tag_track(pl, b));
        default:
            return compare_bytes(song_path(x), song_path(y));
    }
}

// Equal entries keep their order in both directions. Any stable sort gives the same order
// as the exchange sort the list was first defined with, at n log n cost instead of n^2
// swaps of whole slots.
void sort_songs(Playlist& pl, bool ascending) {
    int n = std::clamp(pl.song_count, 0, MAX_SONGS);
    if (n > 1) {
        std::vector<int> order(n);
        std::iota(order.begin(), order.end(), 0);
        int column = pl.sort_column;
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            int c = compare_songs(pl, a, b, column);
            return ascending ? c < 0 : c > 0;
        });
        std::vector<SongEntry> entries(pl.entries.begin(), pl.entries.begin() + n);
        std::vector<Id3v1Tag> tags(pl.tags.begin(), pl.tags.begin() + n);
        std::vector<int32_t> marks(pl.song_mark.begin(), pl.song_mark.begin() + n);
        int current = -1;
        for (int i = 0; i < n; ++i) {
            copy_song_fields(pl.entries[i], entries[order[i]]);
            pl.tags[i] = tags[order[i]];
            pl.song_mark[i] = marks[order[i]];
            if (order[i] == pl.current_index) {
                current = i;
            }
        }
        if (current >= 0) {
            pl.current_index = current;
        }
    }
    pl.sort_ascending_next = ascending ? 0 : 1;
    pl.sort_column = DEFAULT_SORT_COLUMN;
}

void sort_by_header_click(Playlist& pl, int column) {
    pl.sort_column = column;
    sort_songs(pl, pl.sort_ascending_next == 1);
}

void put_onair_entry(Playlist& pl, int32_t sample_rate) {
    put_entry(pl, 0, sample_rate, 2, SOURCE_WAV, 0, ONAIR_ENTRY_TEXT);
    pl.song_count = 1;
    pl.selected_index = 0;
    pl.current_index = 0;
}

}  // namespace zv
