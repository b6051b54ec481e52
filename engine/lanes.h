// The engine's lane type: two doubles, lane 0 left and lane 1 right, and the few operations the
// chain does on them. With SSE2 (every x86-64) a Pair is one SSE register; elsewhere (aarch64
// studio machines), or when ZV_SCALAR_LANES is defined, it is a plain pair of doubles. Every
// operation gives bit for bit what the other implementation gives: the same IEEE operations
// lane by lane, max and min as "a > b ? a : b" and "a < b ? a : b", truncating conversion with
// the SSE2 result for values no int32 holds.
#pragma once

#include <cmath>
#include <cstdint>

#if !defined(ZV_SCALAR_LANES) && defined(__SSE2__)
#define ZV_SSE2_LANES 1
#include <emmintrin.h>
#else
#define ZV_SSE2_LANES 0
#endif

// On x86-64 the chain's loops are also compiled for AVX and chosen at run time where the
// machine has it: the same operations on each lane in the same order, so the same bytes, but
// the three-operand forms need none of the register copies and separate loads of the
// two-operand SSE2 forms (and the final FIR's four-lane vectors fill one register). Preset 232:
// 1572 -> 1335 instructions per frame (callgrind), and engine_bench 182x -> 194x real time median,
// 184x -> 203x best (BM_Preset232Sse2Loops against BM_Preset232, one 2-core machine under load).
// Never FMA: a fused multiply-add would change the output.
#if ZV_SSE2_LANES && defined(__x86_64__) && !defined(__AVX__) && defined(__GNUC__)
#define ZV_AVX_VARIANT 1
#define ZV_TARGET_AVX [[gnu::target("avx")]]
// Every function defined between these two is compiled for AVX (quad_lanes.h).
#if defined(__clang__)
#define ZV_AVX_REGION_BEGIN \
    _Pragma("clang attribute push(__attribute__((target(\"avx\"))), apply_to = function)")
#define ZV_AVX_REGION_END _Pragma("clang attribute pop")
#else
#define ZV_AVX_REGION_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx\")")
#define ZV_AVX_REGION_END _Pragma("GCC pop_options")
#endif
#else
#define ZV_AVX_VARIANT 0
#endif

namespace zv {

// Whether this machine runs the AVX build of the chain's loops.
inline bool machine_runs_avx_loops() {
#if ZV_AVX_VARIANT
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

// Truncation toward zero as the SSE2 conversion does it: NaN and values outside the int32
// range give INT32_MIN.
inline int32_t truncate_to_i32(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(v);
}

#if ZV_SSE2_LANES

using Pair = __m128d;

inline Pair pair(double left, double right) {
    return _mm_set_pd(right, left);
}
inline Pair splat(double v) {
    return _mm_set1_pd(v);
}
inline Pair zero2() {
    return _mm_setzero_pd();
}
inline double lane_l(Pair p) {
    return _mm_cvtsd_f64(p);
}
inline double lane_r(Pair p) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(p, p));
}
inline Pair abs2(Pair p) {
    return _mm_andnot_pd(_mm_set1_pd(-0.0), p);
}
// Lane-wise (a > b ? a : b) and (a < b ? a : b).
inline Pair max2(Pair a, Pair b) {
    return _mm_max_pd(a, b);
}
inline Pair min2(Pair a, Pair b) {
    return _mm_min_pd(a, b);
}
inline Pair sqrt2(Pair p) {
    return _mm_sqrt_pd(p);
}
// Right lane into the left and left into the right.
inline Pair swap2(Pair p) {
    return _mm_shuffle_pd(p, p, 1);
}
// Exact sign flip, as the unary minus of a double.
inline Pair neg2(Pair p) {
    return _mm_xor_pd(p, _mm_set1_pd(-0.0));
}
// (left of a, left of b) and (right of a, right of b).
inline Pair lefts(Pair a, Pair b) {
    return _mm_unpacklo_pd(a, b);
}
inline Pair rights(Pair a, Pair b) {
    return _mm_unpackhi_pd(a, b);
}
// (left of b, right of a).
inline Pair with_left(Pair a, Pair b) {
    return _mm_move_sd(a, b);
}
// Bit 0 set when the left lane of a is above b's, bit 1 for the right lane.
inline int greater_lanes(Pair a, Pair b) {
    return _mm_movemask_pd(_mm_cmpgt_pd(a, b));
}
inline void truncate_to_i16(Pair p, int16_t& left, int16_t& right) {
    __m128i v = _mm_cvttpd_epi32(p);
    left = static_cast<int16_t>(_mm_cvtsi128_si32(v));
    right = static_cast<int16_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
}
// The left lane from one place and the right lane from another, and back.
inline Pair load_lanes(const double* left, const double* right) {
    return _mm_loadh_pd(_mm_load_sd(left), right);
}
inline void store_lanes(double* left, double* right, Pair p) {
    _mm_storel_pd(left, p);
    _mm_storeh_pd(right, p);
}
// Two neighbouring doubles, 16-byte aligned: left then right.
inline Pair load_pair(const double* p) {
    return _mm_load_pd(p);
}
inline void store_pair(double* p, Pair v) {
    _mm_store_pd(p, v);
}

