#include "ui/skin_canvas.h"

#include <algorithm>
#include <cmath>

namespace zv::skin {

Canvas::Canvas(int width, int height, QRgb fill_colour)
    : image_(width, height, QImage::Format_RGB32) {
    image_.fill(fill_colour);
}

void Canvas::dot(int x, int y, QRgb c) {
    x += dx_;
    y += dy_;
    if (x >= 0 && y >= 0 && x < width() && y < height()) {
        reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = c;
    }
}

void Canvas::fill(int x, int y, int w, int h, QRgb c) {
    x += dx_;
    y += dy_;
    int x0 = std::max(x, 0);
    int y0 = std::max(y, 0);
    int x1 = std::min(x + w, width());
    int y1 = std::min(y + h, height());
    for (int row = y0; row < y1; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
        std::fill(line + x0, line + std::max(x0, x1), c);
    }
}

void Canvas::frame(const QRect& r, QRgb c) {
    hline(r.left(), r.right(), r.top(), c);
    hline(r.left(), r.right(), r.bottom(), c);
    vline(r.left(), r.top(), r.bottom(), c);
    vline(r.right(), r.top(), r.bottom(), c);
}

void Canvas::bevel(const QRect& r, QRgb top_left, QRgb bottom_right) {
    hline(r.left(), r.right(), r.top(), top_left);
    vline(r.left(), r.top(), r.bottom(), top_left);
    hline(r.left() + 1, r.right(), r.bottom(), bottom_right);
    vline(r.right(), r.top() + 1, r.bottom(), bottom_right);
}

void Canvas::vgradient(const QRect& r, QRgb top, QRgb bottom) {
    int rows = r.height();
    for (int i = 0; i < rows; ++i) {
        double t = rows > 1 ? static_cast<double>(i) / (rows - 1) : 0.0;
        fill(r.left(), r.top() + i, r.width(), 1, mix(top, bottom, t));
    }
}

void Canvas::blit(const QImage& src, int x, int y) {
    QImage rgb =
        src.format() == QImage::Format_RGB32 ? src : src.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < rgb.height(); ++row) {
        const QRgb* from = reinterpret_cast<const QRgb*>(rgb.constScanLine(row));
        for (int col = 0; col < rgb.width(); ++col) {
            dot(x + col, y + row, from[col]);
        }
    }
}

QRgb mix(QRgb a, QRgb b, double t) {
    auto lerp = [t](int p, int q) { return static_cast<int>(std::lround(p + (q - p) * t)); };
    return qRgb(lerp(qRed(a), qRed(b)), lerp(qGreen(a), qGreen(b)), lerp(qBlue(a), qBlue(b)));
}

}  // namespace zv::skin
