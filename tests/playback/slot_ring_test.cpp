// The callback's slot ring on its own: order, the queued flags, the underflow and overflow
// counts, the events, and an owner and a callback thread at once (run under ThreadSanitizer).
#include "playback/slot_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace zv {
namespace {

constexpr int CAPACITY = BLOCK_FRAMES + 64;

// Fills output slot `slot` with `frames` frames counting up from `first` and queues it.
bool queue_counting(SlotRing& ring, int slot, int frames, int first) {
    int16_t* dst = ring.output_storage(slot);
    for (int i = 0; i < frames; ++i) {
        dst[2 * i] = static_cast<int16_t>(first + i);
        dst[2 * i + 1] = static_cast<int16_t>(-(first + i));
    }
    return ring.queue_output(slot, frames);
}

std::vector<DeviceEvent> events(SlotRing& ring) {
    std::vector<DeviceEvent> all;
    DeviceEvent e;
    while (ring.next_event(e)) {
        all.push_back(e);
    }
    return all;
}

TEST(SlotRing, PlaysQueuedSlotsInOrderAndClearsEachQueuedFlagWhenPlayed) {
    SlotRing ring(CAPACITY);
    ASSERT_TRUE(queue_counting(ring, 2, 100, 0));
    ASSERT_TRUE(queue_counting(ring, 0, 50, 100));
    EXPECT_FALSE(queue_counting(ring, 2, 10, 0));  // still queued: refused
    EXPECT_TRUE(ring.output_queued(2));
    EXPECT_TRUE(ring.output_queued(0));
    EXPECT_FALSE(ring.output_queued(1));

    std::vector<int16_t> out(2 * 120, 7);
    EXPECT_TRUE(ring.play(out.data(), 120, false));  // slot 2 ends inside this period
    for (int i = 0; i < 120; ++i) {
        ASSERT_EQ(out[2 * i], i) << i;
        ASSERT_EQ(out[2 * i + 1], -i) << i;
    }
    EXPECT_FALSE(ring.output_queued(2));
    EXPECT_TRUE(ring.output_queued(0));
    ASSERT_EQ(events(ring).size(), 1u);

    // The played slot can be queued again at once, while slot 0 is still playing.
    ASSERT_TRUE(queue_counting(ring, 2, 10, 150));
    EXPECT_TRUE(ring.play(out.data(), 40, false));  // the rest of slot 0 and all of slot 2
    EXPECT_EQ(out[0], 120);
    EXPECT_EQ(out[2 * 30], 150);
    EXPECT_FALSE(ring.output_queued(0));
    EXPECT_FALSE(ring.output_queued(2));
    const std::vector<DeviceEvent> done = events(ring);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].slot, 0);
    EXPECT_EQ(done[1].slot, 2);
    EXPECT_EQ(done[0].kind, DeviceEventKind::OUTPUT_DONE);
    EXPECT_EQ(ring.underflow_count(), 0u);
}

TEST(SlotRing, RefusesBadSlotsAndCounts) {
    SlotRing ring(CAPACITY);
    EXPECT_EQ(ring.output_storage(-1), nullptr);
    EXPECT_EQ(ring.output_storage(MAX_BUFFERS), nullptr);
    EXPECT_FALSE(ring.queue_output(MAX_BUFFERS, 10));
    EXPECT_FALSE(ring.queue_output(0, CAPACITY + 1));
    EXPECT_FALSE(ring.queue_output(0, -1));
    EXPECT_FALSE(ring.output_queued(0));
    EXPECT_FALSE(ring.give_input(-1));
    EXPECT_EQ(ring.input_data(MAX_BUFFERS), nullptr);
}

// Running dry counts once per period while playing; after drain the silence is expected.
TEST(SlotRing, AnEmptyRingIsAnUnderflowUntilDraining) {
    SlotRing ring(CAPACITY);
    std::vector<int16_t> out(2 * 64, 7);
    ASSERT_TRUE(queue_counting(ring, 0, 32, 1));
    EXPECT_TRUE(ring.play(out.data(), 64, false));  // 32 frames short
    EXPECT_EQ(out[2 * 40], 0);                      // silence after the slot
    EXPECT_EQ(ring.underflow_count(), 1u);
    ring.play(out.data(), 64, false);
    EXPECT_EQ(ring.underflow_count(), 2u);

    ASSERT_TRUE(queue_counting(ring, 1, 32, 1));
    ring.drain();
    EXPECT_TRUE(ring.play(out.data(), 64, false));
    ring.play(out.data(), 64, false);
    EXPECT_EQ(ring.underflow_count(), 2u);
    // A gap the device itself reports is an underflow whatever the ring holds, once a period.
    ring.play(out.data(), 64, true);
    EXPECT_EQ(ring.underflow_count(), 3u);

    ring.reset();  // a new song: playing again, the counter goes on
    ring.play(out.data(), 64, true);
    EXPECT_EQ(ring.underflow_count(), 4u);
    EXPECT_FALSE(ring.output_queued(1));
}