// Both lanes clipped at +-t with slope k above it; returns whether either lane was clipped.
inline bool clip2(Pair& x, Pair t, Pair k) {
    Pair above = _mm_cmpgt_pd(x, t);
    Pair below = _mm_cmplt_pd(x, neg2(t));
    int hit = _mm_movemask_pd(_mm_or_pd(above, below));
    if (hit == 0) {
        return false;
    }
    Pair upper = (x - t) * k + t;
    Pair lower = neg2(t) - (neg2(x) - t) * k;
    auto select = [](Pair mask, Pair if_set, Pair if_clear) {
        return _mm_or_pd(_mm_and_pd(mask, if_set), _mm_andnot_pd(mask, if_clear));
    };
    x = select(above, upper, select(below, lower, x));
    return true;
}

#else

struct Pair {
    double l = 0.0;
    double r = 0.0;
    double operator[](int i) const { return i == 0 ? l : r; }
};

inline Pair operator+(Pair a, Pair b) {
    return {a.l + b.l, a.r + b.r};
}
inline Pair operator-(Pair a, Pair b) {
    return {a.l - b.l, a.r - b.r};
}
inline Pair operator*(Pair a, Pair b) {
    return {a.l * b.l, a.r * b.r};
}
inline Pair operator/(Pair a, Pair b) {
    return {a.l / b.l, a.r / b.r};
}

inline Pair pair(double left, double right) {
    return {left, right};
}
inline Pair splat(double v) {
    return {v, v};
}
inline Pair zero2() {
    return {0.0, 0.0};
}
inline double lane_l(Pair p) {
    return p.l;
}
inline double lane_r(Pair p) {
    return p.r;
}
inline Pair abs2(Pair p) {
    return {std::fabs(p.l), std::fabs(p.r)};
}
inline Pair max2(Pair a, Pair b) {
    return {a.l > b.l ? a.l : b.l, a.r > b.r ? a.r : b.r};
}
inline Pair min2(Pair a, Pair b) {
    return {a.l < b.l ? a.l : b.l, a.r < b.r ? a.r : b.r};
}
inline Pair sqrt2(Pair p) {
    return {std::sqrt(p.l), std::sqrt(p.r)};
}
inline Pair swap2(Pair p) {
    return {p.r, p.l};
}
inline Pair neg2(Pair p) {
    return {-p.l, -p.r};
}
inline Pair lefts(Pair a, Pair b) {
    return {a.l, b.l};
}
inline Pair rights(Pair a, Pair b) {
    return {a.r, b.r};
}
inline Pair with_left(Pair a, Pair b) {
    return {b.l, a.r};
}
inline int greater_lanes(Pair a, Pair b) {
    return (a.l > b.l ? 1 : 0) | (a.r > b.r ? 2 : 0);
}
inline void truncate_to_i16(Pair p, int16_t& left, int16_t& right) {
    left = static_cast<int16_t>(truncate_to_i32(p.l));
    right = static_cast<int16_t>(truncate_to_i32(p.r));
}
inline Pair load_lanes(const double* left, const double* right) {
    return {*left, *right};
}
inline void store_lanes(double* left, double* right, Pair p) {
    *left = p.l;
    *right = p.r;
}
inline Pair load_pair(const double* p) {
    return {p[0], p[1]};
}
inline void store_pair(double* p, Pair v) {
    p[0] = v.l;
    p[1] = v.r;
}

namespace lanes_detail {
inline bool clip1(double& x, double t, double k) {
    if (x > t) {
        x = (x - t) * k + t;
        return true;
    }
    if (x < -t) {
        x = -t - (-x - t) * k;
        return true;
    }
    return false;
}
}  // namespace lanes_detail

inline bool clip2(Pair& x, Pair t, Pair k) {
    const bool left = lanes_detail::clip1(x.l, t.l, k.l);
    const bool right = lanes_detail::clip1(x.r, t.r, k.r);
    return left || right;
}

#endif

}  // namespace zv
