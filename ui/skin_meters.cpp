// Meter images, clip bars, the song indicators and the lamps.
#include "ui/panel_layout.h"
#include "ui/skin_art.h"
#include "ui/skin_canvas.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace zv::skin {
namespace {

constexpr int SEGMENTS = 24;
constexpr int SEGMENT_PITCH = 3;  // two lit rows and a dark one
constexpr int SEGMENT_TOP = 2;    // keeps the column centred, so the mirrored meter matches
constexpr int SEGMENT_LEFT = 3;   // dark sides part neighbouring meters
constexpr int SEGMENT_WIDTH = 18;

// Segment i counts from the image's top. Rising meters are shown mirrored, so the top
// segments are the quiet end of a level meter and the light end of a gain-reduction meter:
// green there, yellow, then red at the far end either way.
QRgb segment_colour(int i, bool lit) {
    if (i >= 21) {
        return lit ? SEG_RED : SEG_RED_OFF;
    }
    if (i >= 16) {
        return lit ? SEG_YELLOW : SEG_YELLOW_OFF;
    }
    return lit ? SEG_GREEN : SEG_GREEN_OFF;
}

}  // namespace

QImage meter_image(int level) {
    Canvas c(METER_IMAGE_WIDTH, METER_HEIGHT, WELL);
    for (int i = 0; i < SEGMENTS; ++i) {
        bool lit = i < level;
        QRgb colour = segment_colour(i, lit);
        int y = SEGMENT_TOP + SEGMENT_PITCH * i;
        c.fill(SEGMENT_LEFT, y, SEGMENT_WIDTH, 2, colour);
        // Slightly darker ends give the bar a rounded face.
        QRgb end = mix(colour, WELL, 0.35);
        c.vline(SEGMENT_LEFT, y, y + 1, end);
        c.vline(SEGMENT_LEFT + SEGMENT_WIDTH - 1, y, y + 1, end);
    }
    return c.take();
}

QImage clip_bar_image(bool on) {
    Canvas c(CLIP_BAR_WIDTH, CLIP_BAR_HEIGHT, WELL);
    c.fill(SEGMENT_LEFT, 1, SEGMENT_WIDTH, 2, on ? CLIP_ON : CLIP_OFF);
    return c.take();
}

namespace {

// Labels spread over equal cells of a display strip, the lit one bright.
QImage indicator(int width, std::initializer_list<const char*> labels, int lit) {
    Canvas c(width, INDICATOR_HEIGHT, DISPLAY);
    int cells = static_cast<int>(labels.size());
    int n = 1;
    for (const char* label : labels) {
        int centre = (2 * n - 1) * width / (2 * cells);
        TextStyle style{PixelFont::Caption, n == lit ? DISPLAY_INK : DISPLAY_INK_DIM, false};
        draw_text_centred(c, centre, 2, label, style);
        ++n;
    }
    return c.take();
}

}  // namespace

QImage rate_indicator_image(int lit) {
    return indicator(RATE_INDICATOR_WIDTH, {"32k", "44.1k", "48k"}, lit);
}

QImage channel_indicator_image(int lit) {
    return indicator(CHANNEL_INDICATOR_WIDTH, {"STEREO", "MONO"}, lit);
}

QImage led_image(bool on) {
    // A round lens in a square black mount, so the lamp sits as well on the meter bridge as
    // on the control deck.
    Canvas c(LED_SIZE, LED_SIZE, BEZEL_DARK);
    c.bevel(QRect(0, 0, LED_SIZE, LED_SIZE), EDGE_DARK, qRgb(0x50, 0x55, 0x5c));
    const QRgb base = on ? LED_ON : LED_OFF;
    const QRgb core = on ? LED_ON_CORE : LED_OFF_CORE;
    for (int y = 0; y < LED_SIZE; ++y) {
        for (int x = 0; x < LED_SIZE; ++x) {
            double d = std::hypot(x - 6.5, y - 6.5);
            if (d > 4.9) {
                continue;
            }
            QRgb colour = d > 4.0 ? mix(base, EDGE_DARK, 0.45) : base;
            double h = std::hypot(x - 5.0, y - 5.0);
            if (h < 2.2) {
                colour = mix(colour, core, 1.0 - h / 2.2);
            }
            c.dot(x, y, colour);
        }
    }
    return c.take();
}

QImage gate_led_image(int openness) {
    static constexpr QRgb COLOURS[4] = {qRgb(0xff, 0x3b, 0x30), qRgb(0xff, 0x8c, 0x1e),
                                        qRgb(0xf5, 0xd2, 0x2d), qRgb(0x4c, 0xe0, 0x5a)};
    const QRgb base = COLOURS[std::clamp(openness, 0, 3)];
    Canvas c(GATE_LED_SIZE, GATE_LED_SIZE, DECK);
    for (int y = 0; y < GATE_LED_SIZE; ++y) {
        for (int x = 0; x < GATE_LED_SIZE; ++x) {
            double d = std::hypot(x - 4.0, y - 4.0);
            if (d > 4.3) {
                continue;
            }
            QRgb colour = d > 3.3 ? EDGE_DARK : base;
            double h = std::hypot(x - 3.0, y - 3.0);
            if (d <= 3.3 && h < 1.5) {
                colour = mix(colour, qRgb(0xff, 0xff, 0xf0), 0.6 * (1.0 - h / 1.5));
            }
            c.dot(x, y, colour);
        }
    }
    return c.take();
}

}  // namespace zv::skin
