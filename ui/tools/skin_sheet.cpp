// skin_sheet: renders every skin image onto one contact sheet, enlarged without smoothing,
// for checking the artwork by eye. It also paints a mock of the panel as the window shows it
// (meters, lamps, keys, the time and a value in every field, set with the panel's own font
// metrics), so captions and fields can be checked against the controls.
//
//   QT_QPA_PLATFORM=offscreen skin_sheet OUT.png [--scale N] [--panel PANEL.png]
//                                            [--crop X,Y,W,H]   (of the panel, client pixels)
//                                            [--no-panels]      (the small images only)
//                                            [--icons]          (the icons only)
//                                            [--product ART.png] (the About picture, 1x)
#include "ui/skin.h"
#include "ui/skin_art.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <QGuiApplication>
#include <QPainter>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

using namespace zv;
using namespace zv::skin;

namespace {

// The small font as the window sets it: the pen starts one column in; "." and ":" take three
// columns and advance four, other glyphs five and six; a blank advances six.
void small_text(QPainter& p, const Skin& skin, int x, int y, std::string_view text) {
    const QPixmap& font = skin.image(SkinId::SmallFont);
    int pen = x + 1;
    for (char raw : text) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
        if (c == ' ') {
            pen += 6;
            continue;
        }
        size_t at = SMALL_FONT_GRID.find(c);
        if (at == std::string_view::npos) {
            continue;
        }
        int sx = static_cast<int>(at % 12) * 5;
        int sy = static_cast<int>(at / 12) * 10;
        bool narrow = c == '.' || c == ':';
        p.drawPixmap(pen, y + 2, font, sx, sy, narrow ? 3 : 5, 8);
        pen += narrow ? 4 : 6;
    }
}

void large_text(QPainter& p, const Skin& skin, int x, int y, std::string_view text) {
    const QPixmap& digits = skin.image(SkinId::LargeDigits);
    int pen = x;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            p.drawPixmap(pen, y, digits, 20 * (c - '0'), 0, 11, 15);
            pen += 13;
        } else if (c == ':') {
            p.drawPixmap(pen, y, digits, 200, 0, 8, 15);
            pen += 10;
        } else if (c == '/') {
            p.drawPixmap(pen, y, digits, 220, 0, 11, 15);
            pen += 13;
        } else if (c == ' ') {
            pen += 13;
        }
    }
}

struct Sample {
    int x, y;
    const char* text;
};

// A value for every control, as the panel would show typical settings.
constexpr Sample SAMPLES[] = {
    {3, 159, " 10.0"},   {3, 173, "-24.0"},   {3, 187, "m.slow"},   {3, 219, "  80"},
    {3, 233, "  4.5"},   {3, 247, "  0.7"},   {98, 160, " 25ms"},   {98, 174, "100ms"},
    {98, 218, "-12.0"},  {98, 232, " 7ms"},   {98, 246, "3.Lv2"},   {185, 160, " 75us"},
    {185, 195, " -8.0"}, {185, 209, " 12.0"}, {185, 247, "   30"},  {653, 159, " -1.0"},
    {653, 173, " thru"}, {653, 187, "ADPTV"}, {653, 221, "  0.5"},  {211, 293, "15.5cm"},
    {321, 293, " 4.0m"}, {432, 293, "  40%"}, {542, 293, " L<>R "},
};
constexpr int GRID_X[] = {286, 341, 396, 451, 506, 561};
constexpr const char* GRID_TEXT[6][6] = {
    {" ---", "  3.0", "  8.0", "-12.0", " -1.5", "  0.0"},
    {" ---", "  2.5", " 10.0", "-10.0", " -2.0", " -1.0"},
    {" ---", "  2.0", " 12.0", " -9.5", " -2.5", " -2.0"},
    {" ---", "  1.5", " 12.0", " -9.0", " -3.0", " -3.0"},
    {" ---", "  1.0", " 14.0", " -8.5", " -3.5", " -6.0"},
    {" ---", "  0.5", " 16.0", " -8.0", " -4.0", "-96.0"},
};

