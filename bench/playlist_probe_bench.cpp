// Adding a folder of 2000 songs (1000 WAV, 1000 MP3 with and without a VBR header and an
// ID3v1 tag) to the playlist: every file is probed and every MP3's tag is read. The target
// is under 2 seconds for the whole folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sources/playlist.h"
#include "sources/playlist_view.h"

namespace {

using Bytes = std::vector<char>;

constexpr double TARGET_SECONDS = 2.0;
constexpr int RUNS = 3;

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

void put_le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
        b.push_back(static_cast<char>(v >> (8 * i)));
    }
}

Bytes small_wav(uint32_t rate, uint16_t channels, uint32_t data_bytes) {
    Bytes b = {'R', 'I', 'F', 'F'};
    put_le(b, 36 + data_bytes, 4);
    for (char c : std::string("WAVEfmt ")) {
        b.push_back(c);
    }
    put_le(b, 16, 4);
    put_le(b, 1, 2);
    put_le(b, channels, 2);
    put_le(b, rate, 4);
    put_le(b, rate * channels * 2, 4);
    put_le(b, channels * 2u, 2);
    put_le(b, 16, 2);
    for (char c : std::string("data")) {
        b.push_back(c);
    }
    put_le(b, data_bytes, 4);
    b.resize(b.size() + data_bytes);
    return b;
}

// Writes the 2000 songs into nested folders of 100 files each.
bool make_song_folder(const std::string& root) {
    std::string media = ZV_FIXTURE_DIR;  // songs made by scripts/make-fixtures
    Bytes with_info = read_file(media + "/cbr128_id3v1v2.mp3");
    Bytes estimated = read_file(media + "/sjis_tag_no_info.mp3");
    if (with_info.size() < 8192 || estimated.size() < 20608) {
        std::fprintf(stderr, "generated songs not found under %s (scripts/make-fixtures)\n",
                     media.c_str());
        return false;
    }
    // Short cuts of the real files: the probe reads the headers, the size and the tag only.
    Bytes mp3_info(with_info.begin(), with_info.begin() + 8192);
    Bytes mp3_tagged(estimated.begin(), estimated.begin() + 20480);
    mp3_tagged.insert(mp3_tagged.end(), estimated.end() - 128, estimated.end());
    Bytes wav_stereo = small_wav(44100, 2, 4000);
    Bytes wav_mono = small_wav(48000, 1, 4000);
    for (int i = 0; i < 2000; ++i) {
        std::string dir = root + "/folder" + std::to_string(i / 100);
        std::filesystem::create_directories(dir);
        std::string name = dir + "/song" + std::to_string(i);
        switch (i % 4) {
            case 0:
                write_file(name + ".wav", wav_stereo);
                break;
            case 1:
                write_file(name + ".WAV", wav_mono);
                break;
            case 2:
                write_file(name + ".mp3", mp3_info);
                break;
            default:
                write_file(name + ".mp3", mp3_tagged);
        }
    }
    return true;
}

}  // namespace

int main() {
    std::string templ = (std::filesystem::temp_directory_path() / "zvbench-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = templ;
    int status = 0;
    if (!make_song_folder(root)) {
        status = 1;
    } else {
        double best = 1e9;
        for (int run = 0; run < RUNS; ++run) {
            auto pl = std::make_unique<zv::Playlist>();
            auto t0 = std::chrono::steady_clock::now();
            zv::ScanResult r = zv::scan_folder(*pl, root, true);
            double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            best = std::min(best, s);
            std::printf("run %d: scan_folder added %d songs in %.3f s\n", run + 1, r.added, s);
            auto t1 = std::chrono::steady_clock::now();
            zv::PlaylistView view;
            zv::refresh_playlist_view(*pl, view, zv::EngineActivity{});
            double v = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
            std::printf("       refresh_playlist_view of %zu rows in %.3f s\n", view.rows.size(),
                        v);
            if (pl->song_count != 2000) {
                std::fprintf(stderr, "expected 2000 songs, got %d\n", pl->song_count);
                status = 1;
            }
        }
        std::printf("best: %.3f s for 2000 files, %.1f us per file; %.2f of the %.1f s target\n",
                    best, best / 2000 * 1e6, best / TARGET_SECONDS, TARGET_SECONDS);
        if (best >= TARGET_SECONDS) {
            status = 1;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return status;
}
