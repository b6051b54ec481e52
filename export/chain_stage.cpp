#include "export/chain_stage.h"

#include <algorithm>

namespace zv {

ChainStage::ChainStage(Processor& processor, bool two_threads) : p_(processor) {
    if (two_threads) {
        ring_.resize(CHAIN_RING_CHUNKS);
        thread_ = std::thread([this] {
            mode_.apply();
            run_fronts();
        });
    }
}

ChainStage::~ChainStage() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        front_wake_.notify_one();
        thread_.join();
    }
}

// The front's thread: the fronts of each block in order, each once the job's thread has run
// the chunk's input (which it runs only into a slot whose back is done).
void ChainStage::run_fronts() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        front_wake_.wait(lock, [this] { return block_ready_ || stop_; });
        if (stop_) {
            return;
        }
        block_ready_ = false;
        const int32_t chunks = block_.chunks;
        for (int32_t c = 0; c < chunks; ++c) {
            if (inputs_done_ <= c) {
                front_waits_ = true;
                front_wake_.wait(lock, [&] { return inputs_done_ > c || stop_; });
                front_waits_ = false;
                if (stop_) {
                    return;
                }
            }
            lock.unlock();
            run_chain_front(p_, block_, c, ring_[static_cast<size_t>(c % CHAIN_RING_CHUNKS)]);
            lock.lock();
            fronts_done_ = c + 1;
            if (back_waits_for_ != 0 && fronts_done_ >= back_waits_for_) {
                back_wake_.notify_one();
            }
        }
    }
}

int32_t ChainStage::start_fronts(int32_t sample_count, const int16_t* in, int16_t* out) {
    // No part runs here: the last block's inputs, fronts and backs are done.
    const int32_t chunks = begin_chain_block(p_, sample_count, in, out, block_);
    if (chunks == 0) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inputs_done_ = 0;
        fronts_done_ = 0;
        block_ready_ = true;
    }
    front_wake_.notify_one();
    return chunks;
}

void ChainStage::process_block(int32_t sample_count, const int16_t* in, int16_t* out,
                               const std::function<bool()>& meanwhile,
                               const std::function<bool()>& due) {
    if (!thread_.joinable()) {
        while (meanwhile && meanwhile()) {
        }
        zv::process_block(p_, sample_count, in, out);
        return;
    }
    const int32_t chunks = start_fronts(sample_count, in, out);
    run_block(chunks, meanwhile, due);
}

void ChainStage::run_input(int32_t chunk) {
    run_chain_input(p_, block_, chunk, ring_[static_cast<size_t>(chunk % CHAIN_RING_CHUNKS)]);
    bool wake_front = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inputs_done_ = chunk + 1;
        wake_front = front_waits_;
    }
    if (wake_front) {
        front_wake_.notify_one();
    }
}

// The job's thread: the inputs kept a few chunks ahead of the fronts (the fronts' thread is the
// busier one and should never wait for them), the backs as the fronts come, the job's own work
// in between, then the block's end.
void ChainStage::run_block(int32_t chunks, const std::function<bool()>& meanwhile,
                           const std::function<bool()>& due) {
    bool more = static_cast<bool>(meanwhile);  // of the job's own work
    int32_t inputs = 0;                        // this thread's own count: inputs_done_
    // An input may go into a slot only once the back of the chunk that used it is done.
    auto input_may_run = [&](int32_t backs, int32_t fronts) {
        return inputs < chunks && inputs - fronts < CHAIN_INPUT_LEAD &&
               inputs - backs < CHAIN_RING_CHUNKS;
    };
    while (input_may_run(0, 0)) {
        run_input(inputs++);
    }
    while (more && due && due()) {
        more = meanwhile();
    }
    for (int32_t c = 0; c < chunks; ++c) {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            const int32_t fronts = fronts_done_;
            if (input_may_run(c, fronts)) {
                lock.unlock();
                run_input(inputs++);
                continue;
            }
            if (fronts > c) {
                break;
            }
            if (more) {
                // Rather than sleep until the front is ahead, a piece of the job's work.
                lock.unlock();
                more = meanwhile();
                continue;
            }
            // Here the fronts are at c and the inputs at least CHAIN_INPUT_LEAD ahead of them,
            // or all run: the fronts reach what the back waits for without another input, and
            // still have inputs in hand while this thread wakes.
            back_waits_for_ =
                std::min(c + std::clamp((chunks - c) / 4, 1, CHAIN_BATCH_CHUNKS), inputs);
            back_wake_.wait(lock, [&] { return fronts_done_ >= back_waits_for_; });
            back_waits_for_ = 0;
        }
        run_chain_back(p_, block_, c, ring_[static_cast<size_t>(c % CHAIN_RING_CHUNKS)]);
    }
    if (chunks > 0) {
        end_chain_block(p_, block_);
    }
    while (!due && more && meanwhile()) {
    }
}

}  // namespace zv
