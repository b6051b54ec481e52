#include "sources/playlist_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

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

// Probes one stored path; on success writes the fresh entry into slot j.
bool rebuild_slot(Playlist& pl, const std::string& path, int j, const SongProbes& probes) {
    int32_t rate = 0, channels = 0;
    int32_t type = SOURCE_WAV;
    int64_t pcm_bytes = 0;
    if (has_extension(path, ".wav")) {
        uint32_t data_bytes = 0;
        if (probes.wav(path, rate, channels, data_bytes) != 1) {
            return false;
        }
        pcm_bytes = data_bytes;
    } else if (has_extension(path, ".mp3")) {
        if (probes.mp3(path, rate, channels, pcm_bytes) != 1 || pcm_bytes < 0) {
            return false;
        }
        type = SOURCE_MP3;
    } else {
        return false;
    }
    SongEntry& e = pl.entries[j];
    e.sample_rate = rate;
    e.channels = channels;
    e.peak_level = 0;
    e.source_type = type;
    e.pcm_bytes = clamp_pcm_bytes(pcm_bytes);
    set_song_path(e, path);
    if (type == SOURCE_MP3) {
        pl.tags[j] = Id3v1Tag{};
        probes.id3v1(path, pl.tags[j]);
    }
    pl.song_mark[j] = MARK_NONE;
    return true;
}

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::string resolve_link(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return path;
    }
    std::string out = real;
    std::free(real);
    return out;
}

bool write_all(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool read_all(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = read(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;  // the file shrank while being read
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
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
        std::string path = stored.path;  // copied: slot j may be slot i
        if (rebuild_slot(pl, path, j, probes)) {
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
    // Non-blocking, so a FIFO given as the playlist file is refused instead of waited on.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return failure(PlaylistFileStatus::cannot_open, errno);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        int err = errno;
        close(fd);
        return failure(PlaylistFileStatus::read_error, err);
    }
    if (S_ISDIR(st.st_mode)) {
        close(fd);
        return failure(PlaylistFileStatus::cannot_open, EISDIR);
    }
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) != PLAYLIST_FILE_BYTES) {
        close(fd);
        return failure(PlaylistFileStatus::wrong_size, 0);
    }
    std::vector<uint8_t> image(PLAYLIST_FILE_BYTES);
    bool ok = read_all(fd, image.data(), image.size());
    int err = errno;
    close(fd);
    if (!ok) {
        return failure(PlaylistFileStatus::read_error, err);
    }
    return load_playlist_image(pl, image.data(), image.size(), probes);
}

PlaylistFileResult save_playlist_file(const Playlist& pl, const std::string& path) {
    std::string target = resolve_link(path);
    std::string folder = folder_of(target);
    std::vector<uint8_t> image = playlist_file_image(pl);

    // The temporary name is made here rather than with mkstemp so the new file gets the
    // usual 0666 & ~umask mode like any file the user saves.
    std::random_device entropy;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "/.zvplt-%d-%08x.tmp", static_cast<int>(getpid()),
                      static_cast<unsigned>(entropy()));
        temp = folder + name;
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return failure(PlaylistFileStatus::cannot_write, errno);
    }
    bool ok = write_all(fd, image.data(), image.size()) && fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return failure(PlaylistFileStatus::cannot_write, err);
    }
    PlaylistFileResult r;
    r.stored_songs = pl.song_count;
    return r;
}

std::string playlist_file_message(const PlaylistFileResult& result, const std::string& path) {
    std::string reason = result.error_number != 0 ? std::strerror(result.error_number) : "";
    switch (result.status) {
        case PlaylistFileStatus::ok:
        case PlaylistFileStatus::engine_busy:
            return {};
        case PlaylistFileStatus::cannot_open:
            return "再生リストファイルを開けません。\n" + path + "\n(" + reason + ")";
        case PlaylistFileStatus::wrong_size:
            return "再生リストファイルではありません。\n" + path;
        case PlaylistFileStatus::read_error:
            return "再生リストファイルを読み込めません。\n" + path + "\n(" + reason + ")";
        case PlaylistFileStatus::cannot_write:
            return "再生リストファイルを保存できません。\n" + path + "\n(" + reason + ")";
    }
    return {};
}

std::string playlist_file_error_text(const PlaylistFileResult& result) {
    std::string reason = result.error_number != 0 ? std::strerror(result.error_number) : "";
    switch (result.status) {
        case PlaylistFileStatus::ok:
            return {};
        case PlaylistFileStatus::engine_busy:
            return "the player is busy";
        case PlaylistFileStatus::cannot_open:
            return "cannot open: " + reason;
        case PlaylistFileStatus::wrong_size:
            return "not a playlist file (a playlist file is exactly " +
                   std::to_string(PLAYLIST_FILE_BYTES) + " bytes)";
        case PlaylistFileStatus::read_error:
            return "read error: " + reason;
        case PlaylistFileStatus::cannot_write:
            return "cannot write: " + reason;
    }
    return {};
}

}  // namespace zv
