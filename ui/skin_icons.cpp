// Icons: the menu item images, the toolbar strip, the playlist view's row images and the
// program's icon. Each icon is drawn once, smoothly, in a 16 x 15 box; menu images add a blank
// bottom row. Small print on icons (preset numbers) uses the pixel fonts, never smoothed.
#include "ui/skin_art.h"
#include "ui/skin_canvas.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <span>
#include <vector>

namespace zv::skin {
namespace {

enum class Icon {
    OpenPlaylist,
    SavePlaylist,
    AddFiles,
    DeviceSettings,
    OpenParams,
    SaveParams,
    PresetDigital,
    PresetInternet,
    PresetFm,
    User1,
    User2,
    User3,
    Bypass,
    BassEq,
    BassPhase,
    Enhancer,
    VirtualSpeaker,
    VirtualInit,
    OnAir,
    Deemphasis,
    Play,
    Stop,
    Up,
    Down,
    Continuous,
    SortDescending,
    SortAscending,
    PeakLevel,
    RemoveAll,
    ExportSong,
    ExportAll,
    EncoderSettings,
    About,
    Quit,
    Manual,
    Web,
    Delete,
    WavFile,
    Mp3File,
    Playing,
    WavMarked,
    Mp3Exported,
    Mp3Failed,
};

const QColor OUTLINE(0x2b, 0x30, 0x38);
const QColor PAPER(0xfa, 0xfa, 0xf7);
const QColor PAPER_LINE(0x9a, 0xa3, 0xae);
const QColor FOLDER(0xf2, 0xc0, 0x55);
const QColor FOLDER_BACK(0xc9, 0x91, 0x2e);
const QColor BLUE(0x3d, 0x7f, 0xd9);
const QColor BLUE_DARK(0x22, 0x55, 0x9c);
const QColor GREEN(0x3f, 0xb0, 0x4a);
const QColor GREEN_DARK(0x24, 0x77, 0x2c);
const QColor RED(0xe0, 0x45, 0x3a);
const QColor RED_DARK(0x9b, 0x27, 0x20);
const QColor ORANGE(0xf0, 0x8c, 0x1e);
const QColor GREY(0x8a, 0x90, 0x99);
const QColor GREY_LIGHT(0xc9, 0xce, 0xd4);
const QColor TILE_DARK(0x3a, 0x3f, 0x47);
const QColor TEAL(0x1f, 0x9c, 0x95);
const QColor PURPLE(0x7a, 0x55, 0xc8);
const QColor AMBER(0xff, 0xb4, 0x3c);

QPen pen(const QColor& c, double w = 1.0) {
    QPen p(c, w);
    p.setJoinStyle(Qt::MiterJoin);
    p.setCapStyle(Qt::FlatCap);
    return p;
}

// A rectangle whose 1-pixel outline covers the pixels x..x+w-1, y..y+h-1 exactly.
void box(QPainter& p, double x, double y, double w, double h, const QColor& fill,
         const QColor& line = OUTLINE) {
    p.setPen(pen(line));
    p.setBrush(fill);
    p.drawRect(QRectF(x + 0.5, y + 0.5, w - 1, h - 1));
}

void rounded(QPainter& p, double x, double y, double w, double h, double r, const QColor& fill,
             const QColor& line) {
    p.setPen(pen(line));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, w - 1, h - 1), r, r);
}