// The panel as the window paints it, at client coordinates 0..311 (the toolbar rows blank).
QImage mock_panel(const Skin& skin) {
    QImage img(745, 312, QImage::Format_RGB32);
    img.fill(qRgb(0xe8, 0xe8, 0xe8));
    QPainter p(&img);
    p.drawPixmap(0, 28, skin.image(SkinId::PanelBackground));

    // Switches with their lamps; BYPASS held down.
    struct Switch {
        int id, x, y;
        bool lit, pressed;
    };
    constexpr Switch SWITCHES[] = {
        {248, 425, 93, false, true},  {244, 425, 109, true, false},  {246, 425, 125, false, false},
        {254, 536, 93, true, false},  {252, 536, 109, false, false}, {250, 536, 125, true, false},
        {277, 647, 93, false, false}, {273, 30, 293, true, false},
    };
    for (const Switch& s : SWITCHES) {
        int id = s.id == 277 && s.pressed ? 612 : s.id + (s.pressed ? 1 : 0);
        p.drawPixmap(s.x, s.y, skin.image(id));
        p.drawPixmap(s.x - 15, s.y, skin.image(s.lit ? SkinId::LedOn : SkinId::LedOff));
    }
    p.drawPixmap(635, 293, skin.image(SkinId::InitButton));

    // Transport: all six, play held down.
    struct Key {
        int x, sx, w;
        bool pressed;
    };
    constexpr Key KEYS[] = {{420, 0, 30, false},  {450, 30, 30, false},  {480, 60, 40, false},
                            {520, 100, 40, true}, {560, 140, 30, false}, {590, 170, 30, false}};
    for (const Key& k : KEYS) {
        p.drawPixmap(k.x, 57, skin.image(SkinId::TransportStrip), k.sx, k.pressed ? 25 : 0, k.w,
                     25);
    }
    p.drawPixmap(495, 34, skin.image(SkinId::ChannelsStereo));
    p.drawPixmap(575, 34, skin.image(SkinId::Rate44k));
    large_text(p, skin, 405, 33, " 01:23");

    // Meters: rising ones mirrored with their bottom at 118, 12-px ones squeezed.
    struct Meter {
        int x, w, level;
        bool rising;
    };
    constexpr Meter METERS[] = {
        {6, 12, 9, true},     {33, 24, 20, true},  {57, 24, 22, true},   {94, 24, 6, false},
        {118, 24, 4, false},  {145, 12, 3, false}, {159, 12, 14, true},  {187, 24, 2, false},
        {211, 24, 5, false},  {235, 24, 8, false}, {259, 24, 12, false}, {283, 24, 17, false},
        {307, 24, 23, false}, {345, 24, 24, true}, {369, 24, 19, true},
    };
    for (const Meter& m : METERS) {
        QImage meter = skin.meter(m.level).toImage();
        if (m.rising) {
            meter = meter.mirrored(false, true);
        }
        if (m.w != 24) {
            meter = meter.scaled(m.w, 75);
        }
        p.drawImage(m.x, 44, meter);
    }
    for (int band = 0; band < 6; ++band) {
        p.drawPixmap(187 + 24 * band, 120,
                     skin.image(band == 5 ? SkinId::ClipBarOn : SkinId::ClipBarOff));
        SkinId gate = band < 2 ? SkinId::GateLed3 : band < 4 ? SkinId::GateLed1 : SkinId::GateLed0;
        p.drawPixmap(305, 163 + 14 * band, skin.image(gate));
    }
    p.drawPixmap(345, 120, skin.image(SkinId::ClipBarOn));
    p.drawPixmap(369, 120, skin.image(SkinId::ClipBarOff));

    for (const Sample& s : SAMPLES) {
        small_text(p, skin, s.x + 37, s.y, s.text);
    }
    const int rows[] = {161, 175, 189, 203, 217, 231};
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) {
            small_text(p, skin, GRID_X[c] + 37, rows[r], GRID_TEXT[r][c]);
        }
    }
    // Arrows: one control shows both pressed.
    for (const ControlSpot& s : panel_control_spots()) {
        bool pressed = s.x == 98 && s.y == 218;
        p.drawPixmap(s.x + 30, s.y,
                     skin.image(pressed ? SkinId::ArrowDownPressed : SkinId::ArrowDown));
        p.drawPixmap(s.x + 75, s.y, skin.image(pressed ? SkinId::ArrowUpPressed : SkinId::ArrowUp));
    }
    return img;
}

// A sheet of every image, captioned with its number, in rows that wrap at the sheet width.
class Sheet {
public:
    explicit Sheet(int width) : width_(width) {}

