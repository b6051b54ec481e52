// Four lanes: the bands' per-frame part runs two bands (left and right each) or four bands per
// register. QuadLanes holds four doubles in memory, lane 0 first; the register type Quad and
// its operations come in two builds with the same bytes: quad_pairs (two Pairs, lanes.h: the
// SSE2 registers, or plain doubles) and, on x86-64, quad_avx (one 256-bit register), compiled
// for AVX and chosen at run time with the rest of the AVX loops (lanes.h). Every operation does
// on each lane exactly what the Pair operation of the same name does on its lanes; never FMA.
#pragma once

#include "engine/filter_sections.h"
#include "engine/lanes.h"

#if ZV_AVX_VARIANT
#include <immintrin.h>
#endif

namespace zv {

struct alignas(32) QuadLanes {
    double v[4]{};
};

// Two Pairs into the low lanes (0, 1) and the high lanes (2, 3), and back.
inline void set_halves(QuadLanes& q, Pair lo, Pair hi) {
    store_pair(&q.v[0], lo);
    store_pair(&q.v[2], hi);
}
inline Pair low_half(const QuadLanes& q) {
    return load_pair(&q.v[0]);
}
inline Pair high_half(const QuadLanes& q) {
    return load_pair(&q.v[2]);
}
inline QuadLanes quad_lanes(double a, double b, double c, double d) {
    return QuadLanes{{a, b, c, d}};
}

// Sections with their coefficients and memories in four lanes (filter_sections.h has the
// formulas, evaluated in the same order).
struct QuadFirstOrder {
    QuadLanes b0, b1, a1;
    QuadLanes x1, y1;
};
struct QuadDoubledFirstOrder {
    QuadLanes b0, b1, a1;
    QuadLanes x1, y1, z1;
};
struct QuadBiquad {
    QuadLanes b0, b1, b2, a1, a2;
    QuadLanes x1, x2, y1, y2;
};
struct QuadThirdOrder {
    QuadLanes b[4];  // b0..b3
    QuadLanes a[4];  // a1..a3 in [1..3]
    QuadLanes x[3];
    QuadLanes y[3];
};

// The two-lane sections' coefficients and memories into the low and high lanes, and the
// memories back.
void set_halves(QuadFirstOrder& q, const StereoFirstOrder& lo, const StereoFirstOrder& hi);
void set_halves(QuadDoubledFirstOrder& q, const StereoDoubledFirstOrder& lo,
                const StereoDoubledFirstOrder& hi);
void set_halves(QuadBiquad& q, const StereoBiquad& lo, const StereoBiquad& hi);
void set_halves(QuadThirdOrder& q, const StereoThirdOrder& lo, const StereoThirdOrder& hi);
void get_halves(const QuadFirstOrder& q, StereoFirstOrder& lo, StereoFirstOrder& hi);
void get_halves(const QuadDoubledFirstOrder& q, StereoDoubledFirstOrder& lo,
                StereoDoubledFirstOrder& hi);
void get_halves(const QuadBiquad& q, StereoBiquad& lo, StereoBiquad& hi);
void get_halves(const QuadThirdOrder& q, StereoThirdOrder& lo, StereoThirdOrder& hi);

namespace quad_pairs {

struct Quad {
    Pair lo, hi;
};

[[gnu::always_inline]] inline Quad load(const QuadLanes& m) {
    return {low_half(m), high_half(m)};
}
[[gnu::always_inline]] inline void store(QuadLanes& m, Quad q) {
    set_halves(m, q.lo, q.hi);
}
[[gnu::always_inline]] inline Quad halves(Pair lo, Pair hi) {
    return {lo, hi};
}
[[gnu::always_inline]] inline Pair lo(Quad q) {
    return q.lo;
}
[[gnu::always_inline]] inline Pair hi(Quad q) {
    return q.hi;
}
[[gnu::always_inline]] inline Quad splat4(double v) {
    return {splat(v), splat(v)};
}
[[gnu::always_inline]] inline Quad zero4() {
    return {zero2(), zero2()};
}
[[gnu::always_inline]] inline Quad operator+(Quad a, Quad b) {
    return {a.lo + b.lo, a.hi + b.hi};
}
[[gnu::always_inline]] inline Quad operator-(Quad a, Quad b) {
    return {a.lo - b.lo, a.hi - b.hi};
}
[[gnu::always_inline]] inline Quad operator*(Quad a, Quad b) {
    return {a.lo * b.lo, a.hi * b.hi};
}
[[gnu::always_inline]] inline Quad operator/(Quad a, Quad b) {
    return {a.lo / b.lo, a.hi / b.hi};
}
[[gnu::always_inline]] inline Quad max4(Quad a, Quad b) {
    return {max2(a.lo, b.lo), max2(a.hi, b.hi)};
}
[[gnu::always_inline]] inline Quad min4(Quad a, Quad b) {
    return {min2(a.lo, b.lo), min2(a.hi, b.hi)};
}
[[gnu::always_inline]] inline Quad sqrt4(Quad a) {
    return {sqrt2(a.lo), sqrt2(a.hi)};
}
[[gnu::always_inline]] inline Quad abs4(Quad a) {
    return {abs2(a.lo), abs2(a.hi)};
}
// (1, 0, 3, 2): the two lanes of each half swapped.
[[gnu::always_inline]] inline Quad swap_halves_lanes(Quad a) {
    return {swap2(a.lo), swap2(a.hi)};
}
// (a0, b0, a2, b2).
[[gnu::always_inline]] inline Quad even_lanes(Quad a, Quad b) {
    return {lefts(a.lo, b.lo), lefts(a.hi, b.hi)};
}
// (a0, a0, a2, a2) and (a1, a1, a3, a3).
[[gnu::always_inline]] inline Quad even_lanes_twice(Quad a) {
    return {lefts(a.lo, a.lo), lefts(a.hi, a.hi)};
}
[[gnu::always_inline]] inline Quad odd_lanes_twice(Quad a) {
    return {rights(a.lo, a.lo), rights(a.hi, a.hi)};
}
// The high half of a, then the low half of b.
[[gnu::always_inline]] inline Quad high_then_low(Quad a, Quad b) {
    return {a.hi, b.lo};
}
// a with lane 0 taken from b.
[[gnu::always_inline]] inline Quad with_lane0(Quad a, Quad b) {
    return {with_left(a.lo, b.lo), a.hi};
}
[[gnu::always_inline]] inline double lane0(Quad a) {
    return lane_l(a.lo);
}

}  // namespace quad_pairs

#if ZV_AVX_VARIANT
ZV_AVX_REGION_BEGIN
namespace quad_avx {

using Quad = __m256d;

[[gnu::always_inline]] inline Quad load(const QuadLanes& m) {
    return _mm256_load_pd(m.v);
}
[[gnu::always_inline]] inline void store(QuadLanes& m, Quad q) {
    _mm256_store_pd(m.v, q);
}
[[gnu::always_inline]] inline Quad halves(Pair lo, Pair hi) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1);
}
[[gnu::always_inline]] inline Pair lo(Quad q) {
    return _mm256_castpd256_pd128(q);
}
[[gnu::always_inline]] inline Pair hi(Quad q) {
    return _mm256_extractf128_pd(q, 1);
}
[[gnu::always_inline]] inline Quad splat4(double v) {
    return _mm256_set1_pd(v);
}
[[gnu::always_inline]] inline Quad zero4() {
    return _mm256_setzero_pd();
}
// + - * / are the vector type's own, lane by lane.
[[gnu::always_inline]] inline Quad max4(Quad a, Quad b) {
    return _mm256_max_pd(a, b);
}
[[gnu::always_inline]] inline Quad min4(Quad a, Quad b) {
    return _mm256_min_pd(a, b);
}
[[gnu::always_inline]] inline Quad sqrt4(Quad a) {
    return _mm256_sqrt_pd(a);
}
[[gnu::always_inline]] inline Quad abs4(Quad a) {
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a);
}
[[gnu::always_inline]] inline Quad swap_halves_lanes(Quad a) {
    return _mm256_permute_pd(a, 0b0101);
}
[[gnu::always_inline]] inline Quad even_lanes(Quad a, Quad b) {
    return _mm256_unpacklo_pd(a, b);
}
[[gnu::always_inline]] inline Quad even_lanes_twice(Quad a) {
    return _mm256_unpacklo_pd(a, a);
}
[[gnu::always_inline]] inline Quad odd_lanes_twice(Quad a) {
    return _mm256_unpackhi_pd(a, a);
}
[[gnu::always_inline]] inline Quad high_then_low(Quad a, Quad b) {
    return _mm256_permute2f128_pd(a, b, 0x21);
}
[[gnu::always_inline]] inline Quad with_lane0(Quad a, Quad b) {
    return _mm256_blend_pd(a, b, 0b0001);
}
[[gnu::always_inline]] inline double lane0(Quad a) {
    return _mm256_cvtsd_f64(a);
}

}  // namespace quad_avx
ZV_AVX_REGION_END
#endif

}  // namespace zv
