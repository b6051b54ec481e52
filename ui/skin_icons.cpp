// Placeholder while the icons are drawn.
#include "ui/skin_art.h"

namespace zv::skin {
QImage menu_icon_image(int) {
    QImage i(16, 16, QImage::Format_ARGB32_Premultiplied);
    i.fill(Qt::gray);
    return i;
}
QImage toolbar_strip_image() {
    QImage i(464, 15, QImage::Format_ARGB32_Premultiplied);
    i.fill(Qt::gray);
    return i;
}
QImage row_icon_image(int) {
    return menu_icon_image(0);
}
QImage window_icon_image(int size) {
    QImage i(size, size, QImage::Format_ARGB32_Premultiplied);
    i.fill(Qt::gray);
    return i;
}
}  // namespace zv::skin
