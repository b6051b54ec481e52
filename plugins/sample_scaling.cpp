#include "plugins/sample_scaling.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zv::plugin {
namespace {

constexpr float FULL_SCALE = 32768.0f;

// The nearest integer, ties to even (the rounding mode hosts leave in place).
int round_to_int(float v) {
#if defined(__SSE__)
    return _mm_cvtss_si32(_mm_set_ss(v));
#else
    return static_cast<int>(std::lrintf(v));
#endif
}

// What the two rounding scalings make of f, clamped to 16 bits as their writers clamp.
bool rounds_back(float f, int y) {
    const long scaled = std::clamp(std::lrintf(32768.0f * f), -32768L, 32767L);
    return std::lrintf(32767.0f * f) == y && scaled == y;
}

// The first float from y / 32768 away from zero, within full scale, that both rounding
// scalings take back to y; else y / 32768 itself (the 32768 scaling's).
float halfway_edge_value(int y) {
    const float exact = static_cast<float>(y) / FULL_SCALE;
    const float away = y > 0 ? 2.0f : -2.0f;
    for (float f = exact; std::fabs(f) <= 1.0f; f = std::nextafter(f, away)) {
        if (rounds_back(f, y)) {
            return f;
        }
    }
    return exact;
}

}  // namespace

int16_t sample_from_float(float x) {
    const float s = x * FULL_SCALE;
    if (!(s >= -FULL_SCALE)) {
        return s != s ? int16_t{0} : int16_t{-32768};
    }
    if (s >= 32767.0f) {
        return 32767;
    }
    return static_cast<int16_t>(round_to_int(s));
}

OutputScaling::OutputScaling(OutputScale scale)
    : scale_(scale),
      factor_(scale == OutputScale::Halfway ? static_cast<float>(1.0 / 32767.5)
                                            : 1.0f / FULL_SCALE) {
    if (scale_ == OutputScale::Halfway) {
        for (int y = HALFWAY_PLAIN_MAX + 1; y <= 32767; ++y) {
            top_[static_cast<size_t>(y - HALFWAY_PLAIN_MAX - 1)] = halfway_edge_value(y);
        }
        for (int y = HALFWAY_PLAIN_MAX + 1; y <= 32768; ++y) {
            bottom_[static_cast<size_t>(y - HALFWAY_PLAIN_MAX - 1)] = halfway_edge_value(-y);
        }
    }
}

float OutputScaling::operator()(int16_t y) const {
    if (scale_ == OutputScale::Halfway) {
        if (y > HALFWAY_PLAIN_MAX) {
            return top_[static_cast<size_t>(y - HALFWAY_PLAIN_MAX - 1)];
        }
        if (y < -HALFWAY_PLAIN_MAX) {
            return bottom_[static_cast<size_t>(-y - HALFWAY_PLAIN_MAX - 1)];
        }
    }
    return static_cast<float>(y) * factor_;
}

}  // namespace zv::plugin