void polygon(QPainter& p, std::initializer_list<QPointF> points, const QColor& fill,
             const QColor& line) {
    p.setPen(line == Qt::transparent ? Qt::NoPen : pen(line));
    p.setBrush(fill);
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void line(QPainter& p, double x0, double y0, double x1, double y1, const QColor& c,
          double w = 1.0) {
    p.setPen(pen(c, w));
    p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
}

// A page with a folded corner, covering pixels x..x+w-1, y..y+h-1.
void page(QPainter& p, double x, double y, double w, double h) {
    double l = x + 0.5, t = y + 0.5, r = x + w - 0.5, b = y + h - 0.5;
    polygon(p, {{l, t}, {r - 3, t}, {r, t + 3}, {r, b}, {l, b}}, PAPER, OUTLINE);
    polygon(p, {{r - 3, t}, {r - 3, t + 3}, {r, t + 3}}, GREY_LIGHT, OUTLINE);
}

void text_lines(QPainter& p, double x, double y, double w, int count, double pitch = 2) {
    for (int i = 0; i < count; ++i) {
        line(p, x, y + 0.5 + i * pitch, x + w - (i % 2 ? 2 : 0), y + 0.5 + i * pitch, PAPER_LINE);
    }
}

void note(QPainter& p, double x, double y, const QColor& c) {
    // A quaver: head at the lower left, stem and flag.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(x, y + 5, 3.6, 2.8));
    line(p, x + 3.1, y + 6.3, x + 3.1, y + 0.3, c, 1.1);
    line(p, x + 3.1, y + 0.8, x + 5.5, y + 2.6, c, 1.1);
}

void wave(QPainter& p, double x, double y, double w, double amp, const QColor& c, double phase = 0,
          double w_pen = 1.2) {
    QPainterPath path;
    for (int i = 0; i <= 24; ++i) {
        double t = i / 24.0;
        QPointF pt(x + t * w, y - amp * std::sin(2 * M_PI * t + phase));
        if (i == 0) {
            path.moveTo(pt);
        } else {
            path.lineTo(pt);
        }
    }
    p.setPen(pen(c, w_pen));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

// Small round badges at the lower right.
void badge(QPainter& p, const QColor& fill, const QColor& rim) {
    p.setPen(pen(rim));
    p.setBrush(fill);
    p.drawEllipse(QRectF(8.5, 7.5, 7, 7));
}

void plus_badge(QPainter& p) {
    badge(p, GREEN, GREEN_DARK);
    line(p, 10, 11, 15, 11, Qt::white, 1.4);
    line(p, 12.5, 8.5, 12.5, 13.5, Qt::white, 1.4);
}

void check_badge(QPainter& p) {
    badge(p, GREEN, GREEN_DARK);
    p.setPen(pen(Qt::white, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(10.2, 11.2), QPointF(11.8, 12.8), QPointF(14.2, 9.6)}));
}

void cross_badge(QPainter& p) {
    badge(p, RED, RED_DARK);
    line(p, 10.5, 9.5, 14.5, 13.5, Qt::white, 1.4);
    line(p, 14.5, 9.5, 10.5, 13.5, Qt::white, 1.4);
}

void folder(QPainter& p, bool with_sliders) {
    polygon(p, {{0.5, 2.5}, {5.5, 2.5}, {7, 4}, {14.5, 4}, {14.5, 13.5}, {0.5, 13.5}}, FOLDER_BACK,
            OUTLINE);
    box(p, 3, 1, 10, 9, PAPER);
    if (with_sliders) {
        for (int i = 0; i < 3; ++i) {
            line(p, 5.5 + 2.5 * i, 2.5, 5.5 + 2.5 * i, 8, PAPER_LINE);
            p.fillRect(QRectF(4.5 + 2.5 * i, 3 + 2 * (i % 2) + i, 2, 1.5), BLUE_DARK);
        }
    } else {
        text_lines(p, 5, 3, 6, 3);
    }
    polygon(p, {{0.5, 6.5}, {15.5, 6.5}, {14.5, 13.5}, {0.5, 13.5}}, FOLDER, OUTLINE);
}

void floppy(QPainter& p, bool with_sliders) {
    rounded(p, 1, 0, 14, 15, 1.5, BLUE, BLUE_DARK);
    box(p, 4, 0, 8, 5, GREY_LIGHT, BLUE_DARK);
    p.fillRect(QRectF(8.5, 1, 2, 3), BLUE_DARK);
    box(p, 3, 7, 10, 8, PAPER, BLUE_DARK);
    if (with_sliders) {
        for (int i = 0; i < 3; ++i) {
            line(p, 5.5 + 2.5 * i, 8.5, 5.5 + 2.5 * i, 13.5, PAPER_LINE);
            p.fillRect(QRectF(4.5 + 2.5 * i, 9 + (i % 2) * 2, 2, 1.5), BLUE_DARK);
        }
    } else {
        text_lines(p, 5, 9, 6, 3);
    }
}

void chart(QPainter& p) {
    box(p, 0, 1, 16, 14, PAPER);
    for (int x = 4; x < 15; x += 4) {
        line(p, x + 0.5, 2, x + 0.5, 14, QColor(0xe2, 0xe5, 0xe9));
    }
    line(p, 1, 10.5, 15, 10.5, GREY_LIGHT);
}

void curve(QPainter& p, std::initializer_list<QPointF> points, const QColor& c) {
    QPainterPath path;
    auto it = points.begin();
    path.moveTo(*it++);
    while (it + 1 < points.end()) {
        QPointF ctrl = *it++;
        path.quadTo(ctrl, *it++);
    }
    p.setPen(pen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void headphones(QPainter& p, double x, double y, double s) {
    p.setPen(pen(OUTLINE, 1.6 * s));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(x + 2 * s, y + 1 * s, 12 * s, 12 * s), 0, 180 * 16);
    rounded(p, x + 0.5 * s, y + 7 * s, 4.5 * s, 7 * s, 1.2 * s, BLUE, BLUE_DARK);
    rounded(p, x + 11 * s, y + 7 * s, 4.5 * s, 7 * s, 1.2 * s, BLUE, BLUE_DARK);
}

void circular_arrow(QPainter& p, const QRectF& r, const QColor& c, double width) {
    p.setPen(pen(c, width));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, 60 * 16, 280 * 16);
    // Head at the arc's end (60 degrees, drawn counter-clockwise from there).
    QPointF centre = r.center();
    double rad = r.width() / 2;
    QPointF tip(centre.x() + rad * std::cos(M_PI / 3), centre.y() - rad * std::sin(M_PI / 3));
    polygon(p, {tip + QPointF(-3.2, -1.2), tip + QPointF(1.6, -2.6), tip + QPointF(0.6, 2.4)}, c,
            Qt::transparent);
}

void globe(QPainter& p, double x, double y, double d, const QColor& fill, const QColor& line_c) {
    p.setPen(pen(line_c));
    p.setBrush(fill);
    QRectF r(x + 0.5, y + 0.5, d - 1, d - 1);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(r.center().x() - r.width() / 4, r.top(), r.width() / 2, r.height()));
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    double q = r.height() / 4;
    p.drawLine(QPointF(r.left() + 1.5, r.center().y() - q),
               QPointF(r.right() - 1.5, r.center().y() - q));
    p.drawLine(QPointF(r.left() + 1.5, r.center().y() + q),
               QPointF(r.right() - 1.5, r.center().y() + q));
}

