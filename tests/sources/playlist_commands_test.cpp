// The playlist commands: adding songs, the 2000-song limit, and the indices that must follow
// their entries through every command.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sources/playlist.h"
#include "tests/sources/playlist_test_util.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

using test::add_fake_songs;
using test::fake_probes;
using test::make_playlist;
using test::names_in_order;
using test::ScratchDir;
using Names = std::vector<std::string>;

TEST(PlaylistAdd, RealWavAndMp3EnterWithTheirProbedFormat) {
    ScratchDir dir;
    test::write_wav(dir / "mono.WAV", 44100, 1, 441000);
    test::write_wav(dir / "eight_bit.wav", 44100, 1, 1000, 8);
    auto pl = make_playlist();
    pl->tags[1].bytes[0] = 'X';  // leftover of an earlier song in the slot

    EXPECT_EQ(add_song_file(*pl, dir / "mono.WAV", true), AddResult::added);
    EXPECT_EQ(add_song_file(*pl, dir / "eight_bit.wav", true), AddResult::not_supported);
    EXPECT_EQ(add_song_file(*pl, dir / "missing.wav", true), AddResult::not_supported);
    EXPECT_EQ(add_song_file(*pl, test::fixture("expectations.tsv"), true), AddResult::not_a_song);
    EXPECT_EQ(add_song_file(*pl, test::fixture("cbr128_id3v1v2.mp3"), true), AddResult::added);
    EXPECT_EQ(add_song_file(*pl, test::fixture("mpeg2_22050.mp3"), true), AddResult::not_supported);
    ASSERT_EQ(pl->song_count, 2);

    const SongEntry& wav = pl->entries[0];
    EXPECT_EQ(wav.sample_rate, 44100);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.pcm_bytes, 441000);
    EXPECT_EQ(wav.source_type, SOURCE_WAV);
    EXPECT_EQ(song_path(wav), dir / "mono.WAV");

    const SongEntry& mp3 = pl->entries[1];
    EXPECT_EQ(mp3.source_type, SOURCE_MP3);
    EXPECT_EQ(mp3.sample_rate, 44100);
    EXPECT_EQ(std::to_string(mp3.pcm_bytes), test::fixture_row("cbr128_id3v1v2.mp3")["pcm_bytes"]);
    EXPECT_EQ(pl->tags[1].title(), "Fixture Song");
    EXPECT_EQ(pl->tags[1].track(), 5);
}

// One clamp for every entry's size: the largest whole stereo frame count that fits an int32.
TEST(PlaylistAdd, SizesBeyondInt32AreClampedNotWrapped) {
    constexpr int32_t LARGEST = 2147483644;  // INT32_MAX less what makes it whole frames
    EXPECT_EQ(clamp_pcm_bytes(-5), 0);
    EXPECT_EQ(clamp_pcm_bytes(1000), 1000);
    EXPECT_EQ(clamp_pcm_bytes(LARGEST), LARGEST);
    EXPECT_EQ(clamp_pcm_bytes(INT32_MAX), LARGEST);
    EXPECT_EQ(clamp_pcm_bytes(int64_t{5} << 32), LARGEST);

    // A song the probe measures at 20 GB enters at the clamp, by every way in.
    const SongProbes huge{
        &test::fake_wav,
        [](const std::string&, int32_t& rate, int32_t& channels, int64_t& pcm_bytes) {
            rate = 44100;
            channels = 2;
            pcm_bytes = int64_t{20} << 30;
            return 1;
        },
        &test::fake_id3v1};
    auto pl = make_playlist();
    ASSERT_EQ(add_song_file(*pl, "/m/big.mp3", true, huge), AddResult::added);
    EXPECT_EQ(pl->entries[0].pcm_bytes, LARGEST);
    ASSERT_EQ(add_song_file(*pl, "/m/later.mp3", false, huge), AddResult::added);
    ASSERT_EQ(pl->entries[1].source_type, SOURCE_MP3_PENDING);
    ASSERT_TRUE(probe_pending_song(*pl, 1, huge));
    EXPECT_EQ(pl->entries[1].source_type, SOURCE_MP3);
    EXPECT_EQ(pl->entries[1].pcm_bytes, LARGEST);
    EXPECT_EQ(pl->entries[1].sample_rate, 44100);
    EXPECT_EQ(pl->tags[1].track(), 9);
}

