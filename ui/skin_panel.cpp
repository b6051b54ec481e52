// The panel background: a meter bridge above (meter wells with scales and captions, the time
// and song display, the transport tray, the switch box) and a control deck below (framed
// groups with titled strips, item captions and a black value field for every control).
//
// Everything is laid out in client coordinates, the ones the window's controls, meters and
// buttons use; the finished picture starts at client row PANEL_TOP.
#include "ui/skin_art.h"
#include "ui/skin_canvas.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <array>
#include <string_view>

namespace zv::skin {
namespace {

constexpr int PANEL_W = 745;
constexpr int PANEL_BOTTOM = PANEL_TOP + 284;  // one past the last client row
constexpr int DECK_TOP = 143;                  // the bridge ends with a dark seam at 142

// ---- meter bridge ----

constexpr int METER_TOP = 44;  // meters cover 44..118
constexpr int METER_BOTTOM = 118;
constexpr int WELL_TOP = 42;  // wells also hold the clip bars at 120..123
constexpr int WELL_BOTTOM = 125;

struct MeterGroup {
    int x0, x1;              // the meters' outer columns
    std::string_view title;  // printed above, centred
};

constexpr MeterGroup METER_GROUPS[] = {
    {6, 17, ""},
    {33, 80, "Peak (%)"},
    {94, 141, "AGC (dB)"},
    {145, 170, "PreE"},
    {187, 330, "Multiband Limiter (dB)"},
    {345, 392, "Peak (%)"},
};

struct MeterCaption {
    int centre_x;
    std::string_view text;
};

constexpr MeterCaption METER_CAPTIONS[] = {
    {12, "Enh"},  {42, "L"},    {57, "in"},   {72, "R"},    {106, "Lo"},  {130, "Hi"},
    {151, "lm"},  {165, "lv"},  {199, "160"}, {223, "400"}, {247, "800"}, {271, "1.6"},
    {295, "3.2"}, {319, "6.4"}, {353, "L"},   {369, "out"}, {385, "R"},
};

// Scale marks, tiny print beside the wells. Rising meters are mirrored by the window, so a
// rising meter's top segment is the image's bottom one; the rows below are the lit rows of
// the segment a label names.
constexpr int TOP_SEGMENT_ROW = METER_TOP + 2;               // first segment, rows 46..47
constexpr int BOTTOM_SEGMENT_ROW = METER_BOTTOM - 3;         // last segment, rows 115..116
constexpr int HALF_SCALE_ROW = METER_TOP + 74 - 3 - 3 * 11;  // 12 of 24 lit when rising

struct ScaleMark {
    int x;  // the label's right edge, or its left edge when `left` is set
    bool left;
    int row;  // the segment's upper lit row; the label centres on its two rows
    std::string_view text;
};

constexpr ScaleMark SCALE_MARKS[] = {
    {30, false, TOP_SEGMENT_ROW, "100"},    {30, false, HALF_SCALE_ROW, "50"},
    {30, false, BOTTOM_SEGMENT_ROW, "0"},   {91, false, TOP_SEGMENT_ROW, "0"},
    {91, false, BOTTOM_SEGMENT_ROW, "-16"}, {173, true, TOP_SEGMENT_ROW, "0"},
    {173, true, BOTTOM_SEGMENT_ROW, "-24"}, {342, false, TOP_SEGMENT_ROW, "100"},
    {342, false, HALF_SCALE_ROW, "50"},     {342, false, BOTTOM_SEGMENT_ROW, "0"},
};

// Right-hand boxes: the display window (time at 405,33; channels at 495,34; rate at 575,34),
// the transport tray (strip at 420,57, 200 x 25), the switch box (buttons from 425,93 with
// their lamps 15 px to the left) and the maker's badge.
constexpr QRect DISPLAY_WINDOW(400, 30, 272, 21);
constexpr QRect TRANSPORT_TRAY(417, 55, 206, 29);
constexpr QRect SWITCH_BOX(401, 90, 341, 51);
constexpr QRect BADGE(679, 30, 63, 54);

void sunken(Canvas& c, const QRect& r, QRgb fill, QRgb dark, QRgb light) {
    c.fill(r, fill);
    c.bevel(r.adjusted(-1, -1, 1, 1), dark, light);
}

void draw_bridge(Canvas& c) {
    c.vgradient(QRect(0, PANEL_TOP, PANEL_W, DECK_TOP - 1 - PANEL_TOP), BRIDGE_LIGHT, BRIDGE);
    c.hline(0, PANEL_W - 1, PANEL_TOP, BRIDGE_LIGHT);
    c.hline(0, PANEL_W - 1, DECK_TOP - 1, EDGE_DARK);

    const TextStyle title{PixelFont::Caption, BRIDGE_TEXT, false};
    const TextStyle caption{PixelFont::Caption, BRIDGE_TEXT, false};
    const TextStyle scale{PixelFont::Tiny, BRIDGE_TEXT_DIM, false};

    for (const MeterGroup& g : METER_GROUPS) {
        sunken(c, QRect(g.x0, WELL_TOP, g.x1 - g.x0 + 1, WELL_BOTTOM - WELL_TOP + 1), WELL,
               EDGE_DARK, BRIDGE_LIGHT);
        if (!g.title.empty()) {
            draw_text_centred(c, (g.x0 + g.x1 + 1) / 2, 32, g.title, title);
        }
    }
    for (const MeterCaption& m : METER_CAPTIONS) {
        draw_text_centred(c, m.centre_x, 129, m.text, caption);
    }
    for (const ScaleMark& s : SCALE_MARKS) {
        int top = s.row - 1;  // five rows centred on the segment's two
        if (s.left) {
            draw_text(c, s.x, top, s.text, scale);
        } else {
            draw_text_right(c, s.x, top, s.text, scale);
        }
    }

    // The display window is black glass; the transport keys and the switches sit in
    // recessed plates.
    sunken(c, DISPLAY_WINDOW, DISPLAY, EDGE_DARK, BRIDGE_LIGHT);
    sunken(c, TRANSPORT_TRAY, BRIDGE_DARK, EDGE_DARK, BRIDGE_LIGHT);
    sunken(c, SWITCH_BOX, BRIDGE_DARK, EDGE_DARK, BRIDGE_LIGHT);

    // The maker's badge: the name with a lamp-coloured "MP3", and what the unit is.
    sunken(c, BADGE, TITLE_STRIP, EDGE_DARK, BRIDGE_LIGHT);
    const int cx = BADGE.center().x() + 1;
    draw_text_centred(c, cx, BADGE.top() + 5, "Zelvonic",
                      TextStyle{PixelFont::Caption, BRIDGE_TEXT, true});
    draw_text_centred(c, cx, BADGE.top() + 17, "MP3",
                      TextStyle{PixelFont::Caption, DISPLAY_INK, true, 2});
    draw_text_centred(c, cx, BADGE.top() + 35, "SOUND",
                      TextStyle{PixelFont::Caption, BRIDGE_TEXT_DIM, false});
    draw_text_centred(c, cx, BADGE.top() + 44, "PROCESSOR",
                      TextStyle{PixelFont::Caption, BRIDGE_TEXT_DIM, false});
}

// ---- control deck ----

// Control geometry relative to a control's (x, y): the value at x + 37 with its first glyph
// at x + 38, arrows at x + 30 and x + 75, all 12 rows high.
constexpr int FIELD_DX = 36;
constexpr int FIELD_W = 38;
constexpr int ROW_H = 12;
constexpr int CAPTION_RIGHT_DX = 27;  // captions end two columns before the down arrow

struct Group {
    int x0, y0, x1, y1;  // outline, inclusive
    std::string_view title;
};

// Framed groups share their outlines. Columns part at x 89, 181, 266 and 646; a group's
// title strip takes the ten rows under its top line.
constexpr Group GROUPS[] = {
    {0, 144, 89, 204, "2 Band AGC"},
    {0, 204, 89, 264, "Bass EQ"},
    {89, 144, 181, 204, "MB Atck/Rel"},
    {89, 204, 181, 264, "Stereo Enh."},
    {181, 144, 266, 181, "Pre-emphasis"},
    {181, 181, 266, 233, "HF Limiter"},
    {181, 233, 266, 264, "Bass Attack"},
    {266, 144, 646, 264, ""},  // the band grid; its strip carries the column heads
    {646, 144, 744, 204, "Final Clipper"},
    {646, 204, 744, 264, "Ovsht Cutter"},
    {0, 264, 744, 311, "Virtual Room for Headphones"},
};
constexpr int STRIP_ROWS = 10;

struct Item {
    int x, y;
    std::string_view caption;
};

// The general controls with the captions printed left of their arrows.
constexpr Item GENERAL_ITEMS[] = {
    {3, 159, "Drv."},   {3, 173, "Th."},    {3, 187, "Rel"},    {3, 219, "Freq"},
    {3, 233, "Gain"},   {3, 247, "Q"},      {98, 160, "Atck"},  {98, 174, "Rel"},
    {98, 218, "Level"}, {98, 232, "Delay"}, {98, 246, "Type"},  {185, 160, "Tm"},
    {185, 195, "Th."},  {185, 209, "Drv."}, {185, 247, "Atck"}, {653, 159, "Th."},
    {653, 173, "LPF"},  {653, 187, "Type"}, {653, 221, "Th."},
};

// The Virtual Room row prints its captions above the fields.
constexpr Item ROOM_ITEMS[] = {
    {211, 293, "Interaural Delay"},
    {321, 293, "Rm Size"},
    {432, 293, "Rev.Lvl"},
    {542, 293, "For Test"},
};

struct GridColumn {
    int x;
    std::string_view head;
};

constexpr GridColumn GRID_COLUMNS[] = {
    {286, "Gate Th."}, {341, "Gain"},     {396, "Lm Drv."},
    {451, "VCA Th."},  {506, "Clip Th."}, {561, "Out Mix"},
};
constexpr int GRID_ROWS[] = {161, 175, 189, 203, 217, 231};
constexpr std::string_view GRID_ROW_HEADS[] = {"160", "400", "800", "1.6k", "3.2k", "6.4k"};
constexpr int ALL_ROW = 245;
constexpr int ROW_HEAD_RIGHT = 302;  // the gate lamps sit at 305

void value_field(Canvas& c, int x, int y) {
    sunken(c, QRect(x + FIELD_DX, y, FIELD_W, ROW_H), DISPLAY, DECK_DARK, DECK_LIGHT);
}

void draw_deck(Canvas& c) {
    c.fill(0, DECK_TOP, PANEL_W, PANEL_BOTTOM - DECK_TOP, DECK);

    const TextStyle title{PixelFont::Caption, TITLE_TEXT, false};
    const TextStyle head{PixelFont::Caption, TITLE_TEXT, false};
    const TextStyle caption{PixelFont::Caption, DECK_TEXT, false};

    for (const Group& g : GROUPS) {
        c.fill(g.x0 + 1, g.y0 + 1, g.x1 - g.x0 - 1, STRIP_ROWS, TITLE_STRIP);
        c.frame(QRect(QPoint(g.x0, g.y0), QPoint(g.x1, g.y1)), RULE);
        if (!g.title.empty()) {
            draw_text(c, g.x0 + 4, g.y0 + 2, g.title, title);
        }
    }

    for (const Item& item : GENERAL_ITEMS) {
        draw_text_right(c, item.x + CAPTION_RIGHT_DX, item.y + 2, item.caption, caption);
        value_field(c, item.x, item.y);
    }
    for (const Item& item : ROOM_ITEMS) {
        draw_text_centred(c, item.x + FIELD_DX + FIELD_W / 2, 280, item.caption, caption);
        value_field(c, item.x, item.y);
    }

    // The band grid: column heads in the strip, band names down the left, the ALL row
    // parted from the bands by a rule. ALL controls have no value; a slot between their
    // arrows shows where to press.
    for (const GridColumn& col : GRID_COLUMNS) {
        draw_text_centred(c, col.x + FIELD_DX + FIELD_W / 2, 146, col.head, head);
        for (int row : GRID_ROWS) {
            value_field(c, col.x, row);
        }
        QRect slot(col.x + FIELD_DX, ALL_ROW + 4, FIELD_W, 4);
        sunken(c, slot, DECK_DARK, DECK_DARK, DECK_LIGHT);
    }
    draw_text(c, 270, 146, "Band", head);
    for (size_t i = 0; i < std::size(GRID_ROWS); ++i) {
        draw_text_right(c, ROW_HEAD_RIGHT, GRID_ROWS[i] + 2, GRID_ROW_HEADS[i], caption);
    }
    c.hline(268, 644, ALL_ROW - 2, RULE);
    draw_text_right(c, ROW_HEAD_RIGHT, ALL_ROW + 2, "ALL", caption);
}

constexpr std::array<ControlSpot, 65> make_spots() {
    std::array<ControlSpot, 65> spots{};
    size_t n = 0;
    for (int row : GRID_ROWS) {
        for (const GridColumn& col : GRID_COLUMNS) {
            spots[n++] = {col.x, row, true};
        }
    }
    for (const Item& item : GENERAL_ITEMS) {
        spots[n++] = {item.x, item.y, true};
    }
    for (const Item& item : ROOM_ITEMS) {
        spots[n++] = {item.x, item.y, true};
    }
    for (const GridColumn& col : GRID_COLUMNS) {
        spots[n++] = {col.x, ALL_ROW, false};
    }
    return spots;
}

constexpr std::array<ControlSpot, 65> SPOTS = make_spots();

}  // namespace

std::span<const ControlSpot> panel_control_spots() {
    return SPOTS;
}

QImage panel_background() {
    Canvas c(PANEL_W, PANEL_BOTTOM - PANEL_TOP, BRIDGE);
    c.set_origin(0, -PANEL_TOP);
    draw_bridge(c);
    draw_deck(c);
    return c.take();
}

}  // namespace zv::skin
