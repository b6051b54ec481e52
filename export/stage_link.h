// How the stages of an export hand their work on: a Sink takes items in order, then the end
// of the stream. A stage that runs inline calls the next stage's sink itself; a ThreadedSink
// runs the next stage on a thread of its own behind a BlockQueue, so the stage before it goes
// on at once and waits only when the queue is full.
#pragma once

#include <cfenv>
#include <cstddef>
#include <thread>
#include <utility>

#include "export/block_queue.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zv {

template <class T>
class Sink {
public:
    virtual ~Sink() = default;
    // False when the stage failed or was stopped: it takes nothing more, and the stage before
    // it stops too. The stage itself says why.
    virtual bool put(T&& item) = 0;
    // The end of the stream: the stage completes its work (and its own sink's). False when it
    // failed or was stopped.
    virtual bool finish() = 0;
};

// The floating-point mode (rounding, and flush-to-zero and denormals-are-zero, which every
// export worker turns on) of the thread that made it, for a stage thread to take over: a
// stage then computes exactly as it would inline. (libmp3lame 3.100 and the loudness meter give the
// same results either way on fades into silence; nothing here counts on that.)
class FloatMode {
public:
    FloatMode() {
        std::fegetenv(&env_);
#if defined(__SSE__)
        csr_ = _mm_getcsr();
#endif
    }
    void apply() const {
        std::fesetenv(&env_);
#if defined(__SSE__)
        _mm_setcsr(csr_);
#endif
    }

private:
    std::fenv_t env_{};
#if defined(__SSE__)
    unsigned csr_ = 0;
#endif
};

template <class T>
class ThreadedSink final : public Sink<T> {
public:
    ThreadedSink(Sink<T>& next, size_t capacity) : next_(next), queue_(capacity) {
        thread_ = std::thread([this] {
            mode_.apply();
            run();
        });
    }
    ~ThreadedSink() override {
        queue_.cancel();
        join();
    }
    ThreadedSink(const ThreadedSink&) = delete;
    ThreadedSink& operator=(const ThreadedSink&) = delete;

    bool put(T&& item) override { return queue_.push(std::move(item)); }
    // Waits until the stage has taken everything and finished.
    bool finish() override {
        queue_.close();
        join();
        return ok_;
    }
    // Any thread: what is queued is dropped and the stage stops after its current item.
    void cancel() { queue_.cancel(); }

private:
    void run() {
        T item;
        while (queue_.pop(item)) {
            if (!next_.put(std::move(item))) {
                queue_.cancel();  // the stage before it learns at its next put
                return;
            }
        }
        if (!queue_.cancelled()) {
            ok_ = next_.finish();
        }
    }
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    Sink<T>& next_;
    BlockQueue<T> queue_;
    const FloatMode mode_;
    bool ok_ = false;  // written by the stage's thread, read after it was joined
    std::thread thread_;
};

}  // namespace zv
