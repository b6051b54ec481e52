// The meters between the chain's thread and the display: every block's peak and clip reaches
// the display, however many blocks come between two takes, and a take is never half of one
// block and half of another.
#include "engine/meter_mailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace zv {
namespace {

TEST(MeterMailbox, APeakInABlockBetweenTwoTakesIsShown) {
    MeterMailbox mailbox;
    MeterSnapshot m;
    EXPECT_FALSE(mailbox.take(m)) << "nothing added yet";

    MeterSnapshot loud;  // a short peak and a clip, in the middle of three blocks
    loud.output_peak_l = 30000;
    loud.band_clip_flag[2] = 1;
    loud.clip_flag_r = 1;
    loud.agc_gain_lo = 900;
    loud.gate_indicator.fill(3);
    MeterSnapshot quiet;
    quiet.output_peak_l = 5000;
    quiet.input_peak_r = 7000;
    quiet.hf_gain_reduction_l = 200;
    quiet.agc_gain_lo = 400;
    quiet.gate_indicator.fill(1);
    mailbox.add(quiet);
    mailbox.add(loud);
    mailbox.add(quiet);

    ASSERT_TRUE(mailbox.take(m));
    EXPECT_EQ(m.output_peak_l, 30000);  // the largest of the three
    EXPECT_EQ(m.input_peak_r, 7000);
    EXPECT_EQ(m.hf_gain_reduction_l, 200);
    EXPECT_EQ(m.band_clip_flag[2], 1);  // clipped in one of them
    EXPECT_EQ(m.band_clip_flag[1], 0);
    EXPECT_EQ(m.clip_flag_r, 1);
    EXPECT_EQ(m.agc_gain_lo, 400);  // states: the latest block's
    EXPECT_EQ(m.gate_indicator[5], 1);
    EXPECT_FALSE(mailbox.take(m)) << "taken once";

    // What was taken does not come back: the next take starts afresh.
    mailbox.add(quiet);
    ASSERT_TRUE(mailbox.take(m));
    EXPECT_EQ(m.output_peak_l, 5000);
    EXPECT_EQ(m.band_clip_flag[2], 0);
    EXPECT_EQ(m.clip_flag_r, 0);
}

// Block i has every value i + 1, so a take that mixed two publications would show unequal
// fields; one block in the middle carries the only enhancer peak and output clip. The sanitizer
// build watches the two threads.
TEST(MeterMailbox, TakesOnAnotherThreadAreWholeAndMissNoBlock) {
    constexpr int BLOCKS = 50000;
    constexpr int SPECIAL = BLOCKS / 2 + 7;
    constexpr int ROUND = 5000;  // the producer waits for a take every this many blocks
    MeterMailbox mailbox;
    std::atomic<bool> done{false};
    std::atomic<int> takes{0};
    std::thread producer([&] {
        for (int i = 0; i < BLOCKS; ++i) {
            while (i % ROUND == 0 && takes.load() < i / ROUND) {
                std::this_thread::yield();
            }
            MeterSnapshot b;
            const double v = i + 1;
            b.input_peak_l = b.input_peak_r = b.output_peak_l = b.output_peak_r = v;
            b.band_gain_reduction_peak.fill(v);
            b.agc_gain_lo = b.agc_gain_hi = v;
            if (i == SPECIAL) {
                b.enhancer_peak = 1;
                b.clip_flag_l = 1;
            }
            mailbox.add(b);
        }
        done.store(true);
    });
    double last = 0;
    bool special_seen = false;
    auto check = [&](const MeterSnapshot& m) {
        takes.fetch_add(1);
        EXPECT_GT(m.input_peak_l, last) << "a take shows blocks not shown before";
        last = m.input_peak_l;
        for (double v :
             {m.input_peak_r, m.output_peak_l, m.output_peak_r, m.agc_gain_lo, m.agc_gain_hi,
              m.band_gain_reduction_peak[0], m.band_gain_reduction_peak[5]}) {
            EXPECT_EQ(v, m.input_peak_l) << "one take, one set of blocks";
        }
        special_seen = special_seen || (m.enhancer_peak == 1 && m.clip_flag_l == 1);
    };
    MeterSnapshot m;
    while (!done.load()) {
        if (mailbox.take(m)) {
            check(m);
        }
    }
    producer.join();
    if (mailbox.take(m)) {
        check(m);
    }
    EXPECT_EQ(last, BLOCKS) << "the last block reaches the display";
    EXPECT_TRUE(special_seen) << "the one loud block between two takes";
    EXPECT_GE(takes.load(), BLOCKS / ROUND);
}

}  // namespace
}  // namespace zv
