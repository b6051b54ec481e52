// The streaming engine's state machine against the fake device.
#include <gtest/gtest.h>

#include "tests/playback/engine_fixture.h"

namespace zv::test {
namespace {

constexpr uint32_t BLOCK = BLOCK_BYTES;

TEST_F(EngineTest, WavWithShortLastBlockStopsAtDataEndDrainsAndCloses) {
    // The chunk after the data must never be played: the song ends inside the data chunk.
    const uint32_t data = 6 * BLOCK + 4000;
    write_wav(path("a.wav"), 44100, 2, data, true);
    add(path("a.wav"));
    engine->settings.buffer_count = 2;
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_TRUE(device.started);
    EXPECT_EQ(device.last_request.sample_rate, 44100);

    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    ASSERT_EQ(device.writes.size(), 7u);
    for (size_t i = 0; i + 1 < device.writes.size(); ++i) {
        EXPECT_EQ(device.writes[i].samples.size(), BLOCK / 2);
        EXPECT_FALSE(device.writes[i].last);
    }
    EXPECT_EQ(device.writes.back().samples.size(), 4000u / 2);
    EXPECT_TRUE(device.writes.back().last);
    EXPECT_TRUE(device.drained);
    EXPECT_EQ(engine->played_bytes, data);
    EXPECT_FALSE(device.output_open());
    EXPECT_FALSE(engine->out_buffers[0].data);
    EXPECT_FALSE(engine->wav.is_open());
    EXPECT_TRUE(host.timers.empty());
}

TEST_F(EngineTest, StopLetsQueuedBlocksFinishAndStartsNothingNext) {
    write_wav(path("a.wav"), 44100, 2, 40 * BLOCK);
    write_wav(path("b.wav"), 44100, 2, 40 * BLOCK);
    add(path("a.wav"));
    add(path("b.wav"));
    playlist->continuous_playback = 1;
    start_playback(*engine);
    play_one();
    const size_t writes_before_stop = device.writes.size();
    request_stop(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_DRAINING);
    EXPECT_EQ(engine->stop_requested, 1);

    // The four queued blocks still play; the device stays open until the last one.
    for (int i = 0; i < 3; ++i) {
        play_one();
        EXPECT_EQ(engine->engine_state, ENGINE_DRAINING);
        EXPECT_TRUE(device.output_open());
    }
    play_one();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(device.writes.size(), writes_before_stop);
    EXPECT_FALSE(device.output_open());
    EXPECT_EQ(engine->stop_requested, 0);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(playlist->selected_index, 0);
}

TEST_F(EngineTest, ContinuousPlaybackArmsTheTimerAndTheLastSongStopsWithoutIt) {
    write_wav(path("a.wav"), 44100, 2, 3 * BLOCK + 100);
    write_wav(path("b.wav"), 32000, 1, 2 * BLOCK);
    add(path("a.wav"));
    add(path("b.wav"));
    playlist->continuous_playback = 1;
    start_playback(*engine);
    play_to_end();
    ASSERT_EQ(host.timers.count(TIMER_NEXT_SONG), 1u);
    EXPECT_EQ(host.timers[TIMER_NEXT_SONG], NEXT_SONG_DELAY_MS);
    EXPECT_EQ(playlist->selected_index, 1);
    EXPECT_STREQ(engine->current_path, path("b.wav").c_str());

    on_timer(*engine, TIMER_NEXT_SONG);
    ASSERT_NE(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->current_index, 1);
    EXPECT_EQ(device.last_request.sample_rate, 32000);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(engine->played_bytes, 2 * 2 * BLOCK);  // mono counts 4 bytes per frame
}

TEST_F(EngineTest, PlayedBytesCountsFourBytesPerFrameForMonoAndStereo) {
    const uint32_t frames = 50000;
    write_wav(path("m.wav"), 48000, 1, frames * 2);
    write_wav(path("s.wav"), 48000, 2, frames * 4);
    for (const char* name : {"m.wav", "s.wav"}) {
        playlist->song_count = 0;
        add(path(name));
        start_playback(*engine);
        play_to_end();
        EXPECT_EQ(engine->played_bytes, 4 * frames) << name;
        size_t values = 0;
        for (const auto& w : device.writes)
            values += w.samples.size();
        EXPECT_EQ(values, 2 * frames) << name;
        device.writes.clear();
    }
}

TEST_F(EngineTest, HoldingPlus20OnWavAdvancesTwentyBlocksPerPlayedBlock) {
    write_wav(path("a.wav"), 44100, 2, 200 * BLOCK);
    add(path("a.wav"));
    start_playback(*engine);
    EXPECT_EQ(engine->played_bytes, 4 * BLOCK);
    press_seek_button(*engine, 20);
    play_one();
    EXPECT_EQ(engine->played_bytes, 24 * BLOCK);
    play_one();
    EXPECT_EQ(engine->played_bytes, 44 * BLOCK);
    // Each backward step moves one block back from the last block read.
    press_seek_button(*engine, -5);
    play_one();
    EXPECT_EQ(engine->played_bytes, 44 * BLOCK - 5 * BLOCK);
    release_seek_buttons(*engine);
    play_one();
    EXPECT_EQ(engine->played_bytes, 40 * BLOCK);
}

// A FLAC song seeks by the WAV's rule: forward each step a block read, backward each step a
// block back from the last block read (in one seek), never before the start.
TEST_F(EngineTest, SeekingAFlacSongStepsAsAWavDoes) {
    add(media("song.flac"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    const int64_t start = engine->played_bytes;
    press_seek_button(*engine, 5);
    play_one();
    EXPECT_EQ(engine->played_bytes, start + 5 * BLOCK);
    press_seek_button(*engine, -3);
    play_one();
    EXPECT_EQ(engine->played_bytes, start + 2 * BLOCK);
    press_seek_button(*engine, -20);
    play_one();
    EXPECT_EQ(engine->played_bytes, BLOCK);
    release_seek_buttons(*engine);
}

TEST_F(EngineTest, HoldingPlus20OnMp3DecodesTwentyFramesPerFrameAppended) {
    add(media("cbr128_id3v1v2.mp3"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    const int64_t before = engine->played_bytes;
    const int32_t carry_before = engine->mp3_carry;
    press_seek_button(*engine, 20);
    play_one();
    // Every frame appended to the block is the last of twenty decoded.
    const int64_t appended = BLOCK - carry_before + engine->mp3_carry;
    EXPECT_EQ(engine->played_bytes - before, 20 * appended);
    EXPECT_GT(engine->played_bytes - before, 16 * BLOCK);
    EXPECT_EQ(engine->seek_active, 1);
}

TEST_F(EngineTest, MinusFiveOnMp3StopsSeekingAtTheNextFill) {
    add(media("cbr128_id3v1v2.mp3"));
    start_playback(*engine);
    const int64_t before = engine->played_bytes;
    press_seek_button(*engine, -5);
    play_one();
    EXPECT_EQ(engine->seek_active, 0);
    EXPECT_NEAR(static_cast<double>(engine->played_bytes - before), BLOCK, 4 * 1152);
}

TEST_F(EngineTest, LeavingTheSeekButtonsStopsSeekingAtTheNextFill) {
    write_wav(path("a.wav"), 44100, 2, 200 * BLOCK);
    add(path("a.wav"));
    start_playback(*engine);
    press_seek_button(*engine, 20);
    host.pointer_over_seek = false;
    const int released = host.buttons_released;
    play_one();
    EXPECT_EQ(engine->seek_active, 0);
    EXPECT_EQ(host.buttons_released, released + 1);
    EXPECT_EQ(engine->played_bytes, 5 * BLOCK);
}

TEST_F(EngineTest, Mp3FailingWhilePrimingIsMarkedFailedAndEverythingCloses) {
    // Layer II at 384 kbit/s: the first frame's bitrate is outside what the decoder accepts.
    const std::string bad = media("layer2_384k.mp3");
    add(bad);
    ASSERT_EQ(playlist->entries[0].source_type, SOURCE_MP3);
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_FAILED);
    EXPECT_EQ(device.open_calls, 1);
    EXPECT_FALSE(device.output_open());
    EXPECT_FALSE(engine->mp3.is_open());
    EXPECT_FALSE(engine->out_buffers[0].data);
}

TEST_F(EngineTest, Mp3ShorterThanThePrimedBlocksPlaysAndIsNotMarkedFailed) {
    // About 0.2 s: the stream ends inside the third of four primed blocks, which is not a
    // decode failure.
    const std::string mp3 = media("short_0s2_44100.mp3");
    add(mp3);
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_DRAINING);
    EXPECT_EQ(playlist->song_mark[0], MARK_NONE);
    ASSERT_EQ(device.writes.size(), 3u);
    EXPECT_FALSE(device.writes[1].last);
    EXPECT_TRUE(device.writes[2].last);
    EXPECT_LT(device.writes[2].samples.size(), BLOCK / 2);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device.output_open());
}

TEST_F(EngineTest, PendingMp3IsProbedFirstAndAFailedProbeOpensNothing) {
    std::ofstream(path("x.mp3")) << "not an mp3 at all";
    ASSERT_TRUE(was_added(add_song_file(*playlist, path("x.mp3"), false)));
    ASSERT_EQ(playlist->entries[0].source_type, SOURCE_MP3_PENDING);
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_FAILED);
    EXPECT_EQ(device.open_calls, 0);

    // A pending entry whose file probes well now becomes an MP3 and plays.
    playlist->song_count = 0;
    ASSERT_TRUE(was_added(add_song_file(*playlist, media("cbr64_mono_32000.mp3"), false)));
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(playlist->entries[0].source_type, SOURCE_MP3);
    EXPECT_EQ(device.last_request.sample_rate, 32000);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->song_mark[0], MARK_NONE);
}

TEST_F(EngineTest, FailedStartsAfterTheDevicesOpenedLeaveEverythingClosed) {
    // The source cannot be opened.
    write_wav(path("gone.wav"), 44100, 2, 10 * BLOCK);
    add(path("gone.wav"));
    std::filesystem::remove(path("gone.wav"));
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(device.open_calls, 1);
    EXPECT_FALSE(device.output_open());
    EXPECT_FALSE(engine->out_buffers[0].data);

    // A write that fails while priming.
    write_wav(path("a.wav"), 44100, 2, 10 * BLOCK);
    playlist->song_count = 0;
    add(path("a.wav"));
    device.fail_write_after = 2;
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device.output_open());
    EXPECT_FALSE(engine->wav.is_open());
    EXPECT_FALSE(engine->out_buffers[0].data);

