// The primitive sections the whole chain is built from, with their memories and their steps.
//
// Every IIR section is direct form I with a0 = 1, evaluated left to right exactly as
//   y = b0*x + b1*x1 + b2*x2 + ... - a1*y1 - a2*y2 - ...
// so that a given input always yields the same bytes.
//
// Left and right run through sections with identical coefficients almost everywhere, so most
// sections come in a stereo form: one coefficient set (held broadcast in both lanes) and the
// memories of both channels in one Pair (lanes.h). Each lane computes exactly what the scalar
// section computes for that channel.
#pragma once

#include <array>
#include <cstdint>

#include "engine/coefficient_types.h"
#include "engine/lanes.h"

namespace zv {

// ---------------------------------------------------------------------------------------------
// Gain functions.

// Above T the excess is scaled by k (k = 0 is a hard clip); flag is raised when it acted.
inline double clip(double x, double t, double k, int32_t& flag) {
    if (x > t) {
        flag = 1;
        return (x - t) * k + t;
    }
    if (x < -t) {
        flag = 1;
        return -t - (-x - t) * k;
    }
    return x;
}

inline double clip(double x, double t, double k) {
    int32_t unused = 0;
    return clip(x, t, k, unused);
}

// clip2, the same on both lanes, is in lanes.h.

inline double over(double x, double t) {
    double v = (x < 0 ? -x : x) - t;
    return v > 0.0 ? v : 0.0;
}

// ---------------------------------------------------------------------------------------------
// First-order section: y = b0*x + b1*x1 - a1*y1.
struct FirstOrderSection {
    double a0 = 1.0, b0 = 0.0, a1 = 0.0, b1 = 0.0;
    double x1 = 0.0, y1 = 0.0;
};

inline double step(FirstOrderSection& s, double x) {
    double y = s.b0 * x + s.b1 * s.x1 - s.a1 * s.y1;
    s.x1 = x;
    s.y1 = y;
    return y;
}

inline void install(FirstOrderSection& s, const FirstOrderCoeffs& c) {
    s = FirstOrderSection{1.0, c.b0, c.a1, c.b1, 0.0, 0.0};
}

inline void clear_memory(FirstOrderSection& s) {
    s.x1 = s.y1 = 0.0;
}

// Scalar biquad (the virtual room's room low-pass and notch, which differ per side).
struct BiquadSection {
    double a0 = 1.0, b0 = 0.0, a1 = 0.0, b1 = 0.0, a2 = 0.0, b2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

inline double step(BiquadSection& s, double x) {
    double y = s.b0 * x + s.b1 * s.x1 + s.b2 * s.x2 - s.a1 * s.y1 - s.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

inline void install(BiquadSection& s, const BiquadCoeffs& c) {
    s = BiquadSection{};
    s.b0 = c.b0;
    s.b1 = c.b1;
    s.b2 = c.b2;
    s.a1 = c.a1;
    s.a2 = c.a2;
}

inline void clear_memory(BiquadSection& s) {
    s.x1 = s.x2 = s.y1 = s.y2 = 0.0;
}

// ---------------------------------------------------------------------------------------------
// Stereo forms.

struct StereoFirstOrder {
    Pair b0{}, b1{}, a1{};
    Pair x1{}, y1{};
};

inline Pair step(StereoFirstOrder& s, Pair x) {
    Pair y = s.b0 * x + s.b1 * s.x1 - s.a1 * s.y1;
    s.x1 = x;
    s.y1 = y;
    return y;
}

inline void install(StereoFirstOrder& s, const FirstOrderCoeffs& c) {
    s = StereoFirstOrder{splat(c.b0), splat(c.b1), splat(c.a1), Pair{}, Pair{}};
}

inline void clear_memory(StereoFirstOrder& s) {
    s.x1 = s.y1 = Pair{};
}

// Two identical first-order sections in cascade sharing b0, b1, a1.
struct StereoDoubledFirstOrder {
    Pair b0{}, b1{}, a1{};
    Pair x1{}, y1{}, z1{};
};

inline Pair step(StereoDoubledFirstOrder& s, Pair x) {
    Pair y = s.b0 * x + s.b1 * s.x1 - s.a1 * s.y1;
    Pair z = s.b0 * y + s.b1 * s.y1 - s.a1 * s.z1;
    s.x1 = x;
    s.y1 = y;
    s.z1 = z;
    return z;
}

inline void install(StereoDoubledFirstOrder& s, const FirstOrderCoeffs& c) {
    s = StereoDoubledFirstOrder{splat(c.b0), splat(c.b1), splat(c.a1), Pair{}, Pair{}, Pair{}};
}

struct StereoBiquad {
    Pair b0{}, b1{}, b2{}, a1{}, a2{};
    Pair x1{}, x2{}, y1{}, y2{};
};

inline Pair step(StereoBiquad& s, Pair x) {
    Pair y = s.b0 * x + s.b1 * s.x1 + s.b2 * s.x2 - s.a1 * s.y1 - s.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

inline void install(StereoBiquad& s, const BiquadCoeffs& c) {
    s = StereoBiquad{};
    s.b0 = splat(c.b0);
    s.b1 = splat(c.b1);
    s.b2 = splat(c.b2);
    s.a1 = splat(c.a1);
    s.a2 = splat(c.a2);
}

// Different sections in the two lanes (the virtual room's left and right reverberators).
inline void install(StereoBiquad& s, const BiquadCoeffs& left, const BiquadCoeffs& right) {
    s = StereoBiquad{};
    s.b0 = pair(left.b0, right.b0);
    s.b1 = pair(left.b1, right.b1);
    s.b2 = pair(left.b2, right.b2);
    s.a1 = pair(left.a1, right.a1);
    s.a2 = pair(left.a2, right.a2);
}

inline void clear_memory(StereoBiquad& s) {
    s.x1 = s.x2 = s.y1 = s.y2 = Pair{};
}

struct StereoThirdOrder {
    Pair b[4]{};  // b0..b3
    Pair a[4]{};  // a1..a3 in [1..3]; a0 = 1 unused
    Pair x[3]{};  // x1..x3
    Pair y[3]{};  // y1..y3
};

inline Pair step(StereoThirdOrder& s, Pair in) {
    Pair out = s.b[0] * in + s.b[1] * s.x[0] + s.b[2] * s.x[1] + s.b[3] * s.x[2] - s.a[1] * s.y[0] -
               s.a[2] * s.y[1] - s.a[3] * s.y[2];
    s.x[2] = s.x[1];
    s.x[1] = s.x[0];
    s.x[0] = in;
    s.y[2] = s.y[1];
    s.y[1] = s.y[0];
    s.y[0] = out;
    return out;
}

inline void install(StereoThirdOrder& s, const ThirdOrderCoeffs& c) {
    s = StereoThirdOrder{};
    for (int i = 0; i < 4; ++i) {
        s.b[i] = splat(c.b[i]);
        s.a[i] = splat(c.a[i]);
    }
}

struct StereoFifthOrder {
    Pair b[6]{};
    Pair a[6]{};  // a1..a5 in [1..5]
    Pair x[5]{};
    Pair y[5]{};
};

inline Pair step(StereoFifthOrder& s, Pair in) {
    Pair out = s.b[0] * in + s.b[1] * s.x[0] + s.b[2] * s.x[1] + s.b[3] * s.x[2] + s.b[4] * s.x[3] +
               s.b[5] * s.x[4] - s.a[1] * s.y[0] - s.a[2] * s.y[1] - s.a[3] * s.y[2] -
               s.a[4] * s.y[3] - s.a[5] * s.y[4];
    for (int i = 4; i > 0; --i) {
        s.x[i] = s.x[i - 1];
        s.y[i] = s.y[i - 1];
    }
    s.x[0] = in;
    s.y[0] = out;
    return out;
}

inline void install(StereoFifthOrder& s, const FifthOrderCoeffs& c) {
    s = StereoFifthOrder{};
    for (int i = 0; i < 6; ++i) {
        s.b[i] = splat(c.b[i]);
        s.a[i] = splat(c.a[i]);
    }
}

// 23-tap FIR, y = sum over k of c_k * x(n-k), summed from k = 0 up. The input history is
// written twice (at pos and pos + 23) so the taps always read one contiguous run.
struct StereoFir23 {
    Pair c[FIR_TAPS]{};
    Pair history[2 * FIR_TAPS]{};
    int pos = 0;  // where x(n) goes; x(n-k) is at pos + k
};

inline Pair step(StereoFir23& f, Pair x) {
    int p = f.pos == 0 ? FIR_TAPS - 1 : f.pos - 1;
    f.pos = p;
    f.history[p] = x;
    f.history[p + FIR_TAPS] = x;
    const Pair* h = &f.history[p];
    Pair y = f.c[0] * h[0];
    // Unrolled: the loop's own count and branch were a third of the taps' instructions.
#pragma GCC unroll 22
    for (int k = 1; k < FIR_TAPS; ++k) {
        y = y + f.c[k] * h[k];
    }
    return y;
}

// The FIR over the frames of a chunk: lined[0 .. FIR_TAPS - 2] receives the inputs before the
// chunk, oldest first, and lined[FIR_TAPS - 1 ..] must hold the chunk's inputs; out receives
// what step() gives frame by frame, and the history is left as step() leaves it.
//
// Two frames run at once in four lanes (one 256-bit register in the AVX build), each lane
// doing exactly the products and sums of step() in the same order. With the inputs in time
// order the taps of two frames are one unaligned load, and the history needs no double write
// or wrap per frame, and the two frames' 22 dependent sums overlap. Preset 232: 1278 -> 1230
// instructions per frame (callgrind), engine_bench 206x -> 223x real time median (interleaved
// runs, load about 2.5 on 2 cores).
inline void run_fir(StereoFir23& f, Pair* lined, Pair* out, int32_t frames) {
    constexpr int PAST = FIR_TAPS - 1;
    // history[pos + j] is the input j + 1 frames before the chunk's first.
    for (int j = 0; j < PAST; ++j) {
        lined[PAST - 1 - j] = f.history[f.pos + j];
    }
    typedef double Lanes4 __attribute__((vector_size(4 * sizeof(double))));
    static_assert(sizeof(Lanes4) == 2 * sizeof(Pair));
    Lanes4 c[FIR_TAPS];
    for (int k = 0; k < FIR_TAPS; ++k) {
        const double v = lane_l(f.c[k]);
        c[k] = Lanes4{v, v, v, v};
    }
    const Pair* now = lined + PAST;  // now[i - k] is x(n - k) for frame i of the chunk
    int32_t i = 0;
    for (; i + 2 <= frames; i += 2) {
        Lanes4 x;
        __builtin_memcpy(&x, now + i, sizeof x);
        Lanes4 y = c[0] * x;
#pragma GCC unroll 22
        for (int k = 1; k < FIR_TAPS; ++k) {
            __builtin_memcpy(&x, now + i - k, sizeof x);
            y = y + c[k] * x;
        }
        // Through void*: the plain lanes build's Pair has member initializers.
        __builtin_memcpy(static_cast<void*>(out + i), &y, sizeof y);
    }
    if (i < frames) {
        Pair y = f.c[0] * now[i];
#pragma GCC unroll 22
        for (int k = 1; k < FIR_TAPS; ++k) {
            y = y + f.c[k] * now[i - k];
        }
        out[i] = y;
    }
    // As step() leaves it: history[pos + k] = history[pos + k + FIR_TAPS] is x(last - k).
    f.pos = 0;
    for (int k = 0; k < FIR_TAPS; ++k) {
        f.history[k] = f.history[k + FIR_TAPS] = now[frames - 1 - k];
    }
}

inline void install(StereoFir23& f, const Fir23Coeffs& c) {
    f = StereoFir23{};
    for (int k = 0; k < FIR_TAPS; ++k) {
        f.c[k] = splat(c.c[k]);
    }
}

// ---------------------------------------------------------------------------------------------
// Lines. A position left beyond a shortened length is folded back with a remainder, exactly
// as "p = p mod N" would; the ordinary wrap is a compare.

// Delay line: the value written N frames earlier comes out (delay of exactly N).
template <int CAPACITY>
struct DelayLine {
    std::array<double, CAPACITY> buf{};
    int pos = 0;
};

template <int CAPACITY>
inline double step(DelayLine<CAPACITY>& d, double x, int len) {
    int p = d.pos;
    if (p >= len) {
        p %= len;
    }
    double y = d.buf[p];
    d.buf[p] = x;
    d.pos = p + 1;
    return y;
}

// The stereo lines repeat the mono ones on purpose: __m128d loses its vector attributes as a
// template argument (g++ -Wignored-attributes), so Pair cannot be the line's type parameter.
template <int CAPACITY>
struct StereoDelayLine {
    Pair buf[CAPACITY]{};
    int pos = 0;
};

template <int CAPACITY>
inline Pair step(StereoDelayLine<CAPACITY>& d, Pair x, int len) {
    int p = d.pos;
    if (p >= len) {
        p %= len;
    }
    Pair y = d.buf[p];
    d.buf[p] = x;
    d.pos = p + 1;
    return y;
}

// Look-ahead line: the value written N - 1 frames earlier comes out.
template <int CAPACITY>
struct LookaheadLine {
    std::array<double, CAPACITY> buf{};
    int pos = 0;
};

// The step of a look-ahead line whose position the caller holds, in a register over a loop of
// frames.
inline double lookahead_step(double* buf, int& pos, double x, int len) {
    int p = pos + 1;
    if (p >= len) {
        p %= len;
    }
    pos = p;
    buf[p] = x;
    int q = p + 1;
    if (q >= len) {
        q = 0;
    }
    return buf[q];
}

template <int CAPACITY>
inline double step(LookaheadLine<CAPACITY>& l, double x, int len) {
    return lookahead_step(l.buf.data(), l.pos, x, len);
}

template <int CAPACITY>
struct StereoLookaheadLine {
    Pair buf[CAPACITY]{};
    int pos = 0;
};

// The step of a stereo look-ahead line whose position the caller holds, in a register over a
// loop of frames.
inline Pair lookahead_step(Pair* buf, int& pos, Pair x, int len) {
    int p = pos + 1;
    if (p >= len) {
        p %= len;
    }
    pos = p;
    buf[p] = x;
    int q = p + 1;
    if (q >= len) {
        q = 0;
    }
    return buf[q];
}

// The same step where the caller knows that pos + 2 < len: no fold, no wrap.
inline Pair lookahead_step_unwrapped(Pair* buf, int& pos, Pair x) {
    const int p = pos + 1;
    pos = p;
    buf[p] = x;
    return buf[p + 1];
}

template <int CAPACITY>
inline Pair step(StereoLookaheadLine<CAPACITY>& l, Pair x, int len) {
    return lookahead_step(l.buf, l.pos, x, len);
}

// Schroeder all-pass of length N and gain g.
constexpr int ALLPASS_CAPACITY = 2400;
struct AllPass {
    double g = -0.5;
    std::array<double, ALLPASS_CAPACITY> buf{};
    int pos = 0;
    int len = 1;
};

inline double step(AllPass& a, double x) {
    int p = a.pos;
    if (p >= a.len) {
        p %= a.len;
    }
    double d = a.buf[p];
    double w = d * a.g + x;
    a.buf[p] = w;
    a.pos = p + 1;
    return d - a.g * w;
}

// Two independent lines in the two lanes, each with its own length and position (the
// virtual room's reverberators, whose left and right paths differ in length).
struct alignas(16) LanePair {
    double v[2];
};

inline int fold(int p, int len) {
    return p >= len ? p % len : p;
}

template <int CAPACITY>
struct DualDelayLine {
    LanePair buf[CAPACITY]{};
    int pos[2]{};
};

template <int CAPACITY>
inline Pair step(DualDelayLine<CAPACITY>& d, Pair x, int len_l, int len_r) {
    int pl = fold(d.pos[0], len_l);
    int pr = fold(d.pos[1], len_r);
    Pair y = load_lanes(&d.buf[pl].v[0], &d.buf[pr].v[1]);
    store_lanes(&d.buf[pl].v[0], &d.buf[pr].v[1], x);
    d.pos[0] = pl + 1;
    d.pos[1] = pr + 1;
    return y;
}

// Two all-passes in the two lanes, each with its own length and position.
struct DualAllPass {
    Pair g = splat(-0.5);
    LanePair buf[ALLPASS_CAPACITY]{};
    int pos[2]{};
    int len[2]{1, 1};
};

inline Pair step(DualAllPass& a, Pair x) {
    int pl = fold(a.pos[0], a.len[0]);
    int pr = fold(a.pos[1], a.len[1]);
    Pair d = load_lanes(&a.buf[pl].v[0], &a.buf[pr].v[1]);
    Pair w = d * a.g + x;
    store_lanes(&a.buf[pl].v[0], &a.buf[pr].v[1], w);
    a.pos[0] = pl + 1;
    a.pos[1] = pr + 1;
    return d - a.g * w;
}

}  // namespace zv
