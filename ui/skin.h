// The skin: every image the panel, the playlist view, the menus and the toolbar draw, made by
// our own code once at start-up at its fixed size, and held in one table. The ids carry the
// resource numbers the rest of the window uses (normal and pressed images side by side).
// Images are drawn at 1x; the panel scales the finished frame, never the single images.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <array>

namespace zv {

enum class SkinId : int {
    WindowIcon = 113,
    MeterLevel0 = 128,  // 128..152: 24 x 75, k of 24 segments lit from the top
    MeterLevel24 = 152,
    PanelBackground = 153,  // 745 x 284
    ArrowUpPressed = 154,   // 5 x 12 each
    ArrowUp = 155,
    ArrowDownPressed = 156,
    ArrowDown = 157,
    ClipBarOff = 158,  // 24 x 4
    ClipBarOn = 159,
    ProductArt = 160,  // the About dialog's picture
    RateNone = 171,    // 93 x 12: none, 32k, 44.1k, 48k lit
    Rate32k = 172,
    Rate44k = 173,
    Rate48k = 174,
    ChannelsNone = 175,  // 76 x 12: none, STEREO, MONO lit
    ChannelsStereo = 176,
    ChannelsMono = 177,
    SmallFont = 243,  // 60 x 40: 12 x 4 cells of 5 x 10
    BassEq = 244,     // switch buttons, 93 x 15, normal then pressed
    BassEqPressed = 245,
    BassPhase = 246,
    BassPhasePressed = 247,
    Bypass = 248,
    BypassPressed = 249,
    ContPlay = 250,
    ContPlayPressed = 251,
    Deemphasis = 252,
    DeemphasisPressed = 253,
    StEnhance = 254,
    StEnhancePressed = 255,
    LedOff = 256,  // 14 x 14
    LedOn = 257,
    TransportStrip = 260,  // 200 x 50: normal row y 0..24, pressed row y 25..49
    LargeDigits = 261,     // 240 x 15: "0".."9" at 20 x digit, ":" at 200, "/" at 220
    VirtualRoom = 273,
    VirtualRoomPressed = 274,
    InitButton = 275,  // 34 x 15
    InitButtonPressed = 276,
    NoiseGate = 277,
    GateLed0 = 278,        // 9 x 9, gate indicator 0..3 = 278, 613, 614, 615
    MenuImageFirst = 281,  // 281..315, 317, 318: menu item images
    MenuImageLast = 318,
    ToolbarStrip = 611,  // 464 x 15: 29 images 16 px wide
    NoiseGatePressed = 612,
    GateLed1 = 613,
    GateLed2 = 614,
    GateLed3 = 615,
};

// The playlist view's image list, in list order: playing, WAV, MP3, WAV marked, MP3 exported,
// MP3 failed (16 x 16 each).
constexpr int ROW_ICON_COUNT = 6;

class Skin {
public:
    Skin();  // draws everything; needs a QGuiApplication

    // A null pixmap for a number that is no image of the skin.
    const QPixmap& image(SkinId id) const;
    const QPixmap& image(int resource_number) const {
        return image(static_cast<SkinId>(resource_number));
    }
    const QPixmap& row_icon(int index) const;  // 0..5
    const QPixmap& meter(int level) const {    // 0..24
        return image(static_cast<int>(SkinId::MeterLevel0) + level);
    }
    // The program's icon at the sizes desktops ask for (16 to 256); WindowIcon is its 32 px
    // image.
    const QIcon& window_icon() const { return window_icon_; }

private:
    static constexpr int FIRST = 113;
    static constexpr int LAST = 615;
    std::array<QPixmap, LAST - FIRST + 1> images_;
    std::array<QPixmap, ROW_ICON_COUNT> row_icons_;
    QIcon window_icon_;
    QPixmap none_;
};

}  // namespace zv
