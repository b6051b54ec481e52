#include "engine/processor.h"

#include <pmmintrin.h>
#include <xmmintrin.h>

namespace zv {

std::unique_ptr<Processor> make_processor() {
    return std::make_unique<Processor>();
}

void enable_flush_denormals() {
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
    _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
}

}  // namespace zv
