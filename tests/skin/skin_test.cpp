// The skin's images as the window uses them: fixed sizes, the font grids and metrics the text
// drawing relies on, meters that light the right number of segments, keys whose pressed image
// differs, and value fields that stay black under the control texts.
#include "ui/skin.h"
#include "ui/panel_controls.h"
#include "ui/skin_art.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace zv {

std::ostream& operator<<(std::ostream& os, SkinId id) {
    return os << static_cast<int>(id);
}

namespace {

using skin::SMALL_FONT_GRID;

class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "skin_test";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) {
            app_ = new QGuiApplication(argc, argv);
        }
        skin_ = new Skin();
    }
    static void TearDownTestSuite() {
        delete skin_;
        skin_ = nullptr;
    }

    static QImage img(SkinId id) {
        return skin_->image(id).toImage().convertToFormat(QImage::Format_RGB32);
    }

    static inline QGuiApplication* app_ = nullptr;
    static inline Skin* skin_ = nullptr;
};

int brightness(QRgb c) {
    return std::max({qRed(c), qGreen(c), qBlue(c)});
}

bool is_ink(QRgb c) {
    return brightness(c) > 0x80;
}

// Ink pixels of a rectangle of an image.
int ink_in(const QImage& image, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += is_ink(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

TEST_F(SkinTest, EveryImageHasItsFixedSize) {
    using S = SkinId;
    struct Expected {
        SkinId first, last;
        int w, h;
    };
    const Expected SIZES[] = {
        {S::WindowIcon, S::WindowIcon, 32, 32},
        {S::MeterLevel0, S::MeterLevel24, 24, 75},
        {S::PanelBackground, S::PanelBackground, 745, 284},
        {S::ArrowUpPressed, S::ArrowDown, 5, 12},
        {S::ClipBarOff, S::ClipBarOn, 24, 4},
        {S::RateNone, S::Rate48k, 93, 12},
        {S::ChannelsNone, S::ChannelsMono, 76, 12},
        {S::SmallFont, S::SmallFont, 60, 40},
        {S::BassEq, S::StEnhancePressed, 93, 15},
        {S::LedOff, S::LedOn, 14, 14},
        {S::TransportStrip, S::TransportStrip, 200, 50},
        {S::LargeDigits, S::LargeDigits, 240, 15},
        {S::VirtualRoom, S::VirtualRoomPressed, 93, 15},
        {S::InitButton, S::InitButtonPressed, 34, 15},
        {S::NoiseGate, S::NoiseGate, 93, 15},
        {S::GateLed0, S::GateLed0, 9, 9},
        {S::MenuOpenPlaylist, S::MenuManual, 16, 16},
        {S::MenuWeb, S::MenuDelete, 16, 16},
        {S::ToolbarStrip, S::ToolbarStrip, 464, 15},
        {S::NoiseGatePressed, S::NoiseGatePressed, 93, 15},
        {S::GateLed1, S::GateLed3, 9, 9},
    };
    for (const Expected& e : SIZES) {
        for (int id = static_cast<int>(e.first); id <= static_cast<int>(e.last); ++id) {
            EXPECT_EQ(skin_->image(static_cast<SkinId>(id)).size(), QSize(e.w, e.h))
                << "image " << id;
        }
    }
    EXPECT_FALSE(skin_->image(SkinId::ProductArt).isNull());
    // Numbers that are no image of the skin give a null pixmap, not a crash.
    for (int id : {0, 112, 316, 616, -5}) {
        EXPECT_TRUE(skin_->image(static_cast<SkinId>(id)).isNull()) << id;
    }
    for (int i = 0; i < ROW_ICON_COUNT; ++i) {
        EXPECT_EQ(skin_->row_icon(i).size(), QSize(16, 16));
    }
    EXPECT_TRUE(skin_->row_icon(ROW_ICON_COUNT).isNull());
    EXPECT_TRUE(skin_->row_icon(-1).isNull());
    for (int size : {16, 32, 48, 256}) {
        EXPECT_EQ(skin_->window_icon().pixmap(size).size(), QSize(size, size)) << size;
    }
}

// The window copies 5 x 8 pixels from the top of a cell, 3 x 8 for "." and ":"; ink elsewhere
// in the cell would never be shown, and an empty cell would print nothing.
TEST_F(SkinTest, SmallFontCellsHoldTheirGlyphsInTheCopiedArea) {
    QImage font = img(SkinId::SmallFont);
    for (size_t i = 0; i < SMALL_FONT_GRID.size(); ++i) {
        char c = SMALL_FONT_GRID[i];
        QRect cell(static_cast<int>(i % 12) * 5, static_cast<int>(i / 12) * 10, 5, 10);
        if (c == ' ') {
            EXPECT_EQ(ink_in(font, cell), 0) << "empty cell " << i;
            continue;
        }
        int width = c == '.' || c == ':' ? 3 : 5;
        QRect copied(cell.x(), cell.y(), width, 8);
        int all = ink_in(font, cell);
        EXPECT_GT(all, 0) << "'" << c << "' has no glyph";
        EXPECT_EQ(ink_in(font, copied), all) << "'" << c << "' has ink outside what is copied";
    }
    // The grid is the one the value texts need: digits, signs, A-Z, < and >.
    for (char c : std::string("0123456789-.+:/%<>ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
        EXPECT_NE(SMALL_FONT_GRID.find(c), std::string_view::npos) << c;
    }
    EXPECT_EQ(SMALL_FONT_GRID.find('0'), 0u);
    EXPECT_EQ(SMALL_FONT_GRID.find('A'), 12u);
    EXPECT_EQ(SMALL_FONT_GRID.find('K'), 24u);
    EXPECT_EQ(SMALL_FONT_GRID.find('U'), 36u);
    EXPECT_EQ(SMALL_FONT_GRID.find('<'), 46u);
}

// Glyphs are copied opaquely onto black fields: two colours only, light on the fields' black,
// no smoothing that would leave fringes.
TEST_F(SkinTest, PixelFontsAreTwoColoursLightOnBlack) {
    for (SkinId id : {SkinId::SmallFont, SkinId::LargeDigits}) {
        QImage font = img(id);
        std::set<QRgb> colours;
        for (int y = 0; y < font.height(); ++y) {
            for (int x = 0; x < font.width(); ++x) {
                colours.insert(font.pixel(x, y) & 0xffffff);
            }
        }
        ASSERT_EQ(colours.size(), 2u) << "image " << id;
        EXPECT_TRUE(colours.count(skin::DISPLAY & 0xffffff)) << "image " << id;
        for (QRgb c : colours) {
            EXPECT_TRUE(c == (skin::DISPLAY & 0xffffff) || is_ink(c)) << "image " << id;
        }
    }
}

TEST_F(SkinTest, LargeDigitsHaveInkOnlyInsideTheirUsedWidths) {
    QImage digits = img(SkinId::LargeDigits);
    std::vector<QRect> used;
    for (int d = 0; d < 10; ++d) {
        used.emplace_back(20 * d, 0, 11, 15);
    }
    used.emplace_back(200, 0, 8, 15);   // ":"
    used.emplace_back(220, 0, 11, 15);  // "/"
    int inside = 0;
    for (const QRect& r : used) {
        int n = ink_in(digits, r);
        EXPECT_GT(n, 0) << "glyph at " << r.x() << " is empty";
        inside += n;
    }
    EXPECT_EQ(ink_in(digits, digits.rect()), inside);
    // Ten different digits.
    std::set<QByteArray> shapes;
    for (int d = 0; d < 10; ++d) {
        QImage g = digits.copy(used[static_cast<size_t>(d)]);
        shapes.insert(QByteArray(reinterpret_cast<const char*>(g.constBits()),
                                 static_cast<int>(g.sizeInBytes())));
    }
    EXPECT_EQ(shapes.size(), 10u);
}

// Every switch key carries its own caption, in the normal and the pressed image.
TEST_F(SkinTest, SwitchKeysCarryTheirCaptions) {
    using S = SkinId;
    struct Key {
        SkinId normal, pressed;
        const char* caption;
    };
    const Key KEYS[] = {
        {S::Bypass, S::BypassPressed, "BYPASS"},
        {S::BassEq, S::BassEqPressed, "BASS EQ"},
        {S::BassPhase, S::BassPhasePressed, "BASS PHASE"},
        {S::StEnhance, S::StEnhancePressed, "ST ENHANCE"},
        {S::Deemphasis, S::DeemphasisPressed, "DE-EMPHASIS"},
        {S::ContPlay, S::ContPlayPressed, "CONT. PLAY"},
        {S::NoiseGate, S::NoiseGatePressed, "NOISE GATE"},
        {S::VirtualRoom, S::VirtualRoomPressed, "VIRTUAL ROOM"},
    };
    for (const Key& k : KEYS) {
        EXPECT_EQ(
            img(k.normal),
            skin::switch_button_image(k.caption, false, 93).convertToFormat(QImage::Format_RGB32))
            << k.caption;
        EXPECT_EQ(
            img(k.pressed),
            skin::switch_button_image(k.caption, true, 93).convertToFormat(QImage::Format_RGB32))
            << k.caption;
    }
    EXPECT_EQ(img(SkinId::InitButton),
              skin::switch_button_image("INIT", false, 34).convertToFormat(QImage::Format_RGB32));
}

// Lamps in the right order: lit brighter than dark, gate lamps from red (closed) to green.
TEST_F(SkinTest, LampsLightInTheirOrder) {
    auto centre = [](const QImage& image) {
        return image.pixel(image.width() / 2, image.height() / 2);
    };
    auto bright = [](QRgb c) { return qRed(c) + qGreen(c) + qBlue(c); };
    EXPECT_GT(bright(centre(img(SkinId::LedOn))), bright(centre(img(SkinId::LedOff))));
    EXPECT_GT(bright(centre(img(SkinId::ClipBarOn))), bright(centre(img(SkinId::ClipBarOff))));
    QRgb closed = img(SkinId::GateLed0).pixel(5, 6);
    QRgb open = img(SkinId::GateLed3).pixel(5, 6);
    EXPECT_GT(qRed(closed), qGreen(closed));
    EXPECT_GT(qGreen(open), qRed(open));
}

// Image k shows k of 24 segments lit, counted down from the top (the window mirrors rising
// meters itself), so the index rules of the display map onto what is seen.
TEST_F(SkinTest, MeterImageKLightsExactlyKSegmentsFromTheTop) {
    for (int k = 0; k <= 24; ++k) {
        QImage meter = skin_->meter(k).toImage().convertToFormat(QImage::Format_RGB32);
        std::vector<bool> segments;  // lit state of each segment, top to bottom
        bool in_segment = false;
        for (int y = 0; y < meter.height(); ++y) {
            QRgb c = meter.pixel(12, y);
            bool segment_row = (c & 0xffffff) != (skin::WELL & 0xffffff);
            if (segment_row && !in_segment) {
                segments.push_back(is_ink(c));
            }
            in_segment = segment_row;
        }
        ASSERT_EQ(segments.size(), 24u) << "image " << k;
        for (int i = 0; i < 24; ++i) {
            EXPECT_EQ(segments[static_cast<size_t>(i)], i < k) << "image " << k << " segment " << i;
        }
    }
    // Mirrored top to bottom, the segments stay where they were: a rising meter lines up with
    // the scale printed for a falling one.
    QImage full = skin_->meter(24).toImage();
    for (int y = 0; y < full.height(); ++y) {
        EXPECT_EQ(full.pixel(12, y) == full.pixel(12, 0),
                  full.pixel(12, full.height() - 1 - y) == full.pixel(12, 0))
            << "row " << y;
    }
}

TEST_F(SkinTest, PressedAndLitImagesDifferFromTheirPartners) {
    using S = SkinId;
    const std::pair<SkinId, SkinId> PAIRS[] = {
        {S::ArrowUpPressed, S::ArrowUp},
        {S::ArrowDownPressed, S::ArrowDown},
        {S::ClipBarOff, S::ClipBarOn},
        {S::LedOff, S::LedOn},
    };
    for (auto [a, b] : PAIRS) {
        EXPECT_NE(img(a), img(b)) << static_cast<int>(a) << " / " << static_cast<int>(b);
    }
    for (const PanelButtonRow& b : PANEL_BUTTONS) {
        EXPECT_NE(img(b.normal_image), img(b.pressed_image)) << b.caption;
    }
    // Up and down arrows point different ways.
    EXPECT_NE(img(S::ArrowUp), img(S::ArrowDown));
    // The four gate lamps are four different images.
    std::set<QRgb> centres;
    for (int k = 0; k < 4; ++k) {
        centres.insert(img(gate_led_image_id(k)).pixel(5, 5));
    }
    EXPECT_EQ(centres.size(), 4u);

    // Every transport key has a face in both rows, and its pressed face differs.
    QImage strip = img(S::TransportStrip);
    for (const TransportRow& key : TRANSPORT_BUTTONS) {
        const int x = key.strip_x;
        const int w = key.width;
        QImage normal = strip.copy(x, 0, w, 25);
        QImage pressed = strip.copy(x, 25, w, 25);
        EXPECT_GT(ink_in(normal, normal.rect()), 0) << "key at " << x;
        EXPECT_NE(normal, pressed) << "key at " << x;
    }
}

// Each indicator image lights one label, left to right in the order of the ids.
TEST_F(SkinTest, IndicatorsLightOneLabelInOrder) {
    auto lit_centre = [](const QImage& image) {
        int sum = 0, n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (brightness(image.pixel(x, y)) > 0xc0) {
                    sum += x;
                    ++n;
                }
            }
        }
        return n ? sum / n : -1;
    };
    using S = SkinId;
    for (auto [none, first, last] :
         {std::tuple{S::RateNone, S::Rate32k, S::Rate48k},
          std::tuple{S::ChannelsNone, S::ChannelsStereo, S::ChannelsMono}}) {
        EXPECT_EQ(lit_centre(img(none)), -1) << static_cast<int>(none);
        int previous = -1;
        for (int id = static_cast<int>(first); id <= static_cast<int>(last); ++id) {
            int centre = lit_centre(img(static_cast<SkinId>(id)));
            EXPECT_GT(centre, previous) << id;
            previous = centre;
        }
    }
}

// The text of every control of the window's own table runs from x + 38 for up to six glyphs of
// six columns, on rows y + 2 .. y + 9; the background there must be the glyphs' own black, or
// the opaque copies leave a patchwork. The ALL row shows no value: its slot sits between the
// arrows, which stand on the deck.
TEST_F(SkinTest, ValueFieldsAreBlackWhereTheControlsPrint) {
    QImage panel = img(SkinId::PanelBackground);
    auto at = [&panel](int x, int client_y) {
        return panel.pixel(x, client_y - PANEL_TOP) & 0xffffff;
    };
    for (const PanelControl& c : panel_controls()) {
        const int x = c.shape.x;
        const int y = c.shape.y;
        SCOPED_TRACE(c.field_name);
        if (c.shape.kind == ControlKind::None) {
            EXPECT_NE(at(x + CONTROL_TEXT_DX + 5, y + 2), skin::DISPLAY & 0xffffff);
        } else {
            QRect text(x + CONTROL_TEXT_DX + 1, y + 2, 36, 8);
            for (int py = text.top(); py <= text.bottom(); ++py) {
                for (int px = text.left(); px <= text.right(); ++px) {
                    ASSERT_EQ(at(px, py), skin::DISPLAY & 0xffffff)
                        << "control at (" << x << ", " << y << "), pixel (" << px << ", " << py
                        << ")";
                }
            }
        }
        EXPECT_EQ(at(x + DOWN_ARROW_DX + 2, y + 6), skin::DECK & 0xffffff);
        EXPECT_EQ(at(x + UP_ARROW_DX + 2, y + 6), skin::DECK & 0xffffff);
    }
    // The time display shows blanks as background: its window is black too.
    for (int x = TIME_DISPLAY.x; x < TIME_DISPLAY.x + 80; ++x) {
        EXPECT_EQ(at(x, TIME_DISPLAY.y), skin::DISPLAY & 0xffffff) << x;
    }
}

TEST_F(SkinTest, IconsAreDrawnAndTellTheirCommandsApart) {
    std::set<QByteArray> distinct;
    for (int id = static_cast<int>(SkinId::MenuOpenPlaylist);
         id <= static_cast<int>(SkinId::MenuDelete); ++id) {
        if (id == 316) {
            continue;  // no image between the manual's and the web page's
        }
        QImage icon =
            skin_->image(static_cast<SkinId>(id)).toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                opaque += qAlpha(icon.pixel(x, y)) > 0x80 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 12) << "menu image " << id;
        distinct.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()),
                                   static_cast<int>(icon.sizeInBytes())));
    }
    EXPECT_EQ(distinct.size(), 37u);

    // Every cell of the toolbar strip holds an image, inside its 16 columns.
    QImage strip =
        skin_->image(SkinId::ToolbarStrip).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; i < 29; ++i) {
        int opaque = 0;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 16; ++x) {
                opaque += qAlpha(strip.pixel(16 * i + x, y)) > 0x80 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 12) << "toolbar image " << i;
    }

    std::set<QByteArray> rows;
    for (int i = 0; i < ROW_ICON_COUNT; ++i) {
        QImage icon = skin_->row_icon(i).toImage();
        rows.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()),
                               static_cast<int>(icon.sizeInBytes())));
    }
    EXPECT_EQ(rows.size(), static_cast<size_t>(ROW_ICON_COUNT));
}

