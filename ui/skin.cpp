#include "ui/skin.h"

#include <QPainter>

namespace zv {
namespace {

struct Entry {
    int first, last, width, height;
};

// Sizes by resource number; the drawing of each image replaces the placeholder fill.
constexpr Entry SIZES[] = {
    {113, 113, 32, 32},  {128, 152, 24, 75},   {153, 153, 745, 284}, {154, 157, 5, 12},
    {158, 159, 24, 4},   {160, 160, 411, 300}, {171, 174, 93, 12},   {175, 177, 76, 12},
    {243, 243, 60, 40},  {244, 255, 93, 15},   {256, 257, 14, 14},   {260, 260, 200, 50},
    {261, 261, 240, 15}, {273, 274, 93, 15},   {275, 276, 34, 15},   {277, 277, 93, 15},
    {278, 278, 9, 9},    {281, 315, 16, 16},   {317, 318, 16, 16},   {611, 611, 464, 15},
    {612, 612, 93, 15},  {613, 615, 9, 9},
};

QPixmap placeholder(int w, int h, int seed) {
    QPixmap p(w, h);
    p.fill(QColor::fromHsv((seed * 37) % 360, 60, 90));
    return p;
}

}  // namespace

Skin::Skin() {
    for (const Entry& e : SIZES) {
        for (int id = e.first; id <= e.last; ++id) {
            images_[static_cast<size_t>(id - FIRST)] = placeholder(e.width, e.height, id);
        }
    }
    for (int i = 0; i < ROW_ICON_COUNT; ++i) {
        row_icons_[static_cast<size_t>(i)] = placeholder(16, 16, i);
    }
}

const QPixmap& Skin::image(SkinId id) const {
    int n = static_cast<int>(id);
    if (n < FIRST || n > LAST) {
        return none_;
    }
    return images_[static_cast<size_t>(n - FIRST)];
}

const QPixmap& Skin::row_icon(int index) const {
    if (index < 0 || index >= ROW_ICON_COUNT) {
        return none_;
    }
    return row_icons_[static_cast<size_t>(index)];
}

}  // namespace zv
