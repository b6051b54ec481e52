// Flush-to-zero and denormals-are-zero while a plugin runs the chain, as on every thread of the
// program that runs it (the chain's IIR tails decay into denormals, and its output bytes are
// those of that mode). The host's own mode is put back on leaving.
#pragma once

#include <cstdint>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zv::plugin {

class DenormalScope {
public:
    DenormalScope() {
#if defined(__SSE__)
        saved_ = _mm_getcsr();
        _mm_setcsr(saved_ | FLUSH_BITS);
#elif defined(__aarch64__)
        __asm__ __volatile__("mrs %0, fpcr" : "=r"(saved_));
        const uint64_t flush = saved_ | (uint64_t{1} << 24);
        __asm__ __volatile__("msr fpcr, %0" : : "r"(flush));
#endif
    }
    ~DenormalScope() {
#if defined(__SSE__)
        _mm_setcsr(saved_);
#elif defined(__aarch64__)
        __asm__ __volatile__("msr fpcr, %0" : : "r"(saved_));
#endif
    }
    DenormalScope(const DenormalScope&) = delete;
    DenormalScope& operator=(const DenormalScope&) = delete;

private:
#if defined(__SSE__)
    static constexpr unsigned FLUSH_BITS = 0x8040;  // FTZ (bit 15) and DAZ (bit 6)
    unsigned saved_ = 0;
#else
    uint64_t saved_ = 0;
#endif
};

}  // namespace zv::plugin
