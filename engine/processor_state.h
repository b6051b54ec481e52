// Running state of the chain: coefficient banks, delay lines, envelopes, dither.
#pragma once

#include <cstdint>

namespace zv {

struct ProcessorState {
    int sample_rate = 44100;
    uint32_t dither_state = 1;
};

}  // namespace zv
