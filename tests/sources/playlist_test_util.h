// Fixtures shared by the playlist tests: a scratch folder, WAV files written byte by byte,
// and stand-in probes that decide from the file name so the list commands can be tested
// on thousands of songs without touching the disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sources/playlist.h"

namespace zv::test {

inline std::string media(const char* name) {
    return std::string(ZV_MEDIA_DIR) + "/" + name;
}

class ScratchDir {
public:
    ScratchDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "zvpl-XXXXXX").string();
        path_ = mkdtemp(templ.data()) ? templ : std::string();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void put_le(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

// A canonical 44-byte-header WAV with data_bytes bytes of silence.
inline void write_wav(const std::string& path, uint32_t rate, uint16_t channels,
                      uint32_t data_bytes, uint16_t bits = 16) {
    std::vector<uint8_t> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put_le(b, 36 + data_bytes, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put_le(b, 16, 4);
    put_le(b, 1, 2);
    put_le(b, channels, 2);
    put_le(b, rate, 4);
    put_le(b, rate * channels * bits / 8, 4);
    put_le(b, channels * bits / 8, 2);
    put_le(b, bits, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put_le(b, data_bytes, 4);
    b.resize(b.size() + data_bytes);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void copy_file(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

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
