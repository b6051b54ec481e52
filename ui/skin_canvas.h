// A pixel canvas for the skin's artwork: exact, unsmoothed fills and lines on a QImage, so
// panel edges, frames and glyphs land on whole pixels and stay crisp at any integer scale.
// Shapes that want smooth edges (icons, the product picture) use a QPainter on the image
// instead.
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

namespace zv::skin {

class Canvas {
public:
    Canvas(int width, int height, QRgb fill);  // opaque RGB32
    explicit Canvas(QImage image) : image_(std::move(image)) {}

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    // Moves what is drawn: the point (x, y) lands on pixel (x + dx, y + dy) of the image.
    // Lets a picture be laid out in another space, such as the window's client coordinates.
    void set_origin(int dx, int dy) {
        dx_ = dx;
        dy_ = dy;
    }
    QImage& image() { return image_; }
    QImage take() { return std::move(image_); }

    // Everything clips to the image, so callers may draw across its edges.
    void dot(int x, int y, QRgb c);
    void fill(int x, int y, int w, int h, QRgb c);
    void fill(const QRect& r, QRgb c) { fill(r.x(), r.y(), r.width(), r.height(), c); }
    void hline(int x0, int x1, int y, QRgb c) { fill(x0, y, x1 - x0 + 1, 1, c); }
    void vline(int x, int y0, int y1, QRgb c) { fill(x, y0, 1, y1 - y0 + 1, c); }
    void frame(const QRect& r, QRgb c);
    // A 1-pixel bevel on the rectangle's edge: `top_left` on the top and left sides,
    // `bottom_right` on the others (raised with a light top-left, sunken the other way).
    void bevel(const QRect& r, QRgb top_left, QRgb bottom_right);
    // Vertical gradient from `top` to `bottom` across the rectangle's rows.
    void vgradient(const QRect& r, QRgb top, QRgb bottom);
    // Copies a whole image (opaque copy) with its top-left at (x, y).
    void blit(const QImage& src, int x, int y);

private:
    QImage image_;
    int dx_ = 0, dy_ = 0;
};

// Mixes two colours: t = 0 gives a, t = 1 gives b.
QRgb mix(QRgb a, QRgb b, double t);

}  // namespace zv::skin
