// Magnitude responses evaluated straight from a section's coefficients (direct form I, a0 = 1).
#pragma once

#include <cmath>
#include <complex>
#include <numbers>

#include "engine/coefficient_types.h"

namespace zv::test {

template <std::size_t N>
double gain_db_poly(const double* b, const double* a_tail, double freq, double rate) {
    const double w = 2.0 * std::numbers::pi * freq / rate;
    std::complex<double> num = 0.0;
    std::complex<double> den = 1.0;
    for (std::size_t k = 0; k < N; ++k) {
        const std::complex<double> zk = std::polar(1.0, -w * static_cast<double>(k));
        num += b[k] * zk;
        if (k > 0) {
            den += a_tail[k - 1] * zk;
        }
    }
    return 20.0 * std::log10(std::abs(num / den));
}

inline double gain_db(const FirstOrderCoeffs& c, double freq, double rate) {
    const double b[2] = {c.b0, c.b1};
    const double a[1] = {c.a1};
    return gain_db_poly<2>(b, a, freq, rate);
}

inline double gain_db(const BiquadCoeffs& c, double freq, double rate) {
    const double b[3] = {c.b0, c.b1, c.b2};
    const double a[2] = {c.a1, c.a2};
    return gain_db_poly<3>(b, a, freq, rate);
}

inline double gain_db(const ThirdOrderCoeffs& c, double freq, double rate) {
    return gain_db_poly<4>(c.b.data(), c.a.data() + 1, freq, rate);
}

inline double gain_db(const FifthOrderCoeffs& c, double freq, double rate) {
    return gain_db_poly<6>(c.b.data(), c.a.data() + 1, freq, rate);
}

inline double gain_db(const Fir23Coeffs& c, double freq, double rate) {
    const double w = 2.0 * std::numbers::pi * freq / rate;
    std::complex<double> h = 0.0;
    for (int k = 0; k < FIR_TAPS; ++k) {
        h += c.c[k] * std::polar(1.0, -w * k);
    }
    return 20.0 * std::log10(std::abs(h));
}

}  // namespace zv::test
