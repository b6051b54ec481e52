#include "plugins/sample_scaling.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__SSE__)
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

void samples_from_floats(const float* left, const float* right, int16_t* out, int n) {
    int i = 0;
#if defined(__SSE2__)
    // Four frames at a time: the same rounding (the mode in force, ties to even), NaN made 0
    // before the clamp, the clamp before the conversion.
    const __m128 scale = _mm_set1_ps(FULL_SCALE);
    const __m128 low = _mm_set1_ps(-FULL_SCALE);
    const __m128 high = _mm_set1_ps(32767.0f);
    const auto convert = [&](const float* p) {
        __m128 v = _mm_mul_ps(_mm_loadu_ps(p), scale);
        v = _mm_and_ps(v, _mm_cmpord_ps(v, v));
        v = _mm_min_ps(_mm_max_ps(v, low), high);
        return _mm_cvtps_epi32(v);
    };
    for (; i + 4 <= n; i += 4) {
        const __m128i l = convert(left + i);
        const __m128i r = convert(right + i);
        const __m128i lo = _mm_unpacklo_epi32(l, r);  // l0 r0 l1 r1
        const __m128i hi = _mm_unpackhi_epi32(l, r);  // l2 r2 l3 r3
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_packs_epi32(lo, hi));
    }
#endif
    for (; i < n; ++i) {
        out[2 * i] = sample_from_float(left[i]);
        out[2 * i + 1] = sample_from_float(right[i]);
    }
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

void OutputScaling::to_floats(const int16_t* interleaved, int channel, float* out, int n) const {
    int i = 0;
#if defined(__SSE2__)
    // Four frames at a time where no sample reaches the table's range (nearly always).
    const __m128 factor = _mm_set1_ps(factor_);
    const __m128i edge = _mm_set1_epi32(scale_ == OutputScale::Halfway ? HALFWAY_PLAIN_MAX : 32768);
    const __m128i keep = _mm_set1_epi32(0xFFFF);
    for (; i + 4 <= n; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(interleaved + 2 * i));
        if (channel == 1) {
            v = _mm_srli_epi32(v, 16);
        }
        // The channel's samples, sign-extended to 32 bits.
        v = _mm_srai_epi32(_mm_slli_epi32(_mm_and_si128(v, keep), 16), 16);
        const __m128i size =
            _mm_sub_epi32(_mm_xor_si128(v, _mm_srai_epi32(v, 31)), _mm_srai_epi32(v, 31));
        if (_mm_movemask_epi8(_mm_cmpgt_epi32(size, edge)) != 0) {
            for (int k = 0; k < 4; ++k) {
                out[i + k] = (*this)(interleaved[2 * (i + k) + channel]);
            }
            continue;
        }
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(v), factor));
    }
#endif
    for (; i < n; ++i) {
        out[i] = (*this)(interleaved[2 * i + channel]);
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
