#include "sources/playlist_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sources/open_file.h"
#include "sources/replace_file.h"

namespace zv {
namespace {

constexpr size_t SLOT_BYTES = sizeof(SongEntry);
constexpr size_t RESERVED_OFFSET = 20;
constexpr size_t PATH_OFFSET = RESERVED_OFFSET + SONG_RESERVED_BYTES;
static_assert(PATH_OFFSET + SONG_PATH_BYTES == SLOT_BYTES);

void put_i32(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

int32_t get_i32(const uint8_t* p) {
    uint32_t u = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    return static_cast<int32_t>(u);
}

size_t slot_offset(int slot) {
    return slot < PLT_HEAD_SLOTS ? slot * SLOT_BYTES
                                 : PLT_TAIL_OFFSET + (slot - PLT_HEAD_SLOTS) * SLOT_BYTES;
}

void put_slot(uint8_t* p, const SongEntry& e) {
    put_i32(p, e.sample_rate);
    put_i32(p + 4, e.channels);
    put_i32(p + 8, e.peak_level);
    put_i32(p + 12, e.source_type);
    put_i32(p + 16, e.pcm_bytes);
    std::memcpy(p + RESERVED_OFFSET, e.reserved, SONG_RESERVED_BYTES);
    std::memcpy(p + PATH_OFFSET, e.path, SONG_PATH_BYTES);
}

void get_slot(const uint8_t* p, SongEntry& e) {
    e.sample_rate = get_i32(p);
    e.channels = get_i32(p + 4);
    e.peak_level = get_i32(p + 8);
    e.source_type = get_i32(p + 12);
    e.pcm_bytes = get_i32(p + 16);
    std::memcpy(e.reserved, p + RESERVED_OFFSET, SONG_RESERVED_BYTES);
    std::memcpy(e.path, p + PATH_OFFSET, SONG_PATH_BYTES);
}

PlaylistFileResult failure(PlaylistFileStatus status, int error_number) {
    PlaylistFileResult r;
    r.status = status;
    r.error_number = error_number;
    return r;
}

}  // namespace

std::vector<uint8_t> playlist_file_image(const Playlist& pl) {
    std::vector<uint8_t> image(PLAYLIST_FILE_BYTES);
    for (int i = 0; i < MAX_SONGS; ++i) {
        put_slot(image.data() + slot_offset(i), pl.entries[i]);
    }
    put_i32(image.data() + PLT_SELECTED_OFFSET, pl.selected_index);
    put_i32(image.data() + PLT_COUNT_OFFSET, pl.song_count);
    return image;
}

int rebuild_playlist(Playlist& pl, const SongProbes& probes) {
    int count = std::clamp(pl.song_count, 0, MAX_SONGS);
    int j = 0;
    for (int i = 0; i < count; ++i) {
        const SongEntry& stored = pl.entries[i];
        // A path without its terminator inside the field would be read past its end or cut;
        // either names some other file, so the song is dropped.
        if (std::memchr(stored.path, 0, SONG_PATH_BYTES) == nullptr) {
            continue;
        }
        const std::string path = stored.path;  // copied: slot j may be slot i
        const SongProbe song = probe_song(path, probes);
        if (song.accepted) {
            put_probed_song(pl, j, path, song, probes);
            ++j;
        }
    }
    pl.song_count = j;
    pl.selected_index = std::clamp(pl.selected_index, 0, std::max(j - 1, 0));
    return count - j;
}

PlaylistFileResult load_playlist_image(Playlist& pl, const uint8_t* data, size_t size,
                                       const SongProbes& probes) {
    if (size != PLAYLIST_FILE_BYTES) {
        return failure(PlaylistFileStatus::wrong_size, 0);
    }
    for (int i = 0; i < MAX_SONGS; ++i) {
        get_slot(data + slot_offset(i), pl.entries[i]);
    }
    pl.selected_index = std::clamp(get_i32(data + PLT_SELECTED_OFFSET), 0, MAX_SONGS - 1);
    pl.song_count = std::clamp(get_i32(data + PLT_COUNT_OFFSET), 0, MAX_SONGS);
    PlaylistFileResult r;
    r.stored_songs = pl.song_count;
    r.dropped_songs = rebuild_playlist(pl, probes);
    return r;
}

PlaylistFileResult open_playlist_file(Playlist& pl, const std::string& path, bool engine_idle,
                                      const SongProbes& probes) {
    if (!engine_idle) {
        return failure(PlaylistFileStatus::engine_busy, 0);
    }
    // A FIFO or a device given as the playlist file is refused instead of waited on.
    OpenFailure why;
    uint64_t size = 0;
    const int fd = open_regular_file(path, why, &size);
    if (fd < 0) {
        PlaylistFileResult r = failure(PlaylistFileStatus::cannot_open, why.error_number);
        r.kind = why.kind;
        return r;
    }
    if (size != PLAYLIST_FILE_BYTES) {
        ::close(fd);
        return failure(PlaylistFileStatus::wrong_size, 0);
    }
    std::vector<uint8_t> image(PLAYLIST_FILE_BYTES);
    const ReadOutcome got = read_fully(fd, image.data(), image.size());
    ::close(fd);
    if (got.error != 0) {
        return failure(PlaylistFileStatus::read_error, got.error);
    }
    if (got.bytes != image.size()) {
        return failure(PlaylistFileStatus::read_error, EIO);  // the file shrank while read
    }
    return load_playlist_image(pl, image.data(), image.size(), probes);
}

PlaylistFileResult save_playlist_file(const Playlist& pl, const std::string& path) {
    const std::vector<uint8_t> image = playlist_file_image(pl);
    FileReplacer file;
    if (!file.begin(path) || !file.write(image.data(), image.size()) || !file.commit()) {
        PlaylistFileResult r = failure(PlaylistFileStatus::cannot_write, 0);
        r.reason = file.error();
        return r;
    }
    PlaylistFileResult r;
    r.stored_songs = pl.song_count;
    return r;
}

std::string playlist_file_reason(const PlaylistFileResult& result) {
    if (result.status == PlaylistFileStatus::cannot_write) {
        return result.reason;
    }
    if (result.error_number != 0) {
        return std::strerror(result.error_number);
    }
    if (result.kind != FileKind::Regular && result.kind != FileKind::Missing) {
        return std::string(file_kind_text(result.kind)) + ", not a regular file";
    }
    return {};
}

}  // namespace zv
