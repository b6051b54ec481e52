// The chain as an export runs it: on the job's thread, or, when the job has two cores, over
// two threads (engine/chain_halves.h): a thread of its own runs the fronts of a block's chunks
// while the job's thread runs their inputs ahead of them and their backs behind, joined by a
// bounded ring of chunk handoffs, so one song keeps both cores busy (the fronts are the larger
// part; the inputs on the job's thread even the two out). Either way process_block gives
// zv::process_block's bytes, meters and state, and when it returns the block is done and the other
// thread waits for the next one: the job reads the meters, pauses for the throttle and stops at a
// cancel as before. The job's thread fills its waits for the fronts with work of its own
// (`meanwhile`).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/chain_halves.h"
#include "engine/processor.h"
#include "export/stage_link.h"

namespace zv {

// Chunks in flight between the two threads (about 64 KB each).
constexpr int32_t CHAIN_RING_CHUNKS = 16;
// The job's thread runs the inputs (dither, input high-pass, enhancer) of up to this many
// chunks ahead of the fronts; waiting for a batch of fronts, it leaves the fronts the rest in
// hand (a wake-up takes a few fronts' time).
constexpr int32_t CHAIN_INPUT_LEAD = 12;
// The most chunks the back waits for at once: each wake-up of the job's thread costs about
// as much as a few hundred frames of the chain. Towards the end of a block it waits for fewer,
// so that little of the back is left when the front is done.
constexpr int32_t CHAIN_BATCH_CHUNKS = 8;
static_assert(CHAIN_INPUT_LEAD > CHAIN_BATCH_CHUNKS && CHAIN_INPUT_LEAD < CHAIN_RING_CHUNKS);

class ChainStage {
public:
    // The processor must outlive the stage; while it exists only process_block runs the
    // chain on it.
    ChainStage(Processor& processor, bool two_threads);
    ~ChainStage();
    ChainStage(const ChainStage&) = delete;
    ChainStage& operator=(const ChainStage&) = delete;

    // As zv::process_block, on the thread that calls it (the job's). `meanwhile` is work of the
    // job's own that this thread takes up whenever it would wait for the fronts: each call does
    // a piece and says whether more remains. It must not touch `out`, `in` or the processor.
    // Without `due`, all of it is done by the time process_block returns (with one thread,
    // before the block). With `due` (whether some of it must still be done before the block's
    // output is written: it reads the memory `out` names), what is due is done once the
    // fronts have started and before the first back, and the rest may be left for the next
    // block, so that the fronts never wait at a block's end for the job's own work.
    void process_block(int32_t sample_count, const int16_t* in, int16_t* out,
                       const std::function<bool()>& meanwhile = {},
                       const std::function<bool()>& due = {});
    bool two_threads() const { return thread_.joinable(); }

private:
    // Begins the block and wakes the fronts' thread; the block's chunks (0: nothing to run).
    int32_t start_fronts(int32_t sample_count, const int16_t* in, int16_t* out);
    // The inputs ahead of the fronts, the backs of the block's chunks as their fronts come,
    // then the block's end.
    void run_block(int32_t chunks, const std::function<bool()>& meanwhile,
                   const std::function<bool()>& due);
    void run_input(int32_t chunk);
    void run_fronts();

    Processor& p_;
    ChainBlock block_;  // written before the fronts of a block start, read by both threads
    std::vector<ChunkHandoff> ring_;
    const FloatMode mode_;  // the job's, for the front's thread
    std::mutex mutex_;
    std::condition_variable front_wake_;
    std::condition_variable back_wake_;
    // Guarded by mutex_.
    bool block_ready_ = false;
    bool stop_ = false;
    int32_t inputs_done_ = 0;
    int32_t fronts_done_ = 0;
    int32_t back_waits_for_ = 0;  // fronts_done_ the back waits for; 0 while it runs
    bool front_waits_ = false;    // the front waits for an input
    std::thread thread_;
};

}  // namespace zv
