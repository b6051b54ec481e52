// Playlist files: the byte layout, the rebuild on opening, and failures that must leave both
// the list in memory and the file on disk as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sources/playlist_file.h"
#include "tests/sources/playlist_test_util.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

using test::folder_listing;
using test::make_playlist;
using test::read_bytes;
using test::ScratchDir;
using test::write_bytes;

int32_t i32_at(const std::vector<uint8_t>& b, size_t offset) {
    return static_cast<int32_t>(b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) |
                                (uint32_t{b[offset + 3]} << 24));
}

struct ThreeSongs {
    ScratchDir dir;
    std::unique_ptr<Playlist> pl = make_playlist();
    ThreeSongs() {
        test::write_wav(dir / "one.wav", 44100, 2, 17640);
        test::write_wav(dir / "two.wav", 48000, 1, 9600);
        std::filesystem::copy_file(test::fixture("cbr128_id3v1v2.mp3"), dir / "three.mp3");
        for (const char* name : {"one.wav", "two.wav", "three.mp3"}) {
            add_song_file(*pl, dir / name, true);
        }
        pl->selected_index = 2;
    }
};

TEST(PlaylistFile, ThreeSongsSaveToTheFixedLayout) {
    ThreeSongs s;
    s.pl->entries[0].peak_level = 12345;
    std::string plt = s.dir / "list.plt";
    ASSERT_EQ(save_playlist_file(*s.pl, plt).status, PlaylistFileStatus::ok);

    std::vector<uint8_t> b = read_bytes(plt);
    ASSERT_EQ(b.size(), 640008u);
    EXPECT_EQ(i32_at(b, 0), 44100);
    EXPECT_EQ(i32_at(b, 4), 2);
    EXPECT_EQ(i32_at(b, 8), 12345);
    EXPECT_EQ(i32_at(b, 12), SOURCE_WAV);
    EXPECT_EQ(i32_at(b, 16), 17640);
    std::string first = s.dir / "one.wav";
    EXPECT_EQ(std::memcmp(b.data() + 64, first.data(), first.size()), 0);
    for (size_t i = 64 + first.size(); i < 320; ++i) {
        ASSERT_EQ(b[i], 0) << i;
    }
    EXPECT_EQ(i32_at(b, 320 + 12), SOURCE_WAV);
    EXPECT_EQ(i32_at(b, 640 + 12), SOURCE_MP3);
    EXPECT_EQ(i32_at(b, 32000), 2);
    EXPECT_EQ(i32_at(b, 32004), 3);
    // No temporary file is left beside it.
    EXPECT_EQ(folder_listing(s.dir.path()),
              (std::vector<std::string>{"list.plt", "one.wav", "three.mp3", "two.wav"}));
}

TEST(PlaylistFile, SlotsAfterTheFirstHundredFollowTheTwoIndices) {
    auto pl = make_playlist();
    pl->entries[100].sample_rate = 32000;
    pl->entries[1999].pcm_bytes = -2;
    std::vector<uint8_t> b = playlist_file_image(*pl);
    EXPECT_EQ(i32_at(b, 32008), 32000);
    EXPECT_EQ(i32_at(b, 32008 + 1899 * 320 + 16), -2);
}

TEST(PlaylistFile, ReopeningProbesAfreshAndDropsWhatVanished) {
    ThreeSongs s;
    for (int i = 0; i < 3; ++i) {
        s.pl->entries[i].peak_level = 20000;
        s.pl->song_mark[i] = MARK_EXPORTED;
    }
    std::string plt = s.dir / "list.plt";
    ASSERT_EQ(save_playlist_file(*s.pl, plt).status, PlaylistFileStatus::ok);
    std::filesystem::remove(s.dir / "two.wav");

    auto pl = make_playlist();
    pl->sort_column = 7;
    PlaylistFileResult r = open_playlist_file(*pl, plt, true);
    ASSERT_EQ(r.status, PlaylistFileStatus::ok);
    EXPECT_EQ(r.stored_songs, 3);
    EXPECT_EQ(r.dropped_songs, 1);
    ASSERT_EQ(pl->song_count, 2);
    EXPECT_EQ(song_path(pl->entries[0]), s.dir / "one.wav");
    EXPECT_EQ(song_path(pl->entries[1]), s.dir / "three.mp3");
    EXPECT_EQ(pl->entries[1].source_type, SOURCE_MP3);
    EXPECT_EQ(std::to_string(pl->entries[1].pcm_bytes),
              test::fixture_row("cbr128_id3v1v2.mp3")["pcm_bytes"]);
    EXPECT_EQ(pl->tags[1].title(), "Fixture Song");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(pl->entries[i].peak_level, 0);  // peak levels are measured again, not trusted
        EXPECT_EQ(pl->song_mark[i], MARK_NONE);
    }
    EXPECT_EQ(pl->selected_index, 1);  // stored 2, clamped to the shorter list
    EXPECT_EQ(pl->sort_column, 7);
}

TEST(PlaylistFile, StoredFormatsAreNotTrusted) {
    ThreeSongs s;
    std::vector<uint8_t> image = playlist_file_image(*s.pl);
    image[0] = 0x11;  // a stored sample rate that is wrong
    image[320 + 12] = SOURCE_MP3_PENDING;
    auto pl = make_playlist();
    ASSERT_EQ(load_playlist_image(*pl, image.data(), image.size()).status, PlaylistFileStatus::ok);
    EXPECT_EQ(pl->entries[0].sample_rate, 44100);
    EXPECT_EQ(pl->entries[1].source_type, SOURCE_WAV);
}

