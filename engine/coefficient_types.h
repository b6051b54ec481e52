// Coefficient-only records of the chain's filter sections. The coefficient sets hand these
// out per rate; the processor state copies them into sections that carry the memories.
// Every section is direct form I with a0 = 1:
//   y = b0*x + b1*x1 + ... - a1*y1 - ...
#pragma once

#include <array>

namespace zv {

struct FirstOrderCoeffs {
    double b0 = 0.0, b1 = 0.0, a1 = 0.0;
};

struct BiquadCoeffs {
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// b[0..3] numerator, a[1..3] denominator (a[0] = 1, unused).
struct ThirdOrderCoeffs {
    std::array<double, 4> b{};
    std::array<double, 4> a{};
};

// b[0..5] numerator, a[1..5] denominator (a[0] = 1, unused).
struct FifthOrderCoeffs {
    std::array<double, 6> b{};
    std::array<double, 6> a{};
};

constexpr int FIR_TAPS = 23;
struct Fir23Coeffs {
    std::array<double, FIR_TAPS> c{};
};

}  // namespace zv
