// The skin: every image the panel, the playlist view, the menus and the toolbar draw, made by
// our own code once at start-up at its fixed size, and held in one table by SkinId.
// Images are drawn at 1x; the panel scales the finished frame, never the single images.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <array>

#include "ui/skin_id.h"

namespace zv {

// The playlist view's image list, in list order: playing, WAV, MP3, WAV marked, MP3 exported,
// MP3 failed (16 x 16 each).
constexpr int ROW_ICON_COUNT = 6;

class Skin {
public:
    Skin();  // draws everything; needs a QGuiApplication

    // A null pixmap for an id that is no image of the skin (SkinId::None).
    const QPixmap& image(SkinId id) const;
    const QPixmap& row_icon(int index) const;  // 0..5
    const QPixmap& meter(int level) const {    // 0..24
        return image(meter_image_id(level));
    }
    // One image of the toolbar strip.
    QPixmap toolbar_image(ToolbarImage image) const;
    // The program's icon at the sizes desktops ask for (16 to 256); WindowIcon is its 32 px
    // image.
    const QIcon& window_icon() const { return window_icon_; }

private:
    static constexpr int FIRST = static_cast<int>(SkinId::WindowIcon);
    static constexpr int LAST = static_cast<int>(SkinId::GateLed3);
    std::array<QPixmap, LAST - FIRST + 1> images_;
    std::array<QPixmap, ROW_ICON_COUNT> row_icons_;
    QIcon window_icon_;
    QPixmap none_;
};

}  // namespace zv
