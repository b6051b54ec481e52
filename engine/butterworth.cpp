#include "engine/butterworth.h"

#include <array>
#include <cmath>
#include <numbers>

namespace zv {
namespace {

constexpr int MAX_ORDER = 5;

// Polynomials in z^-1, lowest power first.
struct Poly {
    std::array<double, MAX_ORDER + 1> c{};
    int degree = 0;
};

Poly multiply(const Poly& p, const Poly& q) {
    Poly r;
    r.degree = p.degree + q.degree;
    for (int i = 0; i <= p.degree; ++i) {
        for (int j = 0; j <= q.degree; ++j) {
            r.c[i + j] += p.c[i] * q.c[j];
        }
    }
    return r;
}

// Normalised Butterworth prototype: one (s + 1) factor for odd orders and quadratics
// s^2 + c*s + 1 with c = 2 sin((2k - 1) pi / (2n)). Mapping s -> (1/K)(1 - z^-1)/(1 + z^-1)
// (low-pass) or s -> K(1 + z^-1)/(1 - z^-1) (high-pass) and clearing fractions gives, per
// factor, the same denominator for both kinds; only the numerator differs.
struct Design {
    Poly b, a;
};

Design butterworth(int order, bool highpass, double fc, double rate) {
    const double k = std::tan(std::numbers::pi * fc / rate);
    Design d;
    d.b.c[0] = 1.0;
    d.a.c[0] = 1.0;
    if (order % 2 == 1) {
        Poly num;
        num.degree = 1;
        num.c = highpass ? std::array<double, MAX_ORDER + 1>{1.0, -1.0}
                         : std::array<double, MAX_ORDER + 1>{k, k};
        Poly den;
        den.degree = 1;
        den.c = {k + 1.0, k - 1.0};
        d.b = multiply(d.b, num);
        d.a = multiply(d.a, den);
    }
    for (int i = 1; i <= order / 2; ++i) {
        const double c = 2.0 * std::sin((2 * i - 1) * std::numbers::pi / (2.0 * order));
        Poly num;
        num.degree = 2;
        num.c = highpass ? std::array<double, MAX_ORDER + 1>{1.0, -2.0, 1.0}
                         : std::array<double, MAX_ORDER + 1>{k * k, 2.0 * k * k, k * k};
        Poly den;
        den.degree = 2;
        den.c = {1.0 + c * k + k * k, 2.0 * k * k - 2.0, 1.0 - c * k + k * k};
        d.b = multiply(d.b, num);
        d.a = multiply(d.a, den);
    }
    const double a0 = d.a.c[0];
    for (int i = 0; i <= order; ++i) {
        d.b.c[i] /= a0;
        d.a.c[i] /= a0;
    }
    return d;
}

template <typename Coeffs>
Coeffs to_section(const Design& d, int order) {
    Coeffs out;
    for (int i = 0; i <= order; ++i) {
        out.b[i] = d.b.c[i];
        out.a[i] = d.a.c[i];
    }
    return out;
}

BiquadCoeffs to_biquad(const Design& d) {
    return BiquadCoeffs{d.b.c[0], d.b.c[1], d.b.c[2], d.a.c[1], d.a.c[2]};
}

}  // namespace

FirstOrderCoeffs first_order_lowpass(double fc, double rate) {
    const double k = std::tan(std::numbers::pi * fc / rate);
    const double b = k / (1.0 + k);
    return FirstOrderCoeffs{b, b, (k - 1.0) / (k + 1.0)};
}

FirstOrderCoeffs first_order_highpass(double fc, double rate) {
    const double k = std::tan(std::numbers::pi * fc / rate);
    const double b = 1.0 / (1.0 + k);
    return FirstOrderCoeffs{b, -b, (k - 1.0) / (k + 1.0)};
}

BiquadCoeffs butterworth_lowpass2(double fc, double rate) {
    return to_biquad(butterworth(2, false, fc, rate));
}

BiquadCoeffs butterworth_highpass2(double fc, double rate) {
    return to_biquad(butterworth(2, true, fc, rate));
}

ThirdOrderCoeffs butterworth_lowpass3(double fc, double rate) {
    return to_section<ThirdOrderCoeffs>(butterworth(3, false, fc, rate), 3);
}

ThirdOrderCoeffs butterworth_highpass3(double fc, double rate) {
    return to_section<ThirdOrderCoeffs>(butterworth(3, true, fc, rate), 3);
}

FifthOrderCoeffs butterworth_lowpass5(double fc, double rate) {
    return to_section<FifthOrderCoeffs>(butterworth(5, false, fc, rate), 5);
}

FifthOrderCoeffs butterworth_highpass5(double fc, double rate) {
    return to_section<FifthOrderCoeffs>(butterworth(5, true, fc, rate), 5);
}

}  // namespace zv
