// The meter clock: a tick lays the blocks gathered since the last on the meters at their height,
// after the held values fell by the time passed, and asks for a repaint of only what changed;
// with nothing streaming and nothing lit it stops.
#include "ui/meter_clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "playback/audio_engine.h"

namespace zv {
namespace {

struct Rig {
    Rig() {
        clock.attach(engine_meters, {[this] { return streaming; }, [this] { return inputs; },
                                     [this](const ClientRect& part) { parts.push_back(part); }});
        inputs.output_open = true;
        inputs.engine_state = ENGINE_PLAYING;
        inputs.song_count = 1;
        inputs.current_rate = 44100;
        inputs.current_channels = 2;
    }
    // The tops of the parts asked for since the last call.
    std::vector<int> repainted() {
        std::vector<int> tops;
        for (const ClientRect& p : parts) {
            tops.push_back(p.y);
        }
        parts.clear();
        return tops;
    }

    MeterModel model;
    MeterMailbox engine_meters;
    MeterClock clock{model};
    DisplayInputs inputs;
    bool streaming = true;
    std::vector<ClientRect> parts;
};

TEST(MeterClock, ShowsGatheredBlocksAtTheirHeightAndRepaintsWhatChanged) {
    Rig rig;
    rig.clock.wake();
    EXPECT_TRUE(rig.clock.running());
    EXPECT_EQ(rig.repainted(), std::vector<int>{PANEL_TOP}) << "the first tick: the whole panel";

    // Three blocks between two ticks: the loud one in the middle is shown, not decayed.
    MeterSnapshot quiet;
    quiet.input_peak_l = 1000;
    MeterSnapshot loud;
    loud.input_peak_l = 32767;
    loud.band_clip_flag[1] = 1;
    rig.engine_meters.add(quiet);
    rig.engine_meters.add(loud);
    rig.engine_meters.add(quiet);
    rig.clock.tick(0.5);
    EXPECT_EQ(rig.model.frame().meter[1], 24);
    EXPECT_TRUE(rig.model.frame().band_clip[1]);
    EXPECT_EQ(rig.repainted(), std::vector<int>{METER_TOP}) << "the meters alone";

    // The time moves on, the meters stand: the time display alone.
    rig.inputs.played_bytes = 4 * 44100 * 2;
    rig.clock.tick(0.0);
    EXPECT_EQ(rig.repainted(), std::vector<int>{TIME_DISPLAY.y});
    rig.clock.tick(0.0);
    EXPECT_TRUE(rig.repainted().empty()) << "nothing changed";

    // Nothing streams any more: the meters fall, then the clock stops.
    rig.streaming = false;
    rig.clock.tick(0.5);
    EXPECT_TRUE(rig.clock.running()) << "still falling";
    rig.clock.tick(1.0);
    EXPECT_EQ(rig.model.frame().meter[1], 0);
    EXPECT_FALSE(rig.clock.running());
    // Blocks handed in wake it again, shown at once.
    rig.clock.add(loud);
    EXPECT_TRUE(rig.clock.running());
    EXPECT_EQ(rig.model.frame().meter[1], 24);
}

}  // namespace
}  // namespace zv
