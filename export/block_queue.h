// A bounded queue that connects two stages of an export: the producer waits while it is full,
// so a song of any length holds at most `capacity` blocks in flight. close() is the
// producer's end of the stream (what is queued is still taken); cancel() from either side
// drops what is queued and wakes both, and every later push and pop fails.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace zv {

template <class T>
class BlockQueue {
public:
    explicit BlockQueue(size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // False when the queue was cancelled or closed: the item was not taken.
    bool push(T&& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        not_full_.wait(lock, [this] { return cancelled_ || closed_ || items_.size() < capacity_; });
        if (cancelled_ || closed_) {
            return false;
        }
        items_.push_back(std::move(item));
        not_empty_.notify_one();
        return true;
    }

    // False at the end of the stream (closed and drained) or once cancelled.
    bool pop(T& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        not_empty_.wait(lock, [this] { return cancelled_ || closed_ || !items_.empty(); });
        if (cancelled_ || items_.empty()) {
            return false;
        }
        item = std::move(items_.front());
        items_.pop_front();
        not_full_.notify_one();
        return true;
    }

    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        not_empty_.notify_all();
        not_full_.notify_all();
    }

    void cancel() {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
        items_.clear();
        not_empty_.notify_all();
        not_full_.notify_all();
    }

    bool cancelled() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return cancelled_;
    }

    size_t capacity() const { return capacity_; }

private:
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable not_full_;
    std::condition_variable not_empty_;
    std::deque<T> items_;
    bool closed_ = false;
    bool cancelled_ = false;
};

}  // namespace zv
