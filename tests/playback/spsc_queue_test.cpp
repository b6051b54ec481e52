// The callback-to-owner queue, across two threads (run under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <thread>

#include "playback/spsc_queue.h"

namespace zv {
namespace {

TEST(SpscQueue, KeepsOrderRefusesWhenFullAndCrossesThreads) {
    SpscQueue<4> q;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(q.push(i));
    EXPECT_FALSE(q.push(9));
    int32_t v = -1;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(q.pop(v));
        EXPECT_EQ(v, i);
    }
    EXPECT_FALSE(q.pop(v));

    SpscQueue<16> shared;
    constexpr int N = 20000;
    std::thread producer([&] {
        for (int i = 0; i < N;) {
            if (shared.push(i))
                ++i;
        }
    });
    int expected = 0;
    while (expected < N) {
        if (shared.pop(v)) {
            ASSERT_EQ(v, expected);
            ++expected;
        }
    }
    producer.join();
}

}  // namespace
}  // namespace zv
