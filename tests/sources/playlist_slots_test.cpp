// What enters a playlist slot and in which order: a slot reused after Remove All, Delete or
// Open Playlist keeps nothing of its previous song (an untagged WAV exported to MP3 would
// otherwise carry the old song's tag), and a folder's songs enter in natural name order, as
// `ls -v` lists them, the first 2000 of them when there are more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sources/natural_order.h"
#include "sources/playlist.h"
#include "sources/playlist_file.h"
#include "tests/sources/playlist_test_util.h"
#include "tests/support/scratch_dir.h"

namespace zv {
namespace {

using test::fake_probes;
using test::make_playlist;
using test::names_in_order;
using test::ScratchDir;
using Names = std::vector<std::string>;

// Fills every field of slot i with what a tagged, exported, scanned MP3 leaves there.
void dirty_slot(Playlist& pl, int i) {
    SongEntry& e = pl.entries[static_cast<size_t>(i)];
    e.sample_rate = 32000;
    e.channels = 1;
    e.peak_level = 12345;
    e.source_type = SOURCE_MP3;
    e.pcm_bytes = 999;
    std::memset(e.reserved, 0x5A, SONG_RESERVED_BYTES);
    set_song_path(e, "/old/a-much-longer-path-of-the-old-song.mp3");
    Id3v1Tag tag;
    std::memcpy(tag.bytes.data(), "TAGOld Title", 12);
    tag.bytes[126] = 7;
    pl.tags[static_cast<size_t>(i)] = tag;
    pl.song_mark[static_cast<size_t>(i)] = MARK_EXPORTED;
}

// A WAV as the stand-in probe gives it, and nothing else, in slot i.
void expect_fresh_wav(const Playlist& pl, int i, const std::string& path) {
    SongEntry want;
    want.sample_rate = 44100;
    want.channels = 2;
    want.pcm_bytes = 176400;
    set_song_path(want, path);
    const SongEntry& e = pl.entries[static_cast<size_t>(i)];
    EXPECT_EQ(std::memcmp(&e, &want, sizeof want), 0) << "slot " << i << " keeps old bytes";
    EXPECT_EQ(e.peak_level, 0);
    EXPECT_EQ(pl.tags[static_cast<size_t>(i)].bytes, Id3v1Tag{}.bytes) << "slot " << i;
    EXPECT_EQ(pl.song_mark[static_cast<size_t>(i)], MARK_NONE);
}

TEST(PlaylistSlots, ASlotReusedAfterRemoveAllKeepsNothingOfItsSong) {
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"tagged.mp3", "b.wav"});
    dirty_slot(*pl, 0);
    ASSERT_TRUE(remove_all(*pl, true));
    ASSERT_EQ(add_song_file(*pl, "/music/untagged.wav", true, fake_probes()), AddResult::added);
    expect_fresh_wav(*pl, 0, "/music/untagged.wav");
    // A pending MP3 (added while a song plays) starts from a clean slot too.
    dirty_slot(*pl, 1);
    ASSERT_EQ(add_song_file(*pl, "/music/later.mp3", false, fake_probes()), AddResult::added);
    EXPECT_EQ(pl->tags[1].bytes, Id3v1Tag{}.bytes);
    EXPECT_EQ(pl->entries[1].peak_level, 0);
    EXPECT_EQ(pl->entries[1].reserved[0], 0);
    EXPECT_EQ(pl->song_mark[1], MARK_NONE);
}

TEST(PlaylistSlots, ASlotReusedAfterDeleteKeepsNothingOfItsSong) {
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"a.wav", "tagged.mp3"});
    dirty_slot(*pl, 1);
    pl->selected_index = 0;
    ASSERT_TRUE(delete_selected(*pl, true));
    ASSERT_EQ(pl->song_count, 1);
    ASSERT_EQ(add_song_file(*pl, "/music/untagged.wav", true, fake_probes()), AddResult::added);
    expect_fresh_wav(*pl, 1, "/music/untagged.wav");
}