// The late probe is the add's own probe: a file it refuses stays pending and untouched.
TEST(PlaylistAdd, LateProbeOfAPendingSongFollowsTheAddsRules) {
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"a.wav"});
    ASSERT_EQ(add_song_file(*pl, "/music/bad.mp3", false, fake_probes()), AddResult::added);
    pl->song_mark[1] = MARK_FAILED;
    EXPECT_FALSE(probe_pending_song(*pl, 1, fake_probes()));
    EXPECT_EQ(pl->entries[1].source_type, SOURCE_MP3_PENDING);
    EXPECT_EQ(pl->song_mark[1], MARK_FAILED);
    // A pending entry whose path is no MP3 any more is not turned into another kind of song.
    set_song_path(pl->entries[1], "/music/now.wav");
    EXPECT_FALSE(probe_pending_song(*pl, 1, fake_probes()));
    set_song_path(pl->entries[1], "/music/good.mp3");
    EXPECT_TRUE(probe_pending_song(*pl, 1, fake_probes()));
    EXPECT_EQ(pl->entries[1].source_type, SOURCE_MP3);
    EXPECT_EQ(pl->song_mark[1], MARK_NONE);
    EXPECT_EQ(pl->tags[1].title(), "good.mp3");
}

TEST(PlaylistAdd, PathThatDoesNotFitTheFieldIsRefusedNotCut) {
    auto pl = make_playlist();
    std::string fits = "/" + std::string(250, 'a') + ".wav";  // 255 bytes
    std::string too_long = "/" + std::string(251, 'a') + ".wav";
    EXPECT_EQ(add_song_file(*pl, fits, true, fake_probes()), AddResult::added);
    EXPECT_EQ(add_song_file(*pl, too_long, true, fake_probes()), AddResult::path_too_long);
    EXPECT_EQ(add_song_file(*pl, std::string("/a\0b.wav", 8), true, fake_probes()),
              AddResult::path_too_long);
    ASSERT_EQ(pl->song_count, 1);
    EXPECT_EQ(song_path(pl->entries[0]), fits);
}

TEST(PlaylistAdd, Mp3AddedWhileBusyWaitsPendingWithoutBeingOpened) {
    auto pl = make_playlist();
    EXPECT_EQ(add_song_file(*pl, "/nowhere/late.mp3", false), AddResult::added);
    EXPECT_EQ(add_song_file(*pl, "/nowhere/late.wav", false), AddResult::not_supported);
    ASSERT_EQ(pl->song_count, 1);
    const SongEntry& e = pl->entries[0];
    EXPECT_EQ(e.source_type, SOURCE_MP3_PENDING);
    EXPECT_EQ(e.sample_rate, 0);
    EXPECT_EQ(e.channels, 0);
    EXPECT_EQ(e.pcm_bytes, 0);
}

TEST(PlaylistAdd, LimitOf2000ReportsTheFullListExactlyOnce) {
    auto pl = make_playlist();
    for (int i = 0; i < MAX_SONGS - 1; ++i) {
        ASSERT_EQ(add_song_file(*pl, "/m/" + std::to_string(i) + ".wav", true, fake_probes()),
                  AddResult::added);
    }
    EXPECT_EQ(add_song_file(*pl, "/m/last.mp3", true, fake_probes()), AddResult::added_list_full);
    EXPECT_EQ(add_song_file(*pl, "/m/more.wav", true, fake_probes()), AddResult::list_full);
    EXPECT_EQ(add_song_file(*pl, "/m/more.mp3", false, fake_probes()), AddResult::list_full);
    EXPECT_EQ(pl->song_count, MAX_SONGS);

    // A drop on a full list adds nothing and asks for the message again.
    ScanResult drop = drop_paths(*pl, {"/m/dropped.wav"}, true, fake_probes());
    EXPECT_TRUE(drop.list_full_reached);
    EXPECT_EQ(drop.added, 0);
    EXPECT_EQ(pl->song_count, MAX_SONGS);
}

