// FLAC, Ogg Vorbis, Opus and deeper or faster WAV songs in the playlist: they enter by their
// extensions (also while a song plays), show their own rate and their comments as an MP3
// shows its ID3v1 tag, sort by them, and a playlist file stores them like any other path.
#include <gtest/gtest.h>

#include <filesystem>

#include "sources/playlist.h"
#include "sources/playlist_file.h"
#include "sources/playlist_view.h"
#include "tests/sources/playlist_test_util.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"

namespace zv {
namespace {

TEST(PlaylistLibrarySongs, EnterByExtensionAndShowTheirRateAndComments) {
    test::ScratchDir dir;
    // Copies under upper-case names: the extensions are tested without regard to case.
    std::filesystem::copy_file(test::fixture("song.flac"), dir / "a.FLAC");
    std::filesystem::copy_file(test::fixture("song.ogg"), dir / "b.oga");
    std::filesystem::copy_file(test::fixture("hires_96k24.wav"), dir / "c.wav");
    std::filesystem::copy_file(test::fixture("song.opus"), dir / "d.Opus");
    std::filesystem::copy_file(test::fixture("song.opus"), dir / "e.aac");
    auto pl = test::make_playlist();
    const ScanResult scanned = scan_folder(*pl, dir.path(), /*engine_idle=*/false);
    EXPECT_EQ(scanned.added, 4);   // probed at once, even while a song plays
    sort_by_header_click(*pl, 3);  // by file name, descending
    sort_by_header_click(*pl, 3);  // ascending
    ASSERT_EQ(pl->song_count, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pl->entries[i].source_type, SOURCE_SNDFILE) << i;
        EXPECT_EQ(pl->song_mark[i], MARK_NONE);
    }
    const PlaylistRow flac = make_playlist_row(*pl, 0, false);
    EXPECT_EQ(flac.columns[1], "44");
    EXPECT_EQ(flac.columns[4], "00:03");
    EXPECT_EQ(flac.columns[5], "Fixture FLAC 歌の題名は");
    EXPECT_EQ(flac.columns[6], "Fixture Artist");
    EXPECT_EQ(flac.columns[8], "7");
    EXPECT_EQ(flac.image, ROW_IMAGE_MP3);
    const PlaylistRow hires = make_playlist_row(*pl, 2, false);
    EXPECT_EQ(hires.columns[1], "96");
    EXPECT_EQ(hires.columns[4], "00:03");
    EXPECT_EQ(hires.columns[5], "--");  // a WAV has no comments
    EXPECT_EQ(hires.columns[8], "--");
    pl->song_mark[2] = MARK_FAILED;
    EXPECT_EQ(make_playlist_row(*pl, 2, false).image, ROW_IMAGE_MP3_FAILED);

    // By title: the untagged WAV first, like a song without a tag.
    sort_by_header_click(*pl, 5);
    sort_by_header_click(*pl, 5);
    EXPECT_EQ(make_playlist_row(*pl, 0, false).columns[3], "c.wav");
    EXPECT_EQ(make_playlist_row(*pl, 1, false).columns[3], "a.FLAC");
    pl->sort_column = 8;
    sort_songs(*pl, true);
    EXPECT_EQ(make_playlist_row(*pl, 3, false).columns[3], "c.wav");  // track 255 sorts last

    // A playlist file stores them as paths; opening probes them again.
    const std::vector<uint8_t> image = playlist_file_image(*pl);
    ASSERT_EQ(image.size(), PLAYLIST_FILE_BYTES);
    auto reopened = test::make_playlist();
    const PlaylistFileResult r = load_playlist_image(*reopened, image.data(), image.size());
    EXPECT_EQ(r.dropped_songs, 0);
    ASSERT_EQ(reopened->song_count, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(make_playlist_row(*reopened, i, false).columns,
                  make_playlist_row(*pl, i, false).columns);
    }
}

TEST(PlaylistLibrarySongs, OnlyWavsRefusedForTheirDepthOrRateComeThrough) {
    auto pl = test::make_playlist();
    EXPECT_EQ(add_song_file(*pl, test::fixture("pcm24_stereo.wav"), true), AddResult::added);
    EXPECT_EQ(add_song_file(*pl, test::fixture("pcm16_22050.wav"), true), AddResult::added);
    EXPECT_EQ(add_song_file(*pl, test::fixture("float32_48000.wav"), true), AddResult::added);
    for (const char* refused :
         {"pcm8_mono.wav", "pcm16_3ch.wav", "truncated_in_list.wav", "hostile/data_before_fmt.wav",
          "hostile/zero_rate_24.wav", "hostile/many_channels_24.wav", "six_channels.flac",
          "hostile/opus_named.flac", "hostile/noise.opus"}) {
        EXPECT_EQ(add_song_file(*pl, test::fixture(refused), true), AddResult::not_supported)
            << refused;
    }
    EXPECT_EQ(pl->song_count, 3);
    EXPECT_EQ(pl->entries[1].sample_rate, 22050);
    // Without a libsndfile probe (a test's own probes) such songs are refused.
    EXPECT_EQ(add_song_file(*pl, test::fixture("song.flac"), true, test::fake_probes()),
              AddResult::not_supported);
}

}  // namespace
}  // namespace zv
