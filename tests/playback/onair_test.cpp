// ON AIR mode against the fake device.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/playback/engine_fixture.h"

namespace zv::test {
namespace {

TEST_F(EngineTest, OnAirReplacesTheListByOneEntryAndSwitchingOffEmptiesIt) {
    write_wav(path("a.wav"), 44100, 2, 4096);
    for (int i = 0; i < 50; ++i)
        add(path("a.wav"));
    playlist->selected_index = 17;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    EXPECT_EQ(engine->onair_mode, 1);
    ASSERT_EQ(playlist->song_count, 1);
    EXPECT_STREQ(playlist->entries[0].path, "On-Air mode in process..");
    EXPECT_EQ(playlist->entries[0].sample_rate, 44100);
    EXPECT_EQ(playlist->selected_index, 0);
    EXPECT_FALSE(host.list_commands);

    ASSERT_TRUE(toggle_onair_mode(*engine));
    EXPECT_EQ(engine->onair_mode, 0);
    EXPECT_EQ(playlist->song_count, 0);
    EXPECT_TRUE(host.list_commands);
}

TEST_F(EngineTest, OnAirSwitchIsRefusedWhileTheEngineIsBusy) {
    write_wav(path("a.wav"), 44100, 2, 40 * BLOCK_BYTES);
    add(path("a.wav"));
    start_playback(*engine);
    EXPECT_FALSE(toggle_onair_mode(*engine));
    EXPECT_EQ(engine->onair_mode, 0);
    EXPECT_EQ(playlist->song_count, 1);
}

TEST_F(EngineTest, OnAirFirstBlocksAreProcessedSilenceThenTheInputFollows) {
    engine->settings.onair_rate_choice = ONAIR_RATE_32000;
    engine->settings.buffer_count = 3;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(device.last_request.sample_rate, 32000);
    EXPECT_GE(device.last_request.in_device_id, 0);
    EXPECT_EQ(device.inputs_added, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(device.last_request.live, nullptr);  // block mode unless asked

    // What the same processor makes of silence from the same start.
    auto reference = make_processor();
    processor_startup(*reference);
    change_sample_rate(*reference, 32000);
    std::vector<int16_t> zeros(BLOCK_BYTES / 2, 0);
    std::vector<int16_t> out(BLOCK_BYTES / 2);
    ASSERT_EQ(device.writes.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        process_block(*reference, BLOCK_BYTES / 2, zeros.data(), out.data());
        EXPECT_EQ(device.writes[i].samples, out) << "block " << i;
    }

    // A recorded tone in slot 0 comes out of output slot 0 when it is refilled.
    std::vector<int16_t> tone(BLOCK_BYTES / 2);
    for (size_t i = 0; i < tone.size(); i += 2) {
        tone[i] = tone[i + 1] =
            static_cast<int16_t>(10000 * std::sin(0.1 * static_cast<double>(i / 2)));
    }
    device.record_input(0, tone);
    play_one();
    ASSERT_EQ(device.writes.size(), 4u);
    EXPECT_EQ(device.writes[3].slot, 0);
    process_block(*reference, BLOCK_BYTES / 2, tone.data(), out.data());
    EXPECT_EQ(device.writes[3].samples, out);
    EXPECT_EQ(device.inputs_added.back(), 0);
    EXPECT_EQ(engine->played_bytes, 4 * BLOCK_BYTES);

    request_stop(*engine);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device.input_open());
    EXPECT_EQ(engine->onair_mode, 1);  // the mode stays on after a stop
    EXPECT_EQ(playlist->song_count, 1);
}

TEST_F(EngineTest, OnAirTakesTheDeviceRateWhenItCannotRunAtTheChosenOne) {
    device.own_rate = 48000;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_TRUE(device.last_request.rate_may_follow_device);
    EXPECT_EQ(engine->sample_rate, 48000);
    EXPECT_EQ(playlist->entries[0].sample_rate, 48000);
}

TEST_F(EngineTest, OnAirAutostartForcesTheModeOnAndStarts) {
    engine->settings.onair_autostart = 1;
    arm_onair_autostart(*engine);
    ASSERT_EQ(host.timers.count(TIMER_ONAIR_AUTOSTART), 1u);
    EXPECT_EQ(host.timers[TIMER_ONAIR_AUTOSTART], ONAIR_AUTOSTART_DELAY_MS);
    on_timer(*engine, TIMER_ONAIR_AUTOSTART);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(engine->onair_mode, 1);
    EXPECT_EQ(playlist->song_count, 1);
    EXPECT_EQ(engine->engine_state, ENGINE_PLAYING);
}

// Low-latency mode: the device runs the chain; the owner's ticks hand the panel over, move the
// meters and the time, and close after Stop, leaving the program's processor as block mode does.
TEST_F(EngineTest, LowLatencyOnAirRunsTheChainInTheDeviceAndTheOwnerOnlyTicks) {
    engine->settings.low_latency = 1;
    engine->settings.onair_rate_choice = ONAIR_RATE_48000;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    ASSERT_NE(device.live, nullptr);
    EXPECT_EQ(device.live, engine->live.get());
    EXPECT_EQ(device.last_request.sample_rate, 48000);
    EXPECT_TRUE(device.started);
    EXPECT_TRUE(device.writes.empty());  // no blocks, no input slots
    EXPECT_TRUE(device.inputs_added.empty());
    EXPECT_FALSE(toggle_onair_mode(*engine));  // the guards see a busy engine
    EXPECT_TRUE(engine_busy(*engine));

    // What the program's processor would make of the same input in block mode.
    auto reference = make_processor();
    processor_startup(*reference);
    change_sample_rate(*reference, 48000);
    std::vector<int16_t> tone(2 * 256), out(tone.size()), expect(tone.size());
    for (size_t i = 0; i < tone.size(); i += 2) {
        tone[i] = tone[i + 1] = static_cast<int16_t>(20000 * std::sin(0.05 * double(i / 2)));
    }
    for (int k = 0; k < 3; ++k) {
        device.run_period(tone.data(), out.data(), 256);
        process_block(*reference, 512, tone.data(), expect.data());
        EXPECT_EQ(out, expect);
    }
    device.tick();
    dispatch_device_events(*engine);
    EXPECT_EQ(engine->played_bytes, 3 * 256 * 4);
    EXPECT_GT(engine->meters.input_peak_l, 15000.0);
    device.tick();
    dispatch_device_events(*engine);
    EXPECT_EQ(engine->meters.input_peak_l, 0.0);  // no period since the last tick

    // The panel switches BYPASS on the program's processor; the next tick hands it over and
    // the period after it runs with it.
    processor->params.switches.bypass = 1;
    device.run_period(tone.data(), out.data(), 256);
    process_block(*reference, 512, tone.data(), expect.data());
    EXPECT_EQ(out, expect);  // not yet: the owner has not ticked
    device.tick();
    dispatch_device_events(*engine);
    reference->params.switches.bypass = 1;
    device.run_period(tone.data(), out.data(), 256);
    process_block(*reference, 512, tone.data(), expect.data());
    EXPECT_EQ(out, expect);
    EXPECT_EQ(processor->state.dither.state, DitherGenerator{}.state);  // the program's never ran

    request_stop(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_DRAINING);
    device.tick();
    dispatch_device_events(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(engine->live_running, 0);
    EXPECT_EQ(device.live, nullptr);
    EXPECT_FALSE(device.output_open());
    EXPECT_EQ(engine->stop_requested, 0);
    EXPECT_EQ(engine->onair_mode, 1);
    EXPECT_EQ(processor->params.switches.bypass, 1);  // the panel's values stay

    // A second start takes the program's current values from the beginning.
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(engine->live->processor().params.switches.bypass, 1);
    stop_and_close(*engine);
}

TEST_F(EngineTest, LowLatencyOnAirClosesWhenTheStreamEndsByItself) {
    engine->settings.low_latency = 1;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    device.alive = false;  // the sound server went away
    device.tick();
    dispatch_device_events(*engine);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device.output_open());
}

TEST_F(EngineTest, LowLatencyOnlyChangesOnAirMode) {
    engine->settings.low_latency = 1;
    write_wav(path("a.wav"), 44100, 2, 8 * BLOCK_BYTES);
    add(path("a.wav"));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(device.last_request.live, nullptr);
    EXPECT_EQ(device.writes.size(), 4u);
    play_to_end();
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(engine->played_bytes, 8 * BLOCK_BYTES);
}

}  // namespace
}  // namespace zv::test