TEST(SlotRing, RecordsWholeBlocksReportsThemFirstAndCountsOverflows) {
    SlotRing ring(CAPACITY);
    ASSERT_TRUE(ring.give_input(3));
    std::vector<int16_t> in(2 * BLOCK_FRAMES);
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = static_cast<int16_t>(i % 1000);
    }
    // One period that completes the block and a second that finds no free slot.
    EXPECT_FALSE(ring.record(in.data(), BLOCK_FRAMES - 100, false));
    EXPECT_TRUE(ring.record(in.data() + 2 * (BLOCK_FRAMES - 100), 100, false));
    EXPECT_EQ(ring.overflow_count(), 0u);
    EXPECT_FALSE(ring.record(in.data(), 10, false));
    EXPECT_EQ(ring.overflow_count(), 1u);
    EXPECT_FALSE(ring.record(nullptr, 0, true));  // the device lost input
    EXPECT_EQ(ring.overflow_count(), 2u);
    EXPECT_TRUE(std::equal(in.begin(), in.end(), ring.input_data(3)));

    // A duplex period: the recording is reported before the output slot that finished with it.
    ASSERT_TRUE(ring.give_input(1));
    ASSERT_TRUE(queue_counting(ring, 5, 16, 0));
    events(ring);  // the first input block
    std::vector<int16_t> out(2 * 16);
    ring.record(in.data(), BLOCK_FRAMES, false);
    ring.play(out.data(), 16, false);
    const std::vector<DeviceEvent> both = events(ring);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].kind, DeviceEventKind::INPUT_DONE);
    EXPECT_EQ(both[0].slot, 1);
    EXPECT_EQ(both[1].kind, DeviceEventKind::OUTPUT_DONE);
    EXPECT_EQ(both[1].slot, 5);
}

// The owner refills slots as their events arrive while another thread plays them in periods of
// odd sizes: every frame comes out once, in order, and every slot is reported once.
TEST(SlotRing, OwnerAndCallbackThreadsKeepEveryFrameInOrder) {
    SlotRing ring(CAPACITY);
    constexpr int SLOTS = 4;
    constexpr int BLOCKS = 300;
    constexpr int FRAMES = 997;  // not a multiple of the periods
    std::atomic<bool> stop{false};
    std::vector<int16_t> heard;  // left channel
    heard.reserve(static_cast<size_t>(BLOCKS) * FRAMES);
    std::thread callback([&] {
        std::vector<int16_t> out(2 * 512);
        unsigned long period = 61;
        while (!stop.load(std::memory_order_acquire)) {
            if (ring.play(out.data(), period, false)) {
                ring.wake();
            }
            // Silence (an underflow while the owner is late) is left out of what was heard.
            for (unsigned long i = 0; i < period; ++i) {
                if (out[2 * i] != 0) {
                    heard.push_back(out[2 * i]);
                }
            }
            period = period == 61 ? 509 : 61;
            std::this_thread::yield();
        }
    });
    // The owner's side; a failure ends it early, and the callback thread is stopped either way.
    auto owner = [&] {
        int next_block = 0;
        for (int slot = 0; slot < SLOTS; ++slot) {
            ASSERT_TRUE(queue_counting(ring, slot, FRAMES, 1 + next_block * FRAMES % 30000));
            ++next_block;
        }
        int done = 0;
        DeviceEvent e;
        while (done < BLOCKS) {
            if (!ring.next_event(e)) {
                std::this_thread::yield();
                continue;
            }
            ASSERT_EQ(e.kind, DeviceEventKind::OUTPUT_DONE);
            ASSERT_FALSE(ring.output_queued(e.slot)) << "slot " << e.slot << " still queued";
            ++done;
            if (next_block < BLOCKS) {
                ASSERT_TRUE(queue_counting(ring, e.slot, FRAMES, 1 + next_block * FRAMES % 30000));
                ++next_block;
            } else if (next_block == BLOCKS) {
                ring.drain();
                ++next_block;
            }
        }
    };
    owner();
    stop.store(true, std::memory_order_release);
    callback.join();
    if (HasFatalFailure()) {
        return;
    }

    // What was heard is every block's frames in order.
    const std::vector<int16_t>& left = heard;
    ASSERT_EQ(left.size(), static_cast<size_t>(BLOCKS) * FRAMES);
    for (int b = 0; b < BLOCKS; ++b) {
        const int first = 1 + b * FRAMES % 30000;
        for (int i = 0; i < FRAMES; i += 97) {
            ASSERT_EQ(left[static_cast<size_t>(b) * FRAMES + i], static_cast<int16_t>(first + i))
                << b << " " << i;
        }
    }
}

}  // namespace
}  // namespace zv