TEST(PlaylistFile, StoredCountAboveTheLimitOpensAs2000) {
    auto full = make_playlist();
    for (int i = 0; i < MAX_SONGS; ++i) {
        add_song_file(*full, "/m/" + std::to_string(i) + ".mp3", true, test::fake_probes());
    }
    std::vector<uint8_t> image = playlist_file_image(*full);
    image[32004] = 0x88;  // 5000
    image[32005] = 0x13;
    image[32000] = 0xFF;  // selected -1
    image[32001] = 0xFF;
    image[32002] = 0xFF;
    image[32003] = 0xFF;
    auto pl = make_playlist();
    PlaylistFileResult r =
        load_playlist_image(*pl, image.data(), image.size(), test::fake_probes());
    EXPECT_EQ(r.stored_songs, MAX_SONGS);
    EXPECT_EQ(pl->song_count, MAX_SONGS);
    EXPECT_EQ(pl->selected_index, 0);
    EXPECT_EQ(song_path(pl->entries[1999]), "/m/1999.mp3");
    EXPECT_EQ(pl->tags[1999].title(), "1999.mp3");
}

TEST(PlaylistFile, UnterminatedOrForeignPathsAreDropped) {
    auto src = make_playlist();
    test::add_fake_songs(*src, {"a.wav", "b.wav", "c.wav"});
    std::vector<uint8_t> image = playlist_file_image(*src);
    std::memset(image.data() + 320 + 64, 'x', 256);  // slot 1: no terminator anywhere
    std::memcpy(image.data() + 640 + 64, "/m/c.txt", 9);
    auto pl = make_playlist();
    PlaylistFileResult r =
        load_playlist_image(*pl, image.data(), image.size(), test::fake_probes());
    EXPECT_EQ(r.dropped_songs, 2);
    ASSERT_EQ(pl->song_count, 1);
    EXPECT_EQ(song_path(pl->entries[0]), "/music/a.wav");
}

TEST(PlaylistFile, FailedOpenLeavesTheListUntouched) {
    ScratchDir dir;
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"a.wav", "b.mp3"});
    pl->selected_index = 1;
    std::vector<uint8_t> before = playlist_file_image(*pl);

    write_bytes(dir / "short.plt", std::vector<uint8_t>(640007));
    write_bytes(dir / "long.plt", std::vector<uint8_t>(640009));
    std::filesystem::create_directory(dir / "folder.plt");
    ASSERT_EQ(mkfifo((dir / "pipe.plt").c_str(), 0600), 0);
    write_bytes(dir / "good.plt", std::vector<uint8_t>(640008));

    struct Case {
        std::string path;
        bool idle;
        PlaylistFileStatus status;
    };
    for (const Case& c : {Case{dir / "missing.plt", true, PlaylistFileStatus::cannot_open},
                          Case{dir / "short.plt", true, PlaylistFileStatus::wrong_size},
                          Case{dir / "long.plt", true, PlaylistFileStatus::wrong_size},
                          Case{dir / "folder.plt", true, PlaylistFileStatus::cannot_open},
                          Case{dir / "pipe.plt", true, PlaylistFileStatus::cannot_open},
                          Case{dir / "good.plt", false, PlaylistFileStatus::engine_busy}}) {
        PlaylistFileResult r = open_playlist_file(*pl, c.path, c.idle, test::fake_probes());
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_EQ(playlist_file_image(*pl), before) << c.path;
        EXPECT_EQ(pl->song_count, 2);
        // A file that cannot be opened says why: missing, a folder, a FIFO.
        EXPECT_EQ(playlist_file_reason(r).empty(), c.status != PlaylistFileStatus::cannot_open)
            << c.path;
    }
    // A well-sized file of zeros is an empty list.
    EXPECT_EQ(open_playlist_file(*pl, dir / "good.plt", true).status, PlaylistFileStatus::ok);
    EXPECT_EQ(pl->song_count, 0);
    EXPECT_EQ(pl->selected_index, 0);
}

TEST(PlaylistFile, FailedSaveLeavesNothingBehindAndReplacesWhole) {
    ScratchDir dir;
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"a.wav"});

    PlaylistFileResult r = save_playlist_file(*pl, dir / "no/such/folder/x.plt");
    EXPECT_EQ(r.status, PlaylistFileStatus::cannot_write);
    EXPECT_NE(playlist_file_reason(r).find("x.plt"), std::string::npos) << playlist_file_reason(r);

    // The target is a folder: the rename fails and the temporary file is removed again.
    std::filesystem::create_directory(dir / "taken.plt");
    EXPECT_EQ(save_playlist_file(*pl, dir / "taken.plt").status, PlaylistFileStatus::cannot_write);
    EXPECT_EQ(folder_listing(dir.path()), std::vector<std::string>{"taken.plt"});

    // An existing file is replaced by the whole new image; a link keeps pointing at it.
    write_bytes(dir / "old.plt", std::vector<uint8_t>(10, 0xAA));
    std::filesystem::create_symlink(dir / "old.plt", dir / "link.plt");
    ASSERT_EQ(save_playlist_file(*pl, dir / "link.plt").status, PlaylistFileStatus::ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.plt"));
    EXPECT_EQ(read_bytes(dir / "old.plt"), playlist_file_image(*pl));
    EXPECT_EQ(folder_listing(dir.path()),
              (std::vector<std::string>{"link.plt", "old.plt", "taken.plt"}));
}

}  // namespace
}  // namespace zv