void gear(QPainter& p, double cx, double cy, double r_out, double r_in, const QColor& fill) {
    QPainterPath path;
    constexpr int TEETH = 8;
    for (int i = 0; i < TEETH * 2; ++i) {
        double a0 = (i - 0.5) * M_PI / TEETH;
        double a1 = (i + 0.5) * M_PI / TEETH;
        double r = i % 2 ? r_in : r_out;
        QPointF p0(cx + r * std::cos(a0), cy + r * std::sin(a0));
        QPointF p1(cx + r * std::cos(a1), cy + r * std::sin(a1));
        if (i == 0) {
            path.moveTo(p0);
        } else {
            path.lineTo(p0);
        }
        path.lineTo(p1);
    }
    path.closeSubpath();
    path.addEllipse(QPointF(cx, cy), r_in * 0.45, r_in * 0.45);
    path.setFillRule(Qt::OddEvenFill);
    p.setPen(pen(OUTLINE));
    p.setBrush(fill);
    p.drawPath(path);
}

void tile(QPainter& p, const QColor& fill) {
    QColor rim = fill.darker(150);
    rounded(p, 0, 0, 16, 15, 2.5, fill, rim);
}

// Crisp pixel text on an icon, drawn after the painter is done.
struct IconText {
    std::string_view text;
    int centre_x, top;
    QRgb ink;
    bool bold;
};