TEST(PlaylistAdd, FolderScanStopsAt2000AndReportsOnce) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "a/b");
    for (int i = 0; i < 1500; ++i) {
        std::ofstream(dir / ("a/" + std::to_string(i) + ".wav"));
        std::ofstream(dir / ("a/b/" + std::to_string(i) + ".mp3"));
    }
    std::ofstream(dir / "a/notes.txt");
    auto pl = make_playlist();
    add_fake_songs(*pl, {"first.wav"});
    ScanResult r = drop_paths(*pl, {dir.path()}, true, fake_probes());
    EXPECT_EQ(r.added, MAX_SONGS - 1);
    EXPECT_TRUE(r.list_full_reached);
    EXPECT_EQ(pl->song_count, MAX_SONGS);
}

TEST(PlaylistAdd, ScanWalksSubfoldersDepthFirstAndSkipsLinkCycles) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "top/sub");
    test::write_wav(dir / "top/sub/inner.wav", 48000, 2, 192000);
    test::write_wav(dir / "top/outer.wav", 32000, 1, 64000);
    ASSERT_EQ(symlink((dir / "top").c_str(), (dir / "top/sub/loop").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "top/pipe.wav").c_str(), 0600), 0);  // would block a reader
    chmod((dir / "top/sub").c_str(), 0555);  // a read-only folder is scanned like any other
    auto pl = make_playlist();
    ScanResult r = drop_paths(*pl, {dir / "top/", "/x"}, true);
    chmod((dir / "top/sub").c_str(), 0755);
    EXPECT_EQ(r.added, 2);
    EXPECT_FALSE(r.list_full_reached);
    Names names = names_in_order(*pl);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"inner.wav", "outer.wav"}));
    for (int i = 0; i < pl->song_count; ++i) {
        EXPECT_EQ(song_path(pl->entries[i]).find("//"), std::string_view::npos);
    }
}

TEST(PlaylistAdd, OpenDialogReportsFormatErrorOnlyForASingleWav) {
    ScratchDir dir;
    // Three channels: refused by every reader (a 22050 Hz WAV is resampled nowadays).
    test::write_wav(dir / "bad_layout.wav", 44100, 3, 120);
    test::write_wav(dir / "good.wav", 44100, 2, 100);
    auto pl = make_playlist();
    ChooseFilesResult one = add_chosen_files(*pl, {dir / "bad_layout.wav"}, true);
    EXPECT_TRUE(one.format_error);
    EXPECT_EQ(one.added, 0);
    ChooseFilesResult two = add_chosen_files(*pl, {dir / "bad_layout.wav", dir / "good.wav"}, true);
    EXPECT_FALSE(two.format_error);
    EXPECT_EQ(two.added, 1);
    ChooseFilesResult mp3 = add_chosen_files(*pl, {dir / "bad.mp3"}, true);
    EXPECT_FALSE(mp3.format_error);
}

TEST(PlaylistCommands, FileNamePartTakesTextAfterTheLastSlash) {
    EXPECT_EQ(file_name_part("/home/u/音楽/曲.wav"), "曲.wav");
    EXPECT_EQ(file_name_part("song.mp3"), "song.mp3");
    EXPECT_EQ(file_name_part("/dir/"), "");
    EXPECT_TRUE(has_extension("/a/B.Mp3", ".mp3"));
    EXPECT_FALSE(has_extension("/a/b.mp3x", ".mp3"));
}

TEST(PlaylistCommands, ChooseStaysInsideTheList) {
    auto pl = make_playlist();
    EXPECT_FALSE(choose_next(*pl));
    add_fake_songs(*pl, {"a.wav", "b.wav"});
    EXPECT_FALSE(choose_previous(*pl));
    EXPECT_TRUE(choose_next(*pl));
    EXPECT_FALSE(choose_next(*pl));
    EXPECT_EQ(pl->selected_index, 1);
    EXPECT_FALSE(click_row(*pl, 2));
    EXPECT_TRUE(click_row(*pl, 0));
    EXPECT_EQ(pl->selected_index, 0);
}

