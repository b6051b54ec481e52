#include "ui/control_text.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace zv {
namespace {

// The integer part, truncated toward zero; values far outside int's range read as "other".
int choice(double v) {
    if (!(v > -1e9 && v < 1e9)) {
        return -1000000000;
    }
    return static_cast<int>(v);
}

template <std::size_t N>
const char* label(const std::array<const char*, N>& labels, int n, int first, const char* other) {
    if (n >= first && n < first + static_cast<int>(N)) {
        return labels[static_cast<std::size_t>(n - first)];
    }
    return other;
}

std::string print_one(const char* format, double v) {
    char text[64];
    // The formats are the table's own constants, each with one double.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, format, v);
#pragma GCC diagnostic pop
    return text;
}

// A value that rounds to zero at the format's precision shows as zero, never "-0.0": a small
// negative error (-2.8e-17) or a stored -0.0 has no sign worth showing.
std::string printed(const char* format, double v) {
    if (format[0] == '\0') {
        return {};
    }
    if (std::signbit(v)) {
        const std::string magnitude = print_one(format, -v);
        if (magnitude.find_first_of("123456789") == std::string::npos) {
            return print_one(format, 0.0);
        }
    }
    return print_one(format, v);
}

constexpr const char* BLANKED = " ---";

}  // namespace

std::string control_text(const PanelControl& c, double value, const ProcessorParams& params) {
    const int n = choice(value);
    switch (c.shape.kind) {
        case ControlKind::None:
            return {};
        case ControlKind::Pre:
            return label(std::array{" Off", " 50us", " 75us"}, n, 0, "");
        case ControlKind::Speed:
            return label(std::array{" slow", "m.slow", "m.fast"}, n, 1, " fast");
        case ControlKind::AttRel:
            return label(std::array{"100ms", " 50ms", " 25ms", " 12ms"}, n, 1, "  6ms");
        case ControlKind::FinLpf:
            return label(std::array{" thru", " 15k", " 12k", " 10k", "  8k", "  6k"}, n, 0, "  4k");
        case ControlKind::HfLim:
            if (choice(params.settings.preemphasis) == 0) {
                return BLANKED;
            }
            return printed(c.shape.format, value);
        case ControlKind::EnhancerType:
            return label(std::array{"1.LvN", "2.Lv1", "3.Lv2", "4.Tr-", "5.Tr+"}, n, 1, "");
        case ControlKind::ClpTyp:
            return label(std::array{"ADPTV", "HARD "}, n, 0, "");
        case ControlKind::Mute:
            return label(std::array{" L<   ", " L<>R ", "   >R "}, n, 0, "");
        case ControlKind::Number:
            if (c.shape.gate_label && params.switches.noise_gate == 0) {
                return BLANKED;
            }
            return printed(c.shape.format, value);
    }
    return {};
}

bool small_font_cell(char c, int& column, int& row) {
    if (c >= '0' && c <= '9') {
        column = c - '0';
        row = 0;
    } else if (c >= 'A' && c <= 'J') {
        column = c - 'A';
        row = 1;
    } else if (c >= 'K' && c <= 'T') {
        column = c - 'K';
        row = 2;
    } else if (c >= 'U' && c <= 'Z') {
        column = c - 'U';
        row = 3;
    } else {
        static constexpr char EXTRA[4][2] = {{'-', '.'}, {'+', ':'}, {'/', '%'}, {'<', '>'}};
        for (int r = 0; r < 4; ++r) {
            for (int k = 0; k < 2; ++k) {
                if (EXTRA[r][k] == c) {
                    column = 10 + k;
                    row = r;
                    return true;
                }
            }
        }
        return false;
    }
    return true;
}

}  // namespace zv
