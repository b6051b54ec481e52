// The playlist file reader on untrusted bytes. The input is taken two ways: as a whole file
// (any length but 640008 must be refused without touching the list), and spread over a
// 640008-byte image so short inputs still reach the parser: its first 8 bytes become the
// selected index and the song count, the rest fills the slots from offset 0 on. Songs are
// "probed" from their path bytes, so the rebuild and the view run without the disk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "sources/playlist.h"
#include "sources/playlist_file.h"
#include "sources/playlist_view.h"

namespace {

using namespace zv;

// A path "passes its probe" when its length is not a multiple of 3; the format follows the
// last byte before the extension, so every field value shows up in the rows.
int fuzz_wav(const std::string& path, int32_t& rate, int32_t& channels, uint32_t& data_bytes) {
    if (path.size() % 3 == 0) {
        return path.size() % 2 == 0 ? 0 : -1;
    }
    uint8_t b = path.size() > 4 ? static_cast<uint8_t>(path[path.size() - 5]) : 0;
    rate = (b & 1) ? 44100 : 32000;
    channels = 1 + (b >> 7);
    data_bytes = b * 0x01010101u;
    return 1;
}

int fuzz_mp3(const std::string& path, int32_t& rate, int32_t& channels, int64_t& pcm_bytes) {
    if (path.size() % 3 == 0) {
        return 0;
    }
    uint8_t b = path.size() > 4 ? static_cast<uint8_t>(path[path.size() - 5]) : 0;
    rate = 48000;
    channels = 1 + (b & 1);
    pcm_bytes = static_cast<int64_t>(b) << 25;  // beyond int32 for large b
    return 1;
}

// The tag is the path's bytes, so tag texts are arbitrary bytes for the display conversion.
bool fuzz_id3v1(const std::string& path, Id3v1Tag& slot) {
    slot = Id3v1Tag{};
    std::memcpy(slot.bytes.data(), path.data(), std::min(path.size(), slot.bytes.size()));
    return true;
}

const SongProbes FUZZ_PROBES{&fuzz_wav, &fuzz_mp3, &fuzz_id3v1};

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void check_list(const Playlist& pl, const PlaylistFileResult& r) {
    check(r.status == PlaylistFileStatus::ok);
    check(pl.song_count >= 0 && pl.song_count <= MAX_SONGS);
    check(pl.song_count == r.stored_songs - r.dropped_songs);
    check(pl.selected_index >= 0 && (pl.selected_index < pl.song_count || pl.selected_index == 0));
    for (int i = 0; i < pl.song_count; ++i) {
        const SongEntry& e = pl.entries[i];
        check(std::memchr(e.path, 0, SONG_PATH_BYTES) != nullptr);
        check(e.peak_level == 0 && e.pcm_bytes >= 0 && pl.song_mark[i] == MARK_NONE);
        check(e.source_type == SOURCE_WAV || e.source_type == SOURCE_MP3);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As a whole file: only the exact size is taken, anything else leaves the list alone.
    // Reused between runs: a fresh 900 KB list and 640 KB image per input would dominate.
    static_assert(std::is_trivially_copyable_v<Playlist>);
    static const auto blank = std::make_unique<const Playlist>();
    static const auto pl = std::make_unique<Playlist>();
    static std::vector<uint8_t> image(PLAYLIST_FILE_BYTES);
    std::memcpy(pl.get(), blank.get(), sizeof(Playlist));
    PlaylistFileResult whole = load_playlist_image(*pl, data, size, FUZZ_PROBES);
    if (size != PLAYLIST_FILE_BYTES) {
        check(whole.status == PlaylistFileStatus::wrong_size && pl->song_count == 0);
    } else {
        check_list(*pl, whole);
    }

    // Spread over an image.
    std::memset(image.data(), 0, image.size());
    if (size >= 8) {
        size_t rest = std::min(size - 8, image.size());
        std::memcpy(image.data(), data + 8, rest);
        // Keep the two indices the input chose even when its slots run over them.
        std::memcpy(image.data() + PLT_SELECTED_OFFSET, data, 8);
    }
    std::memcpy(pl.get(), blank.get(), sizeof(Playlist));
    PlaylistFileResult r = load_playlist_image(*pl, image.data(), image.size(), FUZZ_PROBES);
    check_list(*pl, r);

    PlaylistView view;
    refresh_playlist_view(*pl, view, EngineActivity{}, FUZZ_PROBES);
    check(static_cast<int>(view.rows.size()) == pl->song_count);

    // The list must survive the commands and a save image of itself.
    if (pl->song_count > 1) {
        pl->sort_column = data[size - 1] % 10;
        sort_songs(*pl, (data[0] & 1) != 0);
        move_selected_down(*pl);
        delete_selected(*pl, true);
    }
    std::vector<uint8_t> again = playlist_file_image(*pl);
    check(again.size() == PLAYLIST_FILE_BYTES);
    return 0;
}
