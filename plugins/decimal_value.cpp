#include "plugins/decimal_value.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace zv::plugin {
namespace {

// Powers of ten that doubles hold exactly.
constexpr std::array<double, 23> EXACT_POWERS = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

double decimal_value(float v) {
    if (!std::isfinite(v)) {
        return v;
    }
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, v);
    if (written.ec != std::errc()) {
        return v;
    }
    // Digits and a power of ten: "-0.0123" is -123 x 10^-4, "1.5e+20" is 15 x 10^19.
    const char* p = text;
    bool negative = false;
    if (p < written.ptr && *p == '-') {
        negative = true;
        ++p;
    }
    uint64_t digits = 0;
    int exponent = 0;
    int count = 0;
    bool fraction = false;
    for (; p < written.ptr && *p != 'e'; ++p) {
        if (*p == '.') {
            fraction = true;
            continue;
        }
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
        ++count;
        if (fraction) {
            --exponent;
        }
    }
    if (p < written.ptr) {
        int e = 0;
        std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), written.ptr, e);
        exponent += e;
    }
    // A float's shortest form has at most nine digits, which a double holds exactly; one
    // product or quotient by an exact power of ten is then the correctly rounded value.
    if (count > 15 || exponent < -22 || exponent > 22) {
        return v;
    }
    double value = static_cast<double>(digits);
    value = exponent < 0 ? value / EXACT_POWERS[static_cast<size_t>(-exponent)]
                         : value * EXACT_POWERS[static_cast<size_t>(exponent)];
    return negative ? -value : value;
}

double round_to_decimals(double v) {
    if (!(std::fabs(v) < 1e6)) {
        return v;
    }
    return std::round(v * 1e9) / 1e9;
}

}  // namespace zv::plugin
