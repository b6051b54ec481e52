// The About dialog's picture: the front of the processor as a title card. A dot-matrix sign
// carries the product name, with a line of print under it and a row of lit meter bars; the
// dialog prints the version beneath.
#include "ui/skin_art.h"
#include "ui/skin_canvas.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zv::skin {
namespace {

constexpr int ART_W = 411;
constexpr int ART_H = 300;
constexpr std::string_view PRODUCT_NAME = "ZelvonicMP3";
constexpr std::string_view TAGLINE = "BROADCAST SOUND PROCESSOR";

// Brushed metal: a dark gradient with faint alternating rows.
void faceplate(QImage& img) {
    Canvas c(std::move(img));
    const QRgb top = qRgb(0x44, 0x49, 0x51);
    const QRgb bottom = qRgb(0x1c, 0x1f, 0x23);
    for (int y = 0; y < ART_H; ++y) {
        QRgb row = mix(top, bottom, static_cast<double>(y) / (ART_H - 1));
        c.hline(0, ART_W - 1, y, y % 2 ? row : mix(row, qRgb(0xff, 0xff, 0xff), 0.025));
    }
    c.bevel(QRect(0, 0, ART_W, ART_H), qRgb(0x6e, 0x75, 0x7f), qRgb(0x0c, 0x0d, 0x0f));
    img = c.take();
}

void screw(QPainter& p, QPointF at) {
    QRadialGradient g(at + QPointF(-1.5, -1.5), 6);
    g.setColorAt(0, QColor(0xc8, 0xcc, 0xd2));
    g.setColorAt(1, QColor(0x5a, 0x60, 0x68));
    p.setPen(QPen(QColor(0x12, 0x14, 0x16), 1));
    p.setBrush(g);
    p.drawEllipse(at, 5, 5);
    p.setPen(QPen(QColor(0x2a, 0x2d, 0x31), 1.4));
    p.drawLine(at + QPointF(-3, 3), at + QPointF(3, -3));
}

void glass(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(0x0a, 0x0b, 0x0c), 2));
    p.setBrush(QColor(0x04, 0x04, 0x05));
    p.drawRoundedRect(r, 6, 6);
    p.setPen(QPen(QColor(0x70, 0x76, 0x80), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(-1.5, -1.5, 1.5, 1.5), 7, 7);
}

// One lamp of the sign, lit or dark, drawn once and set at every grid point.
QImage lamp_sprite(int pitch, bool lit) {
    QImage sprite(2 * pitch, 2 * pitch, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter p(&sprite);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF centre(pitch, pitch);
    const double r = pitch * 0.38;
    if (!lit) {
        p.setBrush(QColor(0x2a, 0x1d, 0x0a));
        p.drawEllipse(centre, r, r);
        return sprite;
    }
    QRadialGradient halo(centre, pitch * 0.9);
    halo.setColorAt(0, QColor(0xff, 0xb4, 0x3c, 90));
    halo.setColorAt(1, QColor(0xff, 0xb4, 0x3c, 0));
    p.setBrush(halo);
    p.drawEllipse(centre, pitch * 0.9, pitch * 0.9);
    QRadialGradient lamp(centre - QPointF(r * 0.3, r * 0.3), r * 1.2);
    lamp.setColorAt(0, QColor(0xff, 0xec, 0xc4));
    lamp.setColorAt(0.5, QColor(DISPLAY_INK));
    lamp.setColorAt(1, QColor(0xc0, 0x74, 0x10));
    p.setBrush(lamp);
    p.drawEllipse(centre, r, r);
    return sprite;
}

// The name on a dot-matrix sign: every pixel of the caption font becomes a round lamp.
void sign(QPainter& p, const QRectF& window) {
    const TextStyle style{PixelFont::Caption, qRgb(0xff, 0xff, 0xff), false};
    const int cols = text_width(PRODUCT_NAME, style) + 4;
    const int rows = CAP_HEIGHT + 4;
    Canvas bits(cols, rows, qRgb(0, 0, 0));
    draw_text(bits, 2, 2, PRODUCT_NAME, style);

    const int pitch = static_cast<int>(std::min(window.width() / cols, window.height() / rows));
    const QPoint origin(static_cast<int>(window.center().x()) - pitch * cols / 2,
                        static_cast<int>(window.center().y()) - pitch * rows / 2);
    const QImage dark = lamp_sprite(pitch, false);
    const QImage lit = lamp_sprite(pitch, true);
    // Dark lamps first, so the halos of lit ones lie over their neighbours.
    for (bool on : {false, true}) {
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < cols; ++x) {
                if ((qRed(bits.image().pixel(x, y)) != 0) == on) {
                    // The sprite is two pitches wide, centred on the lamp.
                    p.drawImage(origin + QPoint(x * pitch - pitch / 2, y * pitch - pitch / 2),
                                on ? lit : dark);
                }
            }
        }
    }
}

// A row of bars as a spectrum would stand: strong lows, a falling top end, some life.
void meter_row(QPainter& p, const QRectF& window) {
    constexpr int BARS = 32;
    constexpr double BAR_W = 8, GAP = 3, SEG_H = 3, SEG_GAP = 1;
    const double left = window.center().x() - (BARS * BAR_W + (BARS - 1) * GAP) / 2;
    const int segments = static_cast<int>((window.height() - 12) / (SEG_H + SEG_GAP));
    const double bottom = window.bottom() - 6;
    for (int i = 0; i < BARS; ++i) {
        double t = i / (BARS - 1.0);
        double level = 0.86 - 0.5 * t + 0.1 * std::sin(i * 1.3) + 0.07 * std::sin(i * 2.9 + 1);
        int lit = std::clamp(static_cast<int>(std::lround(level * segments)), 1, segments);
        for (int s = 0; s < segments; ++s) {
            double share = static_cast<double>(s) / segments;
            QColor c(share >= 0.85 ? SEG_RED : share >= 0.65 ? SEG_YELLOW : SEG_GREEN);
            if (s >= lit) {
                c = c.darker(450);
            }
            p.fillRect(QRectF(left + i * (BAR_W + GAP), bottom - (s + 1) * (SEG_H + SEG_GAP), BAR_W,
                              SEG_H),
                       c);
        }
    }
}

}  // namespace

QImage product_art_image() {
    QImage img(ART_W, ART_H, QImage::Format_RGB32);
    faceplate(img);

    const QRectF sign_window(20, 34, ART_W - 40, 78);
    const QRectF meter_window(20, 166, ART_W - 40, 100);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        for (QPointF at : {QPointF(11, 11), QPointF(ART_W - 12, 11), QPointF(11, ART_H - 12),
                           QPointF(ART_W - 12, ART_H - 12)}) {
            screw(p, at);
        }
        glass(p, sign_window);
        sign(p, sign_window.adjusted(6, 6, -6, -6));
        glass(p, meter_window);
        meter_row(p, meter_window);
    }

    // The tagline in the panel's own print, doubled.
    Canvas c(std::move(img));
    draw_text_centred(c, ART_W / 2, 127, TAGLINE,
                      TextStyle{PixelFont::Caption, qRgb(0xd8, 0xdc, 0xe1), false, 2});
    draw_text_centred(c, ART_W / 2, 276, "AGC  -  6 BAND LIMITER  -  CLIPPER  -  VIRTUAL ROOM",
                      TextStyle{PixelFont::Caption, qRgb(0x9a, 0xa0, 0xa8), false});
    return c.take();
}

}  // namespace zv::skin
