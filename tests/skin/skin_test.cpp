// The skin's images as the window uses them: fixed sizes, the font grids and metrics the text
// drawing relies on, meters that light the right number of segments, keys whose pressed image
// differs, and value fields that stay black under the control texts.
#include "ui/skin.h"
#include "ui/skin_art.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace zv {
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

    static QImage img(int id) {
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
    struct Expected {
        int first, last, w, h;
    };
    const Expected SIZES[] = {
        {113, 113, 32, 32}, {128, 152, 24, 75}, {153, 153, 745, 284}, {154, 157, 5, 12},
        {158, 159, 24, 4},  {171, 174, 93, 12}, {175, 177, 76, 12},   {243, 243, 60, 40},
        {244, 255, 93, 15}, {256, 257, 14, 14}, {260, 260, 200, 50},  {261, 261, 240, 15},
        {273, 274, 93, 15}, {275, 276, 34, 15}, {277, 277, 93, 15},   {278, 278, 9, 9},
        {281, 315, 16, 16}, {317, 318, 16, 16}, {611, 611, 464, 15},  {612, 612, 93, 15},
        {613, 615, 9, 9},
    };
    for (const Expected& e : SIZES) {
        for (int id = e.first; id <= e.last; ++id) {
            EXPECT_EQ(skin_->image(id).size(), QSize(e.w, e.h)) << "image " << id;
        }
    }
    EXPECT_FALSE(skin_->image(static_cast<int>(SkinId::ProductArt)).isNull());
    // Numbers that are no image of the skin give a null pixmap, not a crash.
    for (int id : {0, 112, 316, 616, -5}) {
        EXPECT_TRUE(skin_->image(id).isNull()) << id;
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
    QImage font = img(243);
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
    for (int id : {243, 261}) {
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
    QImage digits = img(261);
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
    struct Key {
        int normal, pressed;
        const char* caption;
    };
    const Key KEYS[] = {
        {248, 249, "BYPASS"},     {244, 245, "BASS EQ"},      {246, 247, "BASS PHASE"},
        {254, 255, "ST ENHANCE"}, {252, 253, "DE-EMPHASIS"},  {250, 251, "CONT. PLAY"},
        {277, 612, "NOISE GATE"}, {273, 274, "VIRTUAL ROOM"},
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
    EXPECT_EQ(img(275),
              skin::switch_button_image("INIT", false, 34).convertToFormat(QImage::Format_RGB32));
}

// Lamps in the right order: lit brighter than dark, gate lamps from red (closed) to green.
TEST_F(SkinTest, LampsLightInTheirOrder) {
    auto centre = [](const QImage& image) {
        return image.pixel(image.width() / 2, image.height() / 2);
    };
    auto bright = [](QRgb c) { return qRed(c) + qGreen(c) + qBlue(c); };
    EXPECT_GT(bright(centre(img(257))), bright(centre(img(256))));  // switch lamp
    EXPECT_GT(bright(centre(img(159))), bright(centre(img(158))));  // clip bar
    QRgb closed = img(278).pixel(5, 6);
    QRgb open = img(615).pixel(5, 6);
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
    const std::pair<int, int> PAIRS[] = {
        {154, 155}, {156, 157}, {158, 159}, {244, 245}, {246, 247}, {248, 249}, {250, 251},
        {252, 253}, {254, 255}, {256, 257}, {273, 274}, {275, 276}, {277, 612},
    };
    for (auto [a, b] : PAIRS) {
        EXPECT_NE(img(a), img(b)) << a << " / " << b;
    }
    // Up and down arrows point different ways.
    EXPECT_NE(img(155), img(157));
    // The four gate lamps are four different images.
    std::set<QRgb> centres;
    for (int id : {278, 613, 614, 615}) {
        centres.insert(img(id).pixel(5, 5));
    }
    EXPECT_EQ(centres.size(), 4u);

    // Every transport key has a face in both rows, and its pressed face differs.
    QImage strip = img(260);
    const int KEYS[][2] = {{0, 30}, {30, 30}, {60, 40}, {100, 40}, {140, 30}, {170, 30}};
    for (auto [x, w] : KEYS) {
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
    for (auto [none, first, last] : {std::tuple{171, 172, 174}, std::tuple{175, 176, 177}}) {
        EXPECT_EQ(lit_centre(img(none)), -1) << none;
        int previous = -1;
        for (int id = first; id <= last; ++id) {
            int centre = lit_centre(img(id));
            EXPECT_GT(centre, previous) << id;
            previous = centre;
        }
    }
}

// Where every value control of the panel prints, at the positions its control table uses.
struct TableControl {
    int x, y;
};
const TableControl GENERAL[] = {
    {3, 159},   {3, 173},   {3, 187},   {3, 219},   {3, 233},   {3, 247},   {98, 160},  {98, 174},
    {98, 218},  {98, 232},  {98, 246},  {185, 160}, {185, 195}, {185, 209}, {185, 247}, {653, 159},
    {653, 173}, {653, 187}, {653, 221}, {211, 293}, {321, 293}, {432, 293}, {542, 293},
};
const int GRID_X[] = {286, 341, 396, 451, 506, 561};
const int GRID_Y[] = {161, 175, 189, 203, 217, 231};

std::vector<TableControl> value_controls() {
    std::vector<TableControl> all(std::begin(GENERAL), std::end(GENERAL));
    for (int y : GRID_Y) {
        for (int x : GRID_X) {
            all.push_back({x, y});
        }
    }
    return all;
}

// The text runs from x + 38 for up to six glyphs of six columns, on rows y + 2 .. y + 9; the
// background there must be the glyphs' own black, or the opaque copies leave a patchwork.
TEST_F(SkinTest, ValueFieldsAreBlackWhereTheControlsPrint) {
    QImage panel = img(153);
    for (const TableControl& c : value_controls()) {
        QRect text(c.x + 38, c.y + 2 - skin::PANEL_TOP, 36, 8);
        for (int y = text.top(); y <= text.bottom(); ++y) {
            for (int x = text.left(); x <= text.right(); ++x) {
                ASSERT_EQ(panel.pixel(x, y) & 0xffffff, skin::DISPLAY & 0xffffff)
                    << "control at (" << c.x << ", " << c.y << "), pixel (" << x << ", "
                    << y + skin::PANEL_TOP << ")";
            }
        }
    }
    // The time display shows blanks as background: its window is black too.
    QRect time(405, 33 - skin::PANEL_TOP, 80, 15);
    for (int x = time.left(); x <= time.right(); ++x) {
        EXPECT_EQ(panel.pixel(x, time.top()) & 0xffffff, skin::DISPLAY & 0xffffff) << x;
    }
}

// The skin's own list of control positions agrees with the control table, so captions and
// fields stand where the controls are.
TEST_F(SkinTest, PanelSpotsMatchTheControlTable) {
    std::set<std::pair<int, int>> expected;
    for (const TableControl& c : value_controls()) {
        expected.insert({c.x, c.y});
    }
    std::set<std::pair<int, int>> values, arrows_only;
    for (const skin::ControlSpot& s : skin::panel_control_spots()) {
        (s.shows_value ? values : arrows_only).insert({s.x, s.y});
    }
    EXPECT_EQ(values, expected);
    std::set<std::pair<int, int>> all_row;
    for (int x : GRID_X) {
        all_row.insert({x, 245});
    }
    EXPECT_EQ(arrows_only, all_row);
    EXPECT_EQ(skin::panel_control_spots().size(), 65u);
}

TEST_F(SkinTest, IconsAreDrawnAndTellTheirCommandsApart) {
    std::set<QByteArray> distinct;
    for (int id = 281; id <= 318; ++id) {
        if (id == 316) {
            continue;
        }
        QImage icon = skin_->image(id).toImage().convertToFormat(QImage::Format_ARGB32);
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
    QImage strip = skin_->image(611).toImage().convertToFormat(QImage::Format_ARGB32);
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
