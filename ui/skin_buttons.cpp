// Keys: the control arrows, the switch and INIT buttons and the transport strip.
#include "ui/panel_layout.h"
#include "ui/skin_art.h"
#include "ui/skin_canvas.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <algorithm>

namespace zv::skin {
namespace {

// A solid triangle `h` rows tall (odd) and (h + 1) / 2 wide, pointing right or left.
void triangle(Canvas& c, int x, int y, int h, bool right, QRgb ink) {
    int width = (h + 1) / 2;
    for (int r = 0; r < h; ++r) {
        int w = 1 + std::min(r, h - 1 - r);
        c.hline(right ? x : x + width - w, right ? x + w - 1 : x + width - 1, y + r, ink);
    }
}

}  // namespace

QImage arrow_image(bool up, bool pressed) {
    // Pressed, the arrow lights in a dark socket, like the key of a hardware spinner.
    Canvas c(ARROW_WIDTH, ARROW_HEIGHT, pressed ? TITLE_STRIP : DECK);
    triangle(c, 0, 1, 9, up, pressed ? DISPLAY_INK : DECK_TEXT);
    return c.take();
}

QImage switch_button_image(const char* caption, bool pressed, int width) {
    constexpr int H = SWITCH_HEIGHT;
    Canvas c(width, H, EDGE_DARK);
    QRect face(1, 1, width - 2, H - 2);
    if (pressed) {
        c.vgradient(face, KEY_PRESSED_LOW, KEY_PRESSED);
        c.bevel(face, KEY_SHADOW, KEY_PRESSED);
    } else {
        c.vgradient(face, KEY_FACE, KEY_FACE_LOW);
        c.bevel(face, KEY_LIGHT, KEY_SHADOW);
    }
    // The caption sinks with the key.
    int shift = pressed ? 1 : 0;
    draw_text_centred(c, width / 2 + shift, 4 + shift, caption,
                      TextStyle{PixelFont::Caption, KEY_TEXT, false});
    return c.take();
}

namespace {

// The tiny print under the seek arrows, by key.
constexpr const char* seek_label(TransportId id) {
    switch (id) {
        case TransportId::Back20:
            return "-20";
        case TransportId::Back5:
            return "-5";
        case TransportId::Forward5:
            return "+5";
        case TransportId::Forward20:
            return "+20";
        default:
            return nullptr;
    }
}

void transport_key(Canvas& c, const TransportRow& key, int top, bool pressed) {
    constexpr int H = TRANSPORT_HEIGHT;
    QRect outer(key.strip_x, top, key.width, H);
    c.frame(outer, EDGE_DARK);
    QRect face = outer.adjusted(1, 1, -1, -1);
    if (pressed) {
        c.vgradient(face, TRANSPORT_FACE_LOW, TRANSPORT_FACE);
        c.bevel(face, EDGE_DARK, TRANSPORT_FACE);
    } else {
        c.vgradient(face, TRANSPORT_FACE, TRANSPORT_FACE_LOW);
        c.bevel(face, TRANSPORT_LIGHT, EDGE_DARK);
    }
    const int shift = pressed ? 1 : 0;
    const int cx = key.strip_x + key.width / 2 + shift;
    const int cy = top + H / 2 + shift;
    const QRgb ink = pressed ? DISPLAY_INK : TRANSPORT_INK;
    switch (key.id) {
        case TransportId::Stop:
            c.fill(cx - 4, cy - 4, 9, 9, ink);
            break;
        case TransportId::Play:
            triangle(c, cx - 3, cy - 6, 13, true, pressed ? DISPLAY_INK : PLAY_GREEN);
            break;
        default: {
            const bool forward = key.seek_step > 0;
            // Two arrows overlapping by one column, above the step printed small.
            triangle(c, cx - 4, cy - 7, 7, forward, ink);
            triangle(c, cx, cy - 7, 7, forward, ink);
            draw_text_centred(c, cx, cy + 2, seek_label(key.id),
                              TextStyle{PixelFont::Tiny, ink, false});
            break;
        }
    }
}

}  // namespace

QImage transport_strip_image() {
    Canvas c(TRANSPORT_STRIP_WIDTH, TRANSPORT_STRIP_HEIGHT, EDGE_DARK);
    for (const TransportRow& key : TRANSPORT_BUTTONS) {
        transport_key(c, key, 0, false);
        transport_key(c, key, TRANSPORT_PRESSED_ROW, true);
    }
    return c.take();
}

}  // namespace zv::skin
