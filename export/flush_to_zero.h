// Flush-to-zero for a scope, as the loudness line's own loops run: results too small for a
// normal double become zero while it lasts (inputs are left as the thread has them), and the
// thread's mode comes back after. Where the machine has no such mode it does nothing.
#pragma once

#include "engine/lanes.h"

#if ZV_SSE2_LANES
#include <xmmintrin.h>
#endif

namespace zv {

class FlushToZero {
public:
#if ZV_SSE2_LANES
    FlushToZero() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | _MM_FLUSH_ZERO_ON);
    }
    ~FlushToZero() {
        _mm_setcsr(saved_);
    }
    FlushToZero(const FlushToZero&) = delete;
    FlushToZero& operator=(const FlushToZero&) = delete;

    // Whether the thread flushes already (every export worker does).
    static bool on() {
        return (_mm_getcsr() & _MM_FLUSH_ZERO_ON) != 0;
    }

private:
    unsigned int saved_;
#else
    static bool on() {
        return false;
    }
#endif
};

}  // namespace zv
