// Stand-in probes for the playlist tests: they decide from the file name, so the list commands
// can be tested on thousands of songs without touching the disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sources/playlist.h"

namespace zv::test {

// Stand-in probes: every name is a supported song unless it contains "bad". WAVs are
// 44.1 kHz stereo of one second, MP3s 48 kHz mono of two seconds, and an MP3's tag title is
// its file name (cut to the 30-byte field).
inline int fake_wav(const std::string& path, int32_t& rate, int32_t& channels,
                    uint32_t& data_bytes) {
    if (path.find("bad") != std::string::npos) {
        return 0;
    }
    rate = 44100;
    channels = 2;
    data_bytes = 176400;
    return 1;
}
inline int fake_mp3(const std::string& path, int32_t& rate, int32_t& channels, int64_t& pcm_bytes) {
    if (path.find("bad") != std::string::npos) {
        return 0;
    }
    rate = 48000;
    channels = 1;
    pcm_bytes = 192000;
    return 1;
}
inline bool fake_id3v1(const std::string& path, Id3v1Tag& slot) {
    slot = Id3v1Tag{};
    slot.bytes[0] = 'T';
    slot.bytes[1] = 'A';
    slot.bytes[2] = 'G';
    std::string_view name = file_name_part(path);
    std::memcpy(slot.bytes.data() + 3, name.data(), std::min<size_t>(name.size(), 30));
    slot.bytes[126] = 9;
    return true;
}
inline const SongProbes& fake_probes() {
    static const SongProbes probes{&fake_wav, &fake_mp3, &fake_id3v1};
    return probes;
}

inline std::unique_ptr<Playlist> make_playlist() {
    return std::make_unique<Playlist>();
}

// Adds songs named by `names` through the stand-in probes, with the engine idle.
inline void add_fake_songs(Playlist& pl, const std::vector<std::string>& names) {
    for (const std::string& n : names) {
        add_song_file(pl, "/music/" + n, true, fake_probes());
    }
}

inline std::vector<std::string> names_in_order(const Playlist& pl) {
    std::vector<std::string> out;
    for (int i = 0; i < pl.song_count; ++i) {
        out.emplace_back(file_name_part(song_path(pl.entries[i])));
    }
    return out;
}

}  // namespace zv::test