    // A write that fails while playing closes at once, without the continuous decision.
    device.fail_write_after = -1;
    device.writes.clear();
    playlist->continuous_playback = 1;
    add(path("a.wav"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    device.fail_write_after = 4;
    play_one();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device.output_open());
    EXPECT_TRUE(host.timers.empty());
}

TEST_F(EngineTest, DeviceOpenErrorIsShownAndTheEngineStaysIdle) {
    write_wav(path("a.wav"), 44100, 2, 10 * BLOCK);
    add(path("a.wav"));
    device.fail_open = true;
    start_playback(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "device busy");
    EXPECT_FALSE(engine->out_buffers[0].data);
}

TEST_F(EngineTest, NormalisationGainComesFromThePeakLevel) {
    write_wav(path("a.wav"), 44100, 2, 10 * BLOCK);
    add(path("a.wav"));
    playlist->entries[0].peak_level = 12000;
    start_playback(*engine);
    EXPECT_NEAR(processor->params.normalisation_gain, 32767.0 / 12000.0, 1e-12);
}

TEST_F(EngineTest, MetersGatherEveryProcessedBlockUntilTheDisplayTakesThem) {
    write_wav(path("a.wav"), 44100, 2, 8 * BLOCK);
    add(path("a.wav"));
    start_playback(*engine);  // processes the first buffer_count blocks
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(engine->flush_to_zero, 1);  // checked at the first start
    MeterSnapshot m;
    ASSERT_TRUE(engine->meters.take(m));
    EXPECT_GT(m.input_peak_l, 7000.0);  // the song's 8000-step sine
    EXPECT_EQ(m.gate_indicator[0], 3);  // noise gate off
    EXPECT_FALSE(engine->meters.take(m)) << "taken once";
    play_one();
    ASSERT_TRUE(engine->meters.take(m));
    const MeterSnapshot& last = processor->state.meters;  // the one block since the take
    EXPECT_EQ(m.input_peak_l, last.input_peak_l);
    EXPECT_EQ(m.output_peak_r, last.output_peak_r);
    EXPECT_EQ(m.agc_gain_lo, last.agc_gain_lo);
    EXPECT_EQ(m.gate_indicator, last.gate_indicator);
}

}  // namespace
}  // namespace zv::test
