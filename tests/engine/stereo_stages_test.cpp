// The stereo enhancer's delay and types, and the virtual room's cross-feed and reverberators.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/processor.h"
#include "engine/stereo_stages.h"

namespace zv {
namespace {

std::unique_ptr<Processor> ready(int rate = 44100) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    change_sample_rate(*p, rate);
    reset_processor_state(*p);
    return p;
}

TEST(Enhancer, DelayLengthFromRateAndMilliseconds) {
    EXPECT_EQ(enhancer_delay_len(44100, 1.0), 44);
    EXPECT_EQ(enhancer_delay_len(44100, 50.0), 2199);  // 2205 forced to 2199
    EXPECT_EQ(enhancer_delay_len(48000, 10.0), 480);
    EXPECT_EQ(enhancer_delay_len(32000, 10.0), 320);
    EXPECT_EQ(enhancer_delay_len(44100, 0.0), 1);
    EXPECT_EQ(enhancer_delay_len(44100, std::nan("")), 1);
}

// With type 1 the side signal S = L - R goes through the line unchanged: at 1 ms (N = 44) an
// impulse comes out 43 frames later, and with the enhancer on it is added to L, taken from R.
TEST(Enhancer, SideSignalIsDelayedNMinusOneFrames) {
    for (auto [ms, lag] : {std::pair{1.0, 43}, std::pair{50.0, 2198}}) {
        auto p = ready();
        ProcessorParams& q = p->params;
        q.settings.stereo_delay_ms = ms;
        q.settings.stereo_type = 1.0;
        q.settings.stereo_level_db = 0.0;
        q.switches.stereo_enhance = 1;
        EnhancerFactors e = prepare_enhancer(q, 44100);
        double peak = 0.0;
        int first = -1;
        for (int n = 0; n < 2300; ++n) {
            Pair x = n == 0 ? pair(1000.0, 0.0) : pair(0.0, 0.0);
            Pair y = run_enhancer(peak, p->state.channels, p->state.enhancer, e, x);
            double side_l = lane_l(y) - lane_l(x);
            double side_r = lane_r(y) - lane_r(x);
            EXPECT_EQ(side_l, -side_r);
            if (first < 0 && side_l != 0.0) {
                first = n;
            }
        }
        EXPECT_EQ(first, lag) << ms;
        EXPECT_GT(peak, 0.0);
    }
}

TEST(Enhancer, OffLeavesTheSignalButTheStageStillRuns) {
    auto p = ready();
    ProcessorParams& q = p->params;
    q.switches.stereo_enhance = 0;
    q.settings.stereo_type = 4.0;
    EnhancerFactors e = prepare_enhancer(q, 44100);
    double peak = 0.0;
    for (int n = 0; n < 1000; ++n) {
        Pair x = pair(3000.0 * std::sin(n * 0.05), -2000.0 * std::sin(n * 0.07));
        Pair y = run_enhancer(peak, p->state.channels, p->state.enhancer, e, x);
        ASSERT_EQ(lane_l(y), lane_l(x));
        ASSERT_EQ(lane_r(y), lane_r(x));
    }
    EXPECT_EQ(peak, 0.0);
    EXPECT_NE(lane_l(p->state.channels.enhancer_level.y1), 0.0);  // detectors advanced
}

TEST(Enhancer, TypesOutsideTwoToFiveBehaveLikeTypeOne) {
    std::vector<std::vector<double>> outputs;
    for (double type : {1.0, 0.0, 6.0, 5.5, -3.0, 1.49}) {
        auto p = ready();
        ProcessorParams& q = p->params;
        q.settings.stereo_type = type;
        q.switches.stereo_enhance = 1;
        EnhancerFactors e = prepare_enhancer(q, 44100);
        double peak = 0.0;
        std::vector<double> out;
        for (int n = 0; n < 3000; ++n) {
            Pair x = pair(5000.0 * std::sin(n * 0.03), 1000.0 * std::sin(n * 0.11));
            out.push_back(lane_l(run_enhancer(peak, p->state.channels, p->state.enhancer, e, x)));
        }
        outputs.push_back(out);
    }
    for (size_t i = 1; i < outputs.size(); ++i) {
        EXPECT_EQ(outputs[i], outputs[0]) << i;
    }
    auto p = ready();
    p->params.settings.stereo_type = 1.5;  // rounds to 2
    EXPECT_EQ(prepare_enhancer(p->params, 44100).type, 2);
}

// With reverb 0 the room leaves only 0.707 * (L + X_r) and 0.707 * (R + X_l): an impulse on
// the left reaches the right ear N_ia frames later and nothing else follows.
TEST(VirtualRoom, WithoutReverbOnlyTheCrossFeedRemains) {
    struct Case {
        double cm;
        int rate;
        int lag;
    };
    for (Case k :
         {Case{18.0, 44100, 23}, Case{1.0, 44100, 1}, Case{0.1, 44100, 1}, Case{30.0, 48000, 42}}) {
        auto p = ready(k.rate);
        ProcessorParams& q = p->params;
        q.interaural_delay_cm = k.cm;
        q.reverb_level_pct = 0.0;
        RoomFactors f = prepare_room(q, k.rate, p->state.room);
        EXPECT_EQ(f.crossfeed_len, k.lag);
        int first_right = -1;
        for (int n = 0; n < 6000; ++n) {
            double l = n == 0 ? 10000.0 : 0.0;
            Pair y = run_room(p->state.room, f, pair(l, 0.0));
            ASSERT_EQ(lane_l(y), l * 0.707) << n;  // nothing comes back to the left
            if (first_right < 0 && lane_r(y) != 0.0) {
                first_right = n;
            }
        }
        EXPECT_EQ(first_right, k.lag) << k.cm;
    }
}

TEST(VirtualRoom, ReverbAddsLateEnergyToBothEars) {
    auto p = ready();
    ProcessorParams& q = p->params;
    q.reverb_level_pct = 100.0;
    q.room_size_m = 10.0;  // N1 = 1297
    RoomFactors f = prepare_room(q, 44100, p->state.room);
    EXPECT_EQ(f.room1_len, 1297);
    EXPECT_EQ(f.room2_len, 1556);
    double late_l = 0.0, late_r = 0.0;
    for (int n = 0; n < 20000; ++n) {
        Pair y = run_room(p->state.room, f, n == 0 ? pair(10000.0, 0.0) : pair(0.0, 0.0));
        if (n > 1300) {
            late_l += std::abs(lane_l(y));
            late_r += std::abs(lane_r(y));
        }
        ASSERT_TRUE(std::isfinite(lane_l(y)) && std::isfinite(lane_r(y)));
    }
    EXPECT_GT(late_l, 100.0);
    EXPECT_GT(late_r, 100.0);
    // Lengths stay on their lines.
    q.room_size_m = 1000.0;
    q.interaural_delay_cm = 1.0e6;
    RoomFactors big = prepare_room(q, 48000, p->state.room);
    EXPECT_EQ(big.room1_len, 4700);
    EXPECT_EQ(big.room2_len, 4700);
    EXPECT_EQ(big.crossfeed_len, 4800);
}

TEST(VirtualRoom, OffTheRoomStateDoesNotAdvance) {
    auto p = ready();
    p->params.switches.virtual_room = 0;
    std::vector<int16_t> in(8192, 3000), out(8192);
    process_block(*p, 8192, in.data(), out.data());
    EXPECT_EQ(p->state.room.crossfeed.pos, 0);
    EXPECT_EQ(p->state.room.room1_allpass[0].pos[0], 0);
    p->params.switches.virtual_room = 1;
    process_block(*p, 8192, in.data(), out.data());
    EXPECT_NE(p->state.room.room1_allpass[0].pos[0], 0);
}

}  // namespace
}  // namespace zv
