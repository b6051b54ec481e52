// The rows the playlist view shows: column texts, images and the late probe of MP3 songs
// added while the engine was busy.
#include <gtest/gtest.h>

#include "sources/playlist_view.h"
#include "tests/sources/playlist_test_util.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

using test::make_playlist;
using test::ScratchDir;
using Columns = std::array<std::string, PLAYLIST_COLUMN_COUNT>;

TEST(PlaylistView, TimeColumnTruncatesToWholeSecondsForMonoAndStereo) {
    SongEntry e;
    e.sample_rate = 44100;
    e.channels = 1;
    e.pcm_bytes = 441000;  // five seconds
    EXPECT_EQ(time_text(e), "00:05");
    e.channels = 2;
    e.pcm_bytes = 882000;
    EXPECT_EQ(time_text(e), "00:05");
    e.pcm_bytes = 882000 * 2 - 4;  // just under ten seconds
    EXPECT_EQ(time_text(e), "00:09");
    e.pcm_bytes = 44100 * 4 * 3725;
    EXPECT_EQ(time_text(e), "62:05");
    e.channels = 0;
    EXPECT_EQ(time_text(e), "--:--");
    e.channels = 2;
    e.sample_rate = 0;
    EXPECT_EQ(time_text(e), "--:--");
}

TEST(PlaylistView, RowsOfWavMp3AndPendingSongs) {
    ScratchDir dir;
    test::write_wav(dir / "five.wav", 32000, 1, 320000);
    auto pl = make_playlist();
    add_song_file(*pl, dir / "five.wav", true);
    add_song_file(*pl, test::fixture("cbr128_id3v1v2.mp3"), true);
    add_song_file(*pl, test::fixture("sjis_tag_no_info.mp3"), true);
    add_song_file(*pl, test::fixture("cbr64_mono_32000.mp3"), false);  // engine busy: pending
    ASSERT_EQ(pl->song_count, 4);

    PlaylistView view;
    refresh_playlist_view(*pl, view, {.idle = false, .playing = true});
    ASSERT_EQ(view.rows.size(), 4u);
    EXPECT_EQ(view.status_text, "4 songs in list");
    EXPECT_EQ(view.rows[0].columns, (Columns{"00", "32", "1", "five.wav", "00:05", "--", "--", "--",
                                             "--", dir / "five.wav"}));
    EXPECT_EQ(view.rows[1].columns, (Columns{"01", "44", "2", "cbr128_id3v1v2.mp3",
                                             test::fixture_row("cbr128_id3v1v2.mp3")["time_text"],
                                             "Fixture Song", "Fixture Artist", "Fixture Album", "5",
                                             test::fixture("cbr128_id3v1v2.mp3")}));
    // Shift-JIS tag texts are shown converted, with the blanks they were padded with.
    EXPECT_EQ(view.rows[2].columns[5], "ソフト表示" + std::string(20, ' '));
    EXPECT_EQ(view.rows[2].columns[6], "山田花子");
    EXPECT_EQ(view.rows[2].columns[8], "3");
    EXPECT_EQ(view.rows[3].columns,
              (Columns{"03", "00", "0", "cbr64_mono_32000.mp3", "--:--", "(Loading..)",
                       "(Loading..)", "(Loading..)", "##", test::fixture("cbr64_mono_32000.mp3")}));

    // Once the engine is idle the refresh probes the pending song.
    refresh_playlist_view(*pl, view, {.idle = true, .playing = false});
    EXPECT_EQ(pl->entries[3].source_type, SOURCE_MP3);
    EXPECT_EQ(view.rows[3].columns[1], "32");
    EXPECT_EQ(view.rows[3].columns[4], test::fixture_row("cbr64_mono_32000.mp3")["time_text"]);
    EXPECT_EQ(view.rows[3].columns[5], "");
    EXPECT_EQ(view.rows[3].columns[8], "0");
}

TEST(PlaylistView, PendingSongWhoseLateProbeFailsStaysPending) {
    auto pl = make_playlist();
    add_song_file(*pl, "/gone/away.mp3", false);
    PlaylistView view;
    refresh_playlist_view(*pl, view, {});
    EXPECT_EQ(pl->entries[0].source_type, SOURCE_MP3_PENDING);
    EXPECT_EQ(view.rows[0].columns[5], "(Loading..)");
}

TEST(PlaylistView, RowImagesShowPlayingTypeAndMark) {
    auto pl = make_playlist();
    test::add_fake_songs(*pl, {"a.wav", "b.wav", "c.mp3", "d.mp3", "e.mp3"});
    add_song_file(*pl, "/music/f.mp3", false, test::fake_probes());
    pl->song_mark[1] = MARK_FAILED;
    pl->song_mark[3] = MARK_EXPORTED;
    pl->song_mark[4] = MARK_FAILED;
    pl->current_index = 0;

    auto images = [&](bool playing) {
        std::vector<int> out;
        for (int i = 0; i < pl->song_count; ++i) {
            out.push_back(make_playlist_row(*pl, i, playing).image);
        }
        return out;
    };
    EXPECT_EQ(images(true), (std::vector<int>{0, 3, 2, 4, 5, 2}));
    EXPECT_EQ(images(false), (std::vector<int>{1, 3, 2, 4, 5, 2}));
    pl->current_index = 4;
    EXPECT_EQ(images(true), (std::vector<int>{1, 3, 2, 4, 0, 2}));
}

TEST(PlaylistView, NumberColumnAndStatusBeyond99Songs) {
    auto pl = make_playlist();
    for (int i = 0; i < 101; ++i) {
        add_song_file(*pl, "/m/" + std::to_string(i) + ".wav", true, test::fake_probes());
    }
    PlaylistView view;
    refresh_playlist_view(*pl, view, {});
    EXPECT_EQ(view.rows[7].columns[0], "07");
    EXPECT_EQ(view.rows[100].columns[0], "100");
    EXPECT_EQ(view.status_text, "101 songs in list");
}

TEST(PlaylistView, ScrollPositionIsKeptOrShowsTheLastPage) {
    EXPECT_EQ(restored_top_row(10, 100, 20), 10);
    EXPECT_EQ(restored_top_row(81, 100, 20), 81);  // 19 rows remain: a page less one
    EXPECT_EQ(restored_top_row(82, 100, 20), 80);
    EXPECT_EQ(restored_top_row(5, 10, 20), 0);
    EXPECT_EQ(restored_top_row(5, 0, 20), 0);
}

TEST(PlaylistView, ColumnHeaders) {
    EXPECT_STREQ(PLAYLIST_COLUMNS[3].title, "File Name");
    EXPECT_EQ(PLAYLIST_COLUMNS[9].width, 300);
}

}  // namespace
}  // namespace zv
