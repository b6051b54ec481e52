#include "engine/processor.h"

#include <cfloat>

#if defined(__SSE2__)
#include <pmmintrin.h>
#include <xmmintrin.h>
#endif

namespace zv {

std::unique_ptr<Processor> make_processor() {
    return std::make_unique<Processor>();
}

bool enable_flush_denormals() {
#if defined(__SSE2__)
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
    _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
#elif defined(__aarch64__)
    uint64_t fpcr = 0;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
    fpcr |= uint64_t{1} << 24;  // FZ: denormal inputs and results become zero
    __asm__ __volatile__("msr fpcr, %0" : : "r"(fpcr));
#endif
    // The smallest normal double halved is a denormal, unless the mode above took effect.
    volatile double smallest = DBL_MIN;
    return smallest / 2.0 == 0.0;
}

}  // namespace zv