TEST(PlaylistCommands, MoveCarriesTagMarkAndCurrentIndex) {
    auto pl = make_playlist();
    add_fake_songs(*pl, {"a.mp3", "b.wav", "c.wav"});
    pl->song_mark[0] = MARK_EXPORTED;
    pl->current_index = 0;  // "a" is playing
    EXPECT_FALSE(move_selected_up(*pl));
    EXPECT_TRUE(move_selected_down(*pl));
    EXPECT_TRUE(move_selected_down(*pl));
    EXPECT_FALSE(move_selected_down(*pl));
    EXPECT_EQ(names_in_order(*pl), (Names{"b.wav", "c.wav", "a.mp3"}));
    EXPECT_EQ(pl->selected_index, 2);
    EXPECT_EQ(pl->current_index, 2);
    EXPECT_EQ(pl->song_mark[2], MARK_EXPORTED);
    EXPECT_EQ(pl->tags[2].title(), "a.mp3");
    EXPECT_EQ(pl->entries[2].source_type, SOURCE_MP3);

    // Moving a neighbour past the playing song moves the playing index the other way.
    pl->selected_index = 1;
    EXPECT_TRUE(move_selected_down(*pl));
    EXPECT_EQ(pl->current_index, 1);
    EXPECT_EQ(file_name_part(song_path(pl->entries[pl->current_index])), "a.mp3");
}

TEST(PlaylistCommands, DeleteRefusesThePlayingSongAndKeepsCurrentOnItsEntry) {
    auto pl = make_playlist();
    add_fake_songs(*pl, {"a.wav", "b.wav", "c.wav", "d.wav"});
    pl->current_index = 2;  // "c" is playing
    pl->selected_index = 2;
    EXPECT_FALSE(delete_selected(*pl, false));
    EXPECT_FALSE(remove_all(*pl, false));
    EXPECT_EQ(pl->song_count, 4);

    pl->selected_index = 0;  // a song above the playing one
    EXPECT_TRUE(delete_selected(*pl, false));
    EXPECT_EQ(names_in_order(*pl), (Names{"b.wav", "c.wav", "d.wav"}));
    EXPECT_EQ(pl->current_index, 1);

    pl->selected_index = 2;  // the last row: the selection falls back onto the new last row
    EXPECT_TRUE(delete_selected(*pl, false));
    EXPECT_EQ(pl->selected_index, 1);
    EXPECT_EQ(pl->current_index, 1);

    // Idle, the current song may go.
    EXPECT_TRUE(delete_selected(*pl, true));
    EXPECT_EQ(names_in_order(*pl), (Names{"b.wav"}));
    EXPECT_EQ(pl->selected_index, 0);
}

TEST(PlaylistCommands, RemoveAllEmptiesUnlessThePlayingSongIsSelected) {
    auto pl = make_playlist();
    EXPECT_FALSE(remove_all(*pl, true));
    EXPECT_FALSE(delete_selected(*pl, true));
    add_fake_songs(*pl, {"a.wav", "b.wav"});
    pl->current_index = 0;
    pl->selected_index = 1;
    EXPECT_TRUE(remove_all(*pl, false));
    EXPECT_EQ(pl->song_count, 0);
    EXPECT_EQ(pl->selected_index, 0);
    // The song playing on has no row any more: a song added now is not "the current one".
    EXPECT_EQ(pl->current_index, NO_CURRENT_SONG);
    add_fake_songs(*pl, {"c.wav"});
    EXPECT_TRUE(remove_all(*pl, false));
    EXPECT_EQ(pl->current_index, NO_CURRENT_SONG);
}

TEST(PlaylistCommands, SecondClickWindowIsOneTo499Ms) {
    EXPECT_FALSE(is_second_click(1000, 1000));
    EXPECT_TRUE(is_second_click(1000, 1001));
    EXPECT_TRUE(is_second_click(1000, 1499));
    EXPECT_FALSE(is_second_click(1000, 1500));
    EXPECT_TRUE(is_second_click(0xFFFFFF00u, 0x10u));  // across the tick counter's wrap
}

