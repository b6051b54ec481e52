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

// The front's thread: the fronts of each block in order, each into the ring once the back has
// taken the chunk that used its slot.
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
            if (c - backs_done_ >= CHAIN_RING_CHUNKS) {
                front_waits_ = true;
                front_wake_.wait(lock,
                                 [&] { return c - backs_done_ < CHAIN_RING_CHUNKS || stop_; });
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
    // Both halves are idle here: the last block's front and back are done.
    const int32_t chunks = begin_chain_block(p_, sample_count, in, out, block_);
    if (chunks == 0) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fronts_done_ = 0;
        backs_done_ = 0;
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
    bool more = static_cast<bool>(meanwhile);
    while (more && due && due()) {
        more = meanwhile();
    }
    run_backs(chunks, meanwhile, !due);
}

void ChainStage::run_backs(int32_t chunks, const std::function<bool()>& meanwhile, bool drain) {
    bool more = static_cast<bool>(meanwhile);  // of the job's own work
    for (int32_t c = 0; c < chunks; ++c) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (fronts_done_ <= c) {
            if (more) {
                // Rather than sleep until the front is ahead, a piece of the job's work.
                lock.unlock();
                more = meanwhile();
                lock.lock();
                continue;
            }
            back_waits_for_ = c + std::clamp((chunks - c) / 4, 1, CHAIN_BATCH_CHUNKS);
            back_wake_.wait(lock, [&] { return fronts_done_ >= back_waits_for_; });
            back_waits_for_ = 0;
        }
        lock.unlock();
        run_chain_back(p_, block_, c, ring_[static_cast<size_t>(c % CHAIN_RING_CHUNKS)]);
        bool wake_front = false;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            backs_done_ = c + 1;
            wake_front = front_waits_;
        }
        if (wake_front) {
            front_wake_.notify_one();
        }
    }
    if (chunks > 0) {
        end_chain_block(p_, block_);
    }
    while (drain && more && meanwhile()) {
    }
}

}  // namespace zv