// The drawing functions stand alone (the build-time icon renderer runs them without an
// application) and give any requested icon size.
TEST(SkinArt, WindowIconAtAnySize) {
    for (int size : {16, 20, 48, 100, 512}) {
        QImage icon = skin::window_icon_image(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "corners stay clear at " << size;
    }
}

// Text measured is text drawn: centring and right alignment rely on it.
TEST(SkinArt, TextWidthMatchesTheInkDrawn) {
    using namespace skin;
    for (bool bold : {false, true}) {
        for (std::string_view text :
             {"Multiband Limiter (dB)", "1.6k", "Interaural Delay", "W", "Pre-emphasis"}) {
            TextStyle style{PixelFont::Caption, qRgb(0xff, 0xff, 0xff), bold};
            Canvas c(200, 12, qRgb(0, 0, 0));
            int end = draw_text(c, 10, 1, text, style);
            int right = -1, left = 1000;
            for (int y = 0; y < 12; ++y) {
                for (int x = 0; x < 200; ++x) {
                    if (qRed(c.image().pixel(x, y))) {
                        right = std::max(right, x);
                        left = std::min(left, x);
                    }
                }
            }
            EXPECT_EQ(left, 10) << text;
            EXPECT_EQ(right, 10 + text_width(text, style) - 1) << text << (bold ? " bold" : "");
            EXPECT_EQ(end, 10 + text_width(text, style)) << text;
        }
    }
    // Bold keeps the one-pixel gaps of narrow counters: "m" stays three strokes.
    Canvas c(20, 10, qRgb(0, 0, 0));
    draw_text(c, 0, 0, "m", TextStyle{PixelFont::Caption, qRgb(0xff, 0xff, 0xff), true});
    int strokes = 0;
    bool in = false;
    for (int x = 0; x < 20; ++x) {
        bool ink = qRed(c.image().pixel(x, 3)) != 0;
        strokes += ink && !in ? 1 : 0;
        in = ink;
    }
    EXPECT_EQ(strokes, 3);
}

// A character without a glyph prints as a blank; every caption the panel, the keys and the
// icons use must find its glyph.
TEST(SkinArt, CaptionFontCoversWhatThePanelPrints) {
    using namespace skin;
    for (char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_TRUE(has_glyph(PixelFont::Caption, c)) << c;
        EXPECT_TRUE(has_glyph(PixelFont::Caption, static_cast<char>(c - 'A' + 'a'))) << c;
        EXPECT_TRUE(has_glyph(PixelFont::Value, c)) << c;
    }
    for (char c : std::string("0123456789.,:()%-/+'&?<>")) {
        EXPECT_TRUE(has_glyph(PixelFont::Caption, c)) << c;
    }
    for (char c : std::string("0123456789-")) {
        EXPECT_TRUE(has_glyph(PixelFont::Tiny, c)) << c;
    }
    EXPECT_FALSE(has_glyph(PixelFont::Value, 'a'));  // the window upper-cases first
}

// Drawing across an image's edges clips instead of writing outside it.
TEST(SkinArt, CanvasClipsAtItsEdges) {
    using namespace skin;
    Canvas c(8, 8, qRgb(0, 0, 0));
    c.fill(-20, -20, 100, 100, qRgb(1, 2, 3));
    c.frame(QRect(-3, -3, 20, 20), qRgb(4, 5, 6));
    c.dot(-1, 3, qRgb(9, 9, 9));
    c.dot(8, 3, qRgb(9, 9, 9));
    draw_text(c, -30, -2, "Clip me", TextStyle{PixelFont::Caption, qRgb(7, 7, 7), true, 3});
    c.blit(QImage(30, 30, QImage::Format_ARGB32), -10, -10);
    EXPECT_EQ(c.image().size(), QSize(8, 8));
}

}  // namespace
}  // namespace zv
