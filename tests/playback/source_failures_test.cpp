// Songs whose source fails while they play: a read error (a damaged disk) ends the song where
// it happened and marks it failed; an MP3 whose format changes mid-stream plays up to the
// change; a huge pending MP3 enters with its length clamped, not wrapped.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/playback/engine_fixture.h"
#include "tests/support/failing_reader.h"
#include "tests/support/file_bytes.h"

namespace zv::test {
namespace {

constexpr uint32_t BLOCK = BLOCK_BYTES;

TEST_F(EngineTest, WavReadErrorEndsTheSongThereAndMarksItFailed) {
    write_wav(path("a.wav"), 44100, 2, 40 * BLOCK);
    add(path("a.wav"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    // The disk fails 6.5 blocks into the samples: the reader is swapped for one that fails.
    const uint64_t fail_at = 44 + 6 * BLOCK + BLOCK / 2;
    ASSERT_TRUE(
        engine->wav.open(std::make_unique<FailingByteReader>(read_bytes(path("a.wav")), fail_at)));
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_FAILED);
    // Four primed blocks, then six whole ones and the half block read before the failure.
    EXPECT_EQ(engine->played_bytes, 4 * BLOCK + 6 * BLOCK + BLOCK / 2);
    EXPECT_TRUE(device.writes.back().last);
    EXPECT_FALSE(device.output_open());
}

TEST_F(EngineTest, WavPlayedToItsEndIsNotMarked) {
    write_wav(path("a.wav"), 44100, 1, 10 * BLOCK);
    add(path("a.wav"));
    start_playback(*engine);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_NONE);
}

TEST_F(EngineTest, Mp3ReadErrorEndsTheSongAndMarksItFailed) {
    const std::string mp3 = media("cbr128_id3v1v2.mp3");
    add(mp3);
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    ASSERT_TRUE(engine->mp3.open(std::make_unique<FailingByteReader>(read_bytes(mp3), 80000)));
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_FAILED);
}

TEST_F(EngineTest, Mp3WhoseRateChangesPlaysUpToTheChange) {
    add(media("rate_change.mp3"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_NONE);
    // Three seconds at 44100 Hz (with the encoder's delay and padding), none of the 48000 Hz
    // second that follows.
    EXPECT_GE(engine->played_bytes, 3 * 44100 * 4);
    EXPECT_LT(engine->played_bytes, 3 * 44100 * 4 + 3 * MP3_FRAME_SAMPLES * 4);
}

// Songs through libsndfile play at their chain rate, to their exact length at it; a FLAC
// whose samples stop early plays what it holds and is marked; the seek buttons work in both
// directions.
TEST_F(EngineTest, SndfileSongsPlayAtTheChainRateAndFailLikeTheOthers) {
    add(media("hires_96k24.wav"));
    add(media("hostile/cut.flac"));
    add(media("song.ogg"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(device.last_request.sample_rate, 48000);
    EXPECT_EQ(engine->sample_rate, 48000);
    play_to_end();
    EXPECT_EQ(engine->played_bytes, 144000 * 4);  // 3 s at 48000 Hz
    EXPECT_EQ(playlist->song_mark[0], MARK_NONE);

    playlist->selected_index = 1;
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(device.last_request.sample_rate, 44100);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[1], MARK_FAILED);
    EXPECT_GT(engine->played_bytes, 0);
    EXPECT_LT(engine->played_bytes, 132300 * 4);

    // Seeking: three blocks forward skips two, backward goes two blocks back from the end of
    // what was played.
    playlist->selected_index = 2;
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    const int64_t primed = engine->played_bytes;
    press_seek_button(*engine, 3);
    play_one();
    EXPECT_EQ(engine->played_bytes, primed + 3 * BLOCK);
    press_seek_button(*engine, -1);
    play_one();
    EXPECT_EQ(engine->played_bytes, primed + 2 * BLOCK);
    release_seek_buttons(*engine);
    play_to_end();
    EXPECT_EQ(playlist->song_mark[2], MARK_NONE);
    EXPECT_EQ(engine->played_bytes, 132300 * 4);
}

// An MP3 of 3 GB without a frame-count header: its length estimate from the file size is more
// than an entry's int32 can hold. Added while the engine was busy, it is probed when it starts.
TEST_F(EngineTest, HugePendingMp3StartsWithItsLengthClampedNotWrapped) {
    const std::string big = path("big.mp3");
    std::filesystem::copy_file(media("sjis_tag_no_info.mp3"), big);
    ASSERT_EQ(::truncate(big.c_str(), int64_t{3} << 30), 0);  // sparse: no disk space used
    ASSERT_TRUE(was_added(add_song_file(*playlist, big, false)));
    ASSERT_EQ(playlist->entries[0].source_type, SOURCE_MP3_PENDING);
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(playlist->entries[0].source_type, SOURCE_MP3);
    EXPECT_EQ(playlist->entries[0].pcm_bytes, 2147483644);
    request_stop(*engine);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
}

}  // namespace
}  // namespace zv::test
