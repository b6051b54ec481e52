#include "ui/skin_art.h"
namespace zv::skin {
QImage product_art_image() {
    QImage i(411, 300, QImage::Format_RGB32);
    i.fill(Qt::gray);
    return i;
}
}  // namespace zv::skin