TEST(PlaylistSlots, SlotsFilledByOpenPlaylistKeepNothingOfTheirSongs) {
    // The file lists a WAV in slot 1 while the list in memory holds a tagged MP3 there; a
    // stored MP3 that is gone moves the WAV up into slot 0, which held another tagged MP3.
    auto stored = make_playlist();
    test::add_fake_songs(*stored, {"gone-bad.mp3", "untagged.wav"});
    const std::vector<uint8_t> image = playlist_file_image(*stored);
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"x.mp3", "y.mp3"});
    dirty_slot(*pl, 0);
    dirty_slot(*pl, 1);
    ASSERT_EQ(load_playlist_image(*pl, image.data(), image.size(), fake_probes()).status,
              PlaylistFileStatus::ok);
    ASSERT_EQ(pl->song_count, 1);
    expect_fresh_wav(*pl, 0, "/music/untagged.wav");
}

TEST(NaturalOrder, NumbersByValueSuffixesLastDotNamesFirst) {
    const Names sorted = {".hidden.wav", "01.wav",     "1.wav",      "2.wav",      "10.wav",
                          "12.wav",      "A.wav",      "a.wav",      "a2.wav",     "a10.wav",
                          "track2",      "track2.mp3", "track2.wav", "track10.wav"};
    // Every pair in the order above compares as ordered (the order is strict and total).
    for (size_t i = 0; i < sorted.size(); ++i) {
        for (size_t j = 0; j < sorted.size(); ++j) {
            EXPECT_EQ(natural_compare(sorted[i], sorted[j]), (i > j) - (i < j))
                << sorted[i] << " vs " << sorted[j];
        }
    }
}

TEST(PlaylistAdd, AFolderEntersInNaturalNameOrderWithSubfoldersInPlace) {
    ScratchDir dir;
    const auto album = dir.path() / "album";
    std::filesystem::create_directories(album / "05 extras");
    for (int i = 1; i <= 12; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.wav", i);
        std::ofstream(album / name);
    }
    std::ofstream(album / "05 extras" / "track10.mp3");
    std::ofstream(album / "05 extras" / "track2.mp3");
    std::ofstream(album / "notes.txt");
    auto pl = make_playlist();
    const ScanResult r = scan_folder(*pl, album.string(), true, fake_probes());
    EXPECT_EQ(r.added, 14);
    EXPECT_EQ(names_in_order(*pl),
              (Names{"01.wav", "02.wav", "03.wav", "04.wav", "05.wav", "track2.mp3", "track10.mp3",
                     "06.wav", "07.wav", "08.wav", "09.wav", "10.wav", "11.wav", "12.wav"}));
}

TEST(PlaylistAdd, AFullListKeepsTheFirstSongsInOrderAndCountsTheRest) {
    ScratchDir dir;
    for (int i = 1; i <= MAX_SONGS + 37; ++i) {
        std::ofstream(dir.path() / ("song" + std::to_string(i) + ".wav"));
    }
    std::ofstream(dir.path() / "cover.jpg");
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"first.wav"});
    const ScanResult r = drop_paths(*pl, {dir.path().string()}, true, fake_probes());
    EXPECT_EQ(r.added, MAX_SONGS - 1);
    EXPECT_TRUE(r.list_full_reached);
    EXPECT_EQ(r.left_out, 38);
    EXPECT_EQ(file_name_part(song_path(pl->entries[1])), "song1.wav");
    EXPECT_EQ(file_name_part(song_path(pl->entries[MAX_SONGS - 1])),
              "song" + std::to_string(MAX_SONGS - 1) + ".wav");
    // Files named after the full list are counted, not opened.
    const ScanResult more = drop_paths(*pl, {"/music/a.wav"}, true, fake_probes());
    EXPECT_TRUE(more.list_full_reached);
}

}  // namespace
}  // namespace zv