TEST(PlaylistSort, HeaderClicksAlternateStartingDescendingAndMenuFallsBackToTime) {
    auto pl = make_playlist();
    add_fake_songs(*pl, {"b.wav", "a.mp3", "c.wav"});  // WAV 176400 bytes, MP3 192000
    sort_by_header_click(*pl, 3);
    EXPECT_EQ(names_in_order(*pl), (Names{"c.wav", "b.wav", "a.mp3"}));
    EXPECT_EQ(pl->sort_column, 4);
    EXPECT_EQ(pl->sort_ascending_next, 1);

    sort_by_header_click(*pl, 3);
    EXPECT_EQ(names_in_order(*pl), (Names{"a.mp3", "b.wav", "c.wav"}));
    EXPECT_EQ(pl->sort_ascending_next, 0);

    // The menu's sort uses column 4 (Time) now, whatever header was clicked last.
    sort_songs(*pl, true);
    EXPECT_EQ(names_in_order(*pl), (Names{"b.wav", "c.wav", "a.mp3"}));
}

TEST(PlaylistSort, EqualKeysKeepTheirOrderInBothDirections) {
    auto pl = make_playlist();
    add_fake_songs(*pl, {"w1.wav", "m1.mp3", "w2.wav", "m2.mp3", "w3.wav"});
    pl->sort_column = 0;  // source type
    sort_songs(*pl, true);
    EXPECT_EQ(names_in_order(*pl), (Names{"w1.wav", "w2.wav", "w3.wav", "m1.mp3", "m2.mp3"}));
    pl->sort_column = 0;
    sort_songs(*pl, false);
    EXPECT_EQ(names_in_order(*pl), (Names{"m1.mp3", "m2.mp3", "w1.wav", "w2.wav", "w3.wav"}));
}

TEST(PlaylistSort, CurrentIndexFollowsItsEntry) {
    auto pl = make_playlist();
    add_fake_songs(*pl, {"d.wav", "b.wav", "a.wav", "c.wav"});
    pl->current_index = 0;  // "d"
    pl->selected_index = 1;
    pl->sort_column = 3;
    sort_songs(*pl, true);
    EXPECT_EQ(file_name_part(song_path(pl->entries[pl->current_index])), "d.wav");
    EXPECT_EQ(pl->current_index, 3);
    EXPECT_EQ(pl->selected_index, 1);  // the selection stays on its row
}

TEST(PlaylistSort, ComparisonColumns) {
    auto pl = make_playlist();
    // Full paths order differently from the names, and a UTF-8 name sorts after ASCII.
    add_song_file(*pl, "/z/b.wav", true, fake_probes());
    add_song_file(*pl, "/y/é.mp3", true, fake_probes());
    add_song_file(*pl, "/x/z.mp3", true, fake_probes());
    pl->sort_column = 3;
    sort_songs(*pl, true);
    EXPECT_EQ(names_in_order(*pl), (Names{"b.wav", "z.mp3", "é.mp3"}));
    pl->sort_column = 99;  // any other column: the full path
    sort_songs(*pl, true);
    EXPECT_EQ(names_in_order(*pl), (Names{"z.mp3", "é.mp3", "b.wav"}));

    // Tag columns treat a WAV as an empty title and as track 255.
    pl->sort_column = 5;
    sort_songs(*pl, true);
    EXPECT_EQ(names_in_order(*pl), (Names{"b.wav", "z.mp3", "é.mp3"}));
    pl->tags[1].bytes[126] = 200;
    pl->sort_column = 8;
    sort_songs(*pl, true);
    EXPECT_EQ(names_in_order(*pl), (Names{"é.mp3", "z.mp3", "b.wav"}));
    EXPECT_EQ(compare_songs(*pl, 0, 1, 2), 0);  // both mono
    EXPECT_LT(compare_songs(*pl, 2, 0, 1), 0);  // 44100 Hz before 48000 Hz
}

TEST(PlaylistCommands, OnAirEntryReplacesTheList) {
    auto pl = make_playlist();
    add_fake_songs(*pl, {"a.wav", "b.wav", "c.wav"});
    pl->selected_index = 2;
    put_onair_entry(*pl, 48000);
    EXPECT_EQ(pl->song_count, 1);
    EXPECT_EQ(pl->selected_index, 0);
    EXPECT_EQ(song_path(pl->entries[0]), ONAIR_ENTRY_TEXT);
    EXPECT_EQ(pl->entries[0].channels, 2);
    EXPECT_EQ(pl->entries[0].pcm_bytes, 0);
}

}  // namespace
}  // namespace zv