void draw_icon(QPainter& p, Icon icon, IconText& text) {
    switch (icon) {
        case Icon::OpenPlaylist:
            folder(p, false);
            break;
        case Icon::SavePlaylist:
            floppy(p, false);
            break;
        case Icon::AddFiles:
            page(p, 2, 0, 11, 15);
            note(p, 4, 3, BLUE_DARK);
            plus_badge(p);
            break;
        case Icon::DeviceSettings:
            polygon(p, {{1.5, 5.5}, {4.5, 5.5}, {8.5, 1.5}, {8.5, 13.5}, {4.5, 9.5}, {1.5, 9.5}},
                    GREY, OUTLINE);
            p.setPen(pen(BLUE_DARK, 1.3));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(6, 4, 6, 7), -50 * 16, 100 * 16);
            p.drawArc(QRectF(5, 1.5, 10, 12), -50 * 16, 100 * 16);
            break;
        case Icon::OpenParams:
            folder(p, true);
            break;
        case Icon::SaveParams:
            floppy(p, true);
            break;
        case Icon::PresetDigital: {
            tile(p, BLUE);
            QPolygonF square{{2.5, 10},  {4.5, 10}, {4.5, 4},  {7.5, 4},  {7.5, 10},
                             {10.5, 10}, {10.5, 4}, {13.5, 4}, {13.5, 10}};
            p.setPen(pen(Qt::white, 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(square);
            break;
        }
        case Icon::PresetInternet:
            tile(p, TEAL);
            globe(p, 2, 1.5, 12, Qt::transparent, Qt::white);
            break;
        case Icon::PresetFm:
            tile(p, ORANGE);
            text = {"FM", 8, 4, qRgb(0xff, 0xff, 0xff), false};
            break;
        case Icon::User1:
        case Icon::User2:
        case Icon::User3: {
            tile(p, TILE_DARK);
            static constexpr std::string_view DIGITS[] = {"1", "2", "3"};
            int n = static_cast<int>(icon) - static_cast<int>(Icon::User1);
            text = {DIGITS[n], 8, 4, AMBER.rgb(), true};
            break;
        }
        case Icon::Bypass:
            box(p, 5, 7, 6, 6, GREY_LIGHT);
            p.setPen(pen(BLUE_DARK, 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({{0, 10}, {2.7, 10}, {2.7, 3.7}, {13.3, 3.7}, {13.3, 8}}));
            polygon(p, {{11, 7.5}, {15.6, 7.5}, {13.3, 11}}, BLUE_DARK, Qt::transparent);
            line(p, 13.3, 11, 13.3, 10, BLUE_DARK, 1.4);
            line(p, 13.3, 10.3, 16, 10.3, BLUE_DARK, 1.4);
            break;
        case Icon::BassEq:
            chart(p);
            curve(p, {{1.5, 4}, {4.5, 4}, {6.5, 8}, {8, 10.5}, {14.5, 10.5}}, RED);
            break;
        case Icon::Deemphasis:
            chart(p);
            curve(p, {{1.5, 6}, {7, 6}, {9.5, 7.5}, {12.5, 10}, {14.5, 13}}, BLUE_DARK);
            break;
        case Icon::BassPhase:
            wave(p, 0.5, 7.5, 15, 4.5, BLUE_DARK);
            wave(p, 0.5, 7.5, 15, 4.5, RED, M_PI / 2);
            break;
        case Icon::Enhancer:
            p.setPen(pen(BLUE_DARK, 1.2));
            p.setBrush(QColor(0x3d, 0x7f, 0xd9, 90));
            p.drawEllipse(QRectF(2.5, 3.5, 7, 7));
            p.setPen(pen(RED_DARK, 1.2));
            p.setBrush(QColor(0xe0, 0x45, 0x3a, 90));
            p.drawEllipse(QRectF(6.5, 3.5, 7, 7));
            polygon(p, {{0, 7}, {2.5, 4.8}, {2.5, 9.2}}, BLUE_DARK, Qt::transparent);
            polygon(p, {{16, 7}, {13.5, 4.8}, {13.5, 9.2}}, RED_DARK, Qt::transparent);
            break;
        case Icon::VirtualSpeaker:
            headphones(p, 0, 0, 1.0);
            break;
        case Icon::VirtualInit:
            headphones(p, 0, 0, 0.8);
            p.setPen(pen(GREEN_DARK));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(7.5, 6.5, 8, 8));
            circular_arrow(p, QRectF(9.5, 8.5, 4, 4), GREEN_DARK, 1.3);
            break;
        case Icon::OnAir: {
            p.setPen(pen(RED_DARK));
            QRadialGradient glow(QPointF(7, 6.5), 4.5);
            glow.setColorAt(0, QColor(0xff, 0xb0, 0xa0));
            glow.setColorAt(1, RED);
            p.setBrush(glow);
            p.drawEllipse(QRectF(4.5, 4, 7, 7));
            p.setPen(pen(RED, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2, 1.5, 12, 12), 120 * 16, 120 * 16);
            p.drawArc(QRectF(2, 1.5, 12, 12), -60 * 16, 120 * 16);
            p.drawArc(QRectF(0, -0.5, 16, 16), 125 * 16, 110 * 16);
            p.drawArc(QRectF(0, -0.5, 16, 16), -55 * 16, 110 * 16);
            break;
        }
        case Icon::Play:
        case Icon::Playing:
            polygon(p, {{3.5, 1.5}, {13.5, 7.5}, {3.5, 13.5}}, GREEN, GREEN_DARK);
            break;
        case Icon::Stop:
            box(p, 3, 2, 11, 11, QColor(0x4a, 0x55, 0x63), OUTLINE);
            break;
        case Icon::Up:
            polygon(p, {{8, 2}, {14.5, 12.5}, {1.5, 12.5}}, BLUE, BLUE_DARK);
            break;
        case Icon::Down:
            polygon(p, {{8, 13}, {14.5, 2.5}, {1.5, 2.5}}, BLUE, BLUE_DARK);
            break;
        case Icon::Continuous: {
            // A loop running clockwise: the upper arc ends in a head pointing down at the
            // right, the lower one in a head pointing up at the left.
            p.setPen(pen(GREEN_DARK, 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2, 2.5, 12, 10), 40 * 16, 130 * 16);
            p.drawArc(QRectF(2, 2.5, 12, 10), 220 * 16, 130 * 16);
            polygon(p, {{10.5, 5}, {16, 5}, {13.25, 9.5}}, GREEN_DARK, Qt::transparent);
            polygon(p, {{0, 10}, {5.5, 10}, {2.75, 5.5}}, GREEN_DARK, Qt::transparent);
            break;
        }
        case Icon::SortAscending:
        case Icon::SortDescending: {
            bool ascending = icon == Icon::SortAscending;
            for (int i = 0; i < 4; ++i) {
                double len = ascending ? 3 + 2 * i : 9 - 2 * i;
                p.fillRect(QRectF(0.5, 1.5 + 3.5 * i, len, 2), BLUE_DARK);
            }
            line(p, 13, ascending ? 1 : 4, 13, ascending ? 11 : 14, OUTLINE, 1.4);
            if (ascending) {
                polygon(p, {{10, 10}, {16, 10}, {13, 14}}, OUTLINE, Qt::transparent);
            } else {
                polygon(p, {{10, 5}, {16, 5}, {13, 1}}, OUTLINE, Qt::transparent);
            }
            break;
        }
        case Icon::PeakLevel: {
            static constexpr double HEIGHTS[] = {6, 9, 11, 7};
            static const QColor COLOURS[] = {GREEN, GREEN, ORANGE, GREEN};
            for (int i = 0; i < 4; ++i) {
                box(p, 1 + 3.5 * i, 15 - HEIGHTS[i], 3, HEIGHTS[i], COLOURS[i], OUTLINE);
            }
            p.setPen(QPen(RED, 1.2, Qt::DashLine));
            p.drawLine(QPointF(0, 2.5), QPointF(16, 2.5));
            break;
        }
        case Icon::RemoveAll:
            page(p, 1, 0, 11, 15);
            text_lines(p, 3, 4, 6, 4);
            cross_badge(p);
            break;
        case Icon::ExportSong:
        case Icon::ExportAll: {
            if (icon == Icon::ExportAll) {
                page(p, 3, 0, 9, 13);
                page(p, 1, 2, 9, 13);
            } else {
                page(p, 1, 0, 10, 15);
            }
            note(p, 3, icon == Icon::ExportAll ? 5 : 3.5, BLUE_DARK);
            polygon(p,
                    {{7.5, 8.5},
                     {11.5, 8.5},
                     {11.5, 6},
                     {15.5, 10},
                     {11.5, 14},
                     {11.5, 11.5},
                     {7.5, 11.5}},
                    GREEN, GREEN_DARK);
            break;
        }
        case Icon::EncoderSettings:
            gear(p, 6.5, 6.5, 6.2, 4.4, GREY_LIGHT);
            badge(p, ORANGE, QColor(0xa8, 0x5c, 0x0c));
            note(p, 10.2, 8, Qt::white);
            break;
        case Icon::About:
            p.setPen(pen(BLUE_DARK));
            p.setBrush(BLUE);
            p.drawEllipse(QRectF(0.5, 0, 15, 15));
            text = {"i", 8, 4, qRgb(0xff, 0xff, 0xff), true};
            p.fillRect(QRectF(7, 2.5, 2, 2), Qt::white);
            break;
        case Icon::Quit:
            p.setPen(pen(RED_DARK, 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 120 * 16, 300 * 16);
            line(p, 8, 1, 8, 8, RED_DARK, 1.8);
            break;
        case Icon::Manual:
            polygon(p, {{2.5, 1.5}, {13.5, 1.5}, {13.5, 12.5}, {2.5, 12.5}}, BLUE, BLUE_DARK);
            box(p, 3, 12, 11, 3, PAPER, BLUE_DARK);
            line(p, 4.5, 1.5, 4.5, 12.5, BLUE_DARK);
            text = {"?", 9, 3, qRgb(0xff, 0xff, 0xff), false};
            break;
        case Icon::Web:
            globe(p, 0.5, 0, 15, QColor(0xdc, 0xeb, 0xfb), BLUE_DARK);
            break;
        case Icon::Delete:
            line(p, 3, 2.5, 13, 12.5, RED, 2.6);
            line(p, 13, 2.5, 3, 12.5, RED, 2.6);
            break;
        case Icon::WavFile:
        case Icon::WavMarked:
            page(p, 2, 0, 12, 15);
            wave(p, 3.5, 8, 9, 3, BLUE_DARK, 0, 1.3);
            if (icon == Icon::WavMarked) {
                check_badge(p);
            }
            break;
        case Icon::Mp3File:
        case Icon::Mp3Exported:
        case Icon::Mp3Failed:
            page(p, 2, 0, 12, 15);
            note(p, 4.5, 3.5, ORANGE);
            if (icon == Icon::Mp3Exported) {
                check_badge(p);
            } else if (icon == Icon::Mp3Failed) {
                cross_badge(p);
            }
            break;
    }
}

// Paints icons side by side, 16 columns apart, with one painter; the pixel print follows
// once the smooth drawing is done.
QImage render_row(std::span<const Icon> icons, int height) {
    QImage img(16 * static_cast<int>(icons.size()), height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    std::vector<IconText> texts(icons.size());
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        for (size_t i = 0; i < icons.size(); ++i) {
            p.save();
            p.translate(16.0 * static_cast<double>(i), 0);
            p.setClipRect(0, 0, 16, height);
            draw_icon(p, icons[i], texts[i]);
            p.restore();
        }
    }
    Canvas canvas(std::move(img));
    for (size_t i = 0; i < texts.size(); ++i) {
        const IconText& t = texts[i];
        if (!t.text.empty()) {
            draw_text_centred(canvas, 16 * static_cast<int>(i) + t.centre_x, t.top, t.text,
                              TextStyle{PixelFont::Caption, t.ink, t.bold});
        }
    }
    return canvas.take();
}

QImage render(Icon icon, int height) {
    return render_row(std::span<const Icon>(&icon, 1), height);
}

struct MenuImage {
    SkinId id;
    Icon icon;
};

constexpr MenuImage MENU_IMAGES[] = {
    {SkinId::MenuOpenPlaylist, Icon::OpenPlaylist},
    {SkinId::MenuSavePlaylist, Icon::SavePlaylist},
    {SkinId::MenuAddFiles, Icon::AddFiles},
    {SkinId::MenuDeviceSettings, Icon::DeviceSettings},
    {SkinId::MenuOpenParams, Icon::OpenParams},
    {SkinId::MenuSaveParams, Icon::SaveParams},
    {SkinId::MenuPresetDigital, Icon::PresetDigital},
    {SkinId::MenuPresetInternet, Icon::PresetInternet},
    {SkinId::MenuPresetFm, Icon::PresetFm},
    {SkinId::MenuUser1, Icon::User1},
    {SkinId::MenuUser2, Icon::User2},
    {SkinId::MenuUser3, Icon::User3},
    {SkinId::MenuBypass, Icon::Bypass},
    {SkinId::MenuBassEq, Icon::BassEq},
    {SkinId::MenuBassPhase, Icon::BassPhase},
    {SkinId::MenuEnhancer, Icon::Enhancer},
    {SkinId::MenuVirtualSpeaker, Icon::VirtualSpeaker},
    {SkinId::MenuVirtualInit, Icon::VirtualInit},
    {SkinId::MenuOnAir, Icon::OnAir},
    {SkinId::MenuDeemphasis, Icon::Deemphasis},
    {SkinId::MenuPlay, Icon::Play},
    {SkinId::MenuStop, Icon::Stop},
    {SkinId::MenuUp, Icon::Up},
    {SkinId::MenuDown, Icon::Down},
    {SkinId::MenuContinuous, Icon::Continuous},
    {SkinId::MenuSortDescending, Icon::SortDescending},
    {SkinId::MenuSortAscending, Icon::SortAscending},
    {SkinId::MenuPeakLevel, Icon::PeakLevel},
    {SkinId::MenuRemoveAll, Icon::RemoveAll},
    {SkinId::MenuExportSong, Icon::ExportSong},
    {SkinId::MenuExportAll, Icon::ExportAll},
    {SkinId::MenuEncoderSettings, Icon::EncoderSettings},
    {SkinId::MenuAbout, Icon::About},
    {SkinId::MenuQuit, Icon::Quit},
    {SkinId::MenuManual, Icon::Manual},
    {SkinId::MenuWeb, Icon::Web},
    {SkinId::MenuDelete, Icon::Delete},
};

// In ToolbarImage order. The toolbar shows some of them; the others carry the images of the
// commands the menus hold, so the strip is complete.
struct ToolbarIcon {
    ToolbarImage place;
    Icon icon;
};
constexpr ToolbarIcon TOOLBAR_ICONS[TOOLBAR_IMAGE_COUNT] = {
    {ToolbarImage::AddFiles, Icon::AddFiles},
    {ToolbarImage::Play, Icon::Play},
    {ToolbarImage::Stop, Icon::Stop},
    {ToolbarImage::OpenPlaylist, Icon::OpenPlaylist},
    {ToolbarImage::SavePlaylist, Icon::SavePlaylist},
    {ToolbarImage::DeviceSettings, Icon::DeviceSettings},
    {ToolbarImage::OpenParams, Icon::OpenParams},
    {ToolbarImage::SaveParams, Icon::SaveParams},
    {ToolbarImage::Bypass, Icon::Bypass},
    {ToolbarImage::BassEq, Icon::BassEq},
    {ToolbarImage::BassPhase, Icon::BassPhase},
    {ToolbarImage::Enhancer, Icon::Enhancer},
    {ToolbarImage::ExportSong, Icon::ExportSong},
    {ToolbarImage::ExportAll, Icon::ExportAll},
    {ToolbarImage::EncoderSettings, Icon::EncoderSettings},
    {ToolbarImage::PeakLevel, Icon::PeakLevel},
    {ToolbarImage::Continuous, Icon::Continuous},
    {ToolbarImage::OnAir, Icon::OnAir},
    {ToolbarImage::PresetDigital, Icon::PresetDigital},
    {ToolbarImage::PresetInternet, Icon::PresetInternet},
    {ToolbarImage::PresetFm, Icon::PresetFm},
    {ToolbarImage::User1, Icon::User1},
    {ToolbarImage::User2, Icon::User2},
    {ToolbarImage::User3, Icon::User3},
    {ToolbarImage::Up, Icon::Up},
    {ToolbarImage::Down, Icon::Down},
    {ToolbarImage::About, Icon::About},
    {ToolbarImage::Manual, Icon::Manual},
    {ToolbarImage::RemoveAll, Icon::RemoveAll},
};

constexpr Icon ROW_ICONS[] = {Icon::Playing,   Icon::WavFile,     Icon::Mp3File,
                              Icon::WavMarked, Icon::Mp3Exported, Icon::Mp3Failed};

}  // namespace

QImage menu_icon_image(SkinId id) {
    for (const MenuImage& m : MENU_IMAGES) {
        if (m.id == id) {
            return render(m.icon, 16);
        }
    }
    return {};
}

QImage toolbar_strip_image() {
    std::array<Icon, TOOLBAR_IMAGE_COUNT> icons{};
    for (const ToolbarIcon& t : TOOLBAR_ICONS) {
        icons[static_cast<size_t>(t.place)] = t.icon;
    }
    return render_row(icons, TOOLBAR_IMAGE_HEIGHT);
}

QImage row_icon_image(int index) {
    return render(ROW_ICONS[index], 16);
}

// The program's icon: a meter bridge in a dark rounded case. Drawn on a 256-unit grid and
// scaled; small sizes get fewer, solid bars so they stay legible.
QImage window_icon_image(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    const double unit = 256.0 / size;  // one device pixel in grid units
    QLinearGradient body(0, 0, 0, 256);
    body.setColorAt(0, QColor(0x5f, 0x65, 0x6e));
    body.setColorAt(1, QColor(0x2c, 0x30, 0x36));
    p.setPen(QPen(QColor(0x16, 0x18, 0x1b), std::max(6.0, unit)));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    QRectF well(36, 36, 184, 184);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x08, 0x09, 0x0a));
    p.drawRoundedRect(well, 18, 18);

    const bool detailed = size >= 48;  // segmented bars
    const bool five = size >= 32;
    static constexpr double LEVELS[] = {0.62, 0.9, 0.74, 0.98, 0.55};
    const int bars = five ? 5 : 3;
    const double gap = five ? 8 : 16;
    const double inner = well.width() - 2 * 18;
    const double bar_w = (inner - gap * (bars - 1)) / bars;
    const double bottom = well.bottom() - 18;
    const double full = well.height() - 36;
    for (int i = 0; i < bars; ++i) {
        double level = LEVELS[five ? i : i + 1];
        double x = well.left() + 18 + i * (bar_w + gap);
        if (detailed) {
            // Segments as on the panel: green, yellow near the top, red at the very top.
            constexpr int SEGMENTS = 12;
            double pitch = full / SEGMENTS;
            int lit = static_cast<int>(std::lround(level * SEGMENTS));
            for (int s = 0; s < SEGMENTS; ++s) {
                QColor c = s >= 10  ? QColor(SEG_RED)
                           : s >= 7 ? QColor(SEG_YELLOW)
                                    : QColor(SEG_GREEN);
                if (s >= lit) {
                    c = c.darker(400);
                }
                p.fillRect(QRectF(x, bottom - (s + 1) * pitch + pitch * 0.18, bar_w, pitch * 0.64),
                           c);
            }
        } else {
            QLinearGradient g(0, bottom, 0, bottom - full);
            g.setColorAt(0, QColor(SEG_GREEN));
            g.setColorAt(0.6, QColor(SEG_GREEN));
            g.setColorAt(0.8, QColor(SEG_YELLOW));
            g.setColorAt(1, QColor(SEG_RED));
            p.fillRect(QRectF(x, bottom - level * full, bar_w, level * full), g);
        }
    }
    return img;
}

}  // namespace zv::skin