    void place(const QImage& img, const std::string& label) {
        int w = std::max(img.width(), text_width(label, LABEL) + 2);
        if (x_ + w > width_) {
            newline();
        }
        items_.push_back({img, label, x_, y_});
        x_ += w + 6;
        row_h_ = std::max(row_h_, img.height() + 11);
    }
    void newline() {
        x_ = 4;
        y_ += row_h_ + 4;
        row_h_ = 0;
    }
    QImage render(int scale) {
        newline();
        Canvas canvas(width_, y_, qRgb(0x8a, 0x8e, 0x93));
        for (const Item& it : items_) {
            draw_text(canvas, it.x, it.y, it.label, LABEL);
        }
        QImage out = canvas.take();
        QPainter p(&out);
        for (const Item& it : items_) {
            p.drawImage(it.x, it.y + 10, it.img);
        }
        p.end();
        return out.scaled(out.width() * scale, out.height() * scale);
    }

private:
    static constexpr TextStyle LABEL{PixelFont::Caption, qRgb(0x10, 0x10, 0x10), false};
    struct Item {
        QImage img;
        std::string label;
        int x, y;
    };
    int width_;
    int x_ = 4, y_ = 0, row_h_ = 0;
    std::vector<Item> items_;
};

void place_small(Sheet& sheet, const Skin& skin) {
    for (int id = 128; id <= 152; ++id) {
        sheet.place(skin.image(id).toImage(), std::to_string(id - 128));
    }
    sheet.newline();
    for (int id : {154, 155, 156, 157, 158, 159, 256, 257, 278, 613, 614, 615, 171, 172, 173, 174,
                   175, 176, 177}) {
        sheet.place(skin.image(id).toImage(), std::to_string(id));
    }
    sheet.newline();
    for (int id : {248, 249, 244, 245, 246, 247, 254, 255, 252, 253, 250, 251, 277, 612, 273, 274,
                   275, 276}) {
        sheet.place(skin.image(id).toImage(), std::to_string(id));
    }
    sheet.newline();
    for (int id : {260, 243, 261}) {
        sheet.place(skin.image(id).toImage(), std::to_string(id));
    }
    sheet.newline();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: skin_sheet OUT.png [--scale N] [--panel PANEL.png] [--crop X,Y,W,H]\n"
                     "                  [--no-panels | --icons] [--product ART.png]\n");
        return 2;
    }
    int scale = 2;
    const char* panel_out = nullptr;
    const char* product_out = nullptr;
    QRect crop(0, 0, 745, 312);
    bool panels = true;
    bool icons_only = false;
    for (int i = 2; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--no-panels") == 0) {
            panels = false;
            --i;
        } else if (std::strcmp(argv[i], "--icons") == 0) {
            panels = false;
            icons_only = true;
            --i;
        } else if (i + 1 >= argc) {
            break;
        } else if (std::strcmp(argv[i], "--scale") == 0) {
            scale = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--panel") == 0) {
            panel_out = argv[i + 1];
        } else if (std::strcmp(argv[i], "--product") == 0) {
            product_out = argv[i + 1];
        } else if (std::strcmp(argv[i], "--crop") == 0) {
            int x = 0, y = 0, w = 0, h = 0;
            if (std::sscanf(argv[i + 1], "%d,%d,%d,%d", &x, &y, &w, &h) == 4) {
                crop = QRect(x, y, w, h);
            }
        }
    }

    Skin skin;
    QImage panel = mock_panel(skin);
    QImage shown = panel.copy(crop);
    if (panel_out && !shown.scaled(shown.width() * scale, shown.height() * scale).save(panel_out)) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", panel_out);
        return 1;
    }

    if (product_out && !skin.image(SkinId::ProductArt).save(product_out)) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", product_out);
        return 1;
    }

    Sheet sheet(icons_only ? 470 : 760);
    if (panels) {
        sheet.place(panel, "panel as shown (mock)");
        sheet.newline();
        sheet.place(skin.image(SkinId::PanelBackground).toImage(), "153 background");
        sheet.newline();
    }
    if (!icons_only) {
        place_small(sheet, skin);
    }
    for (int id = 281; id <= 318; ++id) {
        if (!skin.image(id).isNull()) {
            sheet.place(skin.image(id).toImage(), std::to_string(id));
        }
    }
    sheet.newline();
    sheet.place(skin.image(SkinId::ToolbarStrip).toImage(), "611 toolbar");
    for (int i = 0; i < ROW_ICON_COUNT; ++i) {
        sheet.place(skin.row_icon(i).toImage(), "row " + std::to_string(i));
    }
    sheet.newline();
    for (int size : {16, 24, 32, 48, 64, 128}) {
        sheet.place(skin.window_icon().pixmap(size).toImage(), std::to_string(size));
    }
    if (!icons_only) {
        sheet.place(skin.image(SkinId::ProductArt).toImage(), "160 product");
    }

    if (!sheet.render(scale).save(argv[1])) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
