// The panel background: a meter bridge above (meter wells with scales and captions, the time
// and song display, the transport tray, the switch box) and a control deck below (framed
// groups with titled strips, item captions and a black value field for every control).
//
// Everything is laid out in client coordinates, the ones the window's controls, meters and
// buttons use; the finished picture starts at client row PANEL_TOP.
#include "ui/panel_layout.h"
#include "ui/skin_art.h"
#include "ui/skin_canvas.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <array>
#include <string_view>

namespace zv::skin {
namespace {

constexpr int PANEL_BOTTOM = PANEL_TOP + PANEL_BACKGROUND_HEIGHT;  // one past the last row
constexpr int DECK_TOP = 143;  // the bridge ends with a dark seam at 142

// ---- meter bridge ----

constexpr int METER_BOTTOM = METER_TOP + METER_HEIGHT - 1;  // meters cover 44..118
constexpr int WELL_TOP = METER_TOP - 2;  // wells also hold the clip bars at 120..123
constexpr int WELL_BOTTOM = CLIP_BAR_Y + CLIP_BAR_HEIGHT + 1;

constexpr const MeterRow& meter(MeterSource source) {
    return meter_row(source);
}
constexpr int centre(MeterSource source) {
    return meter(source).x + meter(source).width / 2;
}

// The meters' wells, each around a run of neighbouring meters, with its title above.
struct MeterGroup {
    MeterSource first, last;
    std::string_view title;
};

constexpr MeterGroup METER_GROUPS[] = {
    {MeterSource::Enhancer, MeterSource::Enhancer, ""},
    {MeterSource::InputL, MeterSource::InputR, "Peak (%)"},
    {MeterSource::AgcLo, MeterSource::AgcHi, "AGC (dB)"},
    {MeterSource::HfHeld, MeterSource::HfLevel, "PreE"},
    {MeterSource::Band1, MeterSource::Band6, "Multiband Limiter (dB)"},
    {MeterSource::OutputL, MeterSource::OutputR, "Peak (%)"},
};

// Captions under the meters, centred this far from a meter's centre.
struct MeterCaption {
    MeterSource meter;
    int dx;
    std::string_view text;
};

constexpr MeterCaption METER_CAPTIONS[] = {
    {MeterSource::Enhancer, 0, "Enh"}, {MeterSource::InputL, -3, "L"},
    {MeterSource::InputR, -12, "in"},  {MeterSource::InputR, 3, "R"},
    {MeterSource::AgcLo, 0, "Lo"},     {MeterSource::AgcHi, 0, "Hi"},
    {MeterSource::HfHeld, 0, "lm"},    {MeterSource::HfLevel, 0, "lv"},
    {MeterSource::Band1, 0, "160"},    {MeterSource::Band2, 0, "400"},
    {MeterSource::Band3, 0, "800"},    {MeterSource::Band4, 0, "1.6"},
    {MeterSource::Band5, 0, "3.2"},    {MeterSource::Band6, 0, "6.4"},
    {MeterSource::OutputL, -4, "L"},   {MeterSource::OutputR, -12, "out"},
    {MeterSource::OutputR, 4, "R"},
};

// Scale marks, tiny print beside the wells. Rising meters are mirrored by the window, so a
// rising meter's top segment is the image's bottom one; the rows below are the lit rows of
// the segment a label names.
constexpr int TOP_SEGMENT_ROW = METER_TOP + 2;        // first segment, rows 46..47
constexpr int BOTTOM_SEGMENT_ROW = METER_BOTTOM - 3;  // last segment, rows 115..116
constexpr int HALF_SCALE_ROW = METER_TOP + METER_HEIGHT - 4 - 3 * 11;  // 12 of 24 lit when rising
constexpr int SCALE_GAP = 3;  // between a label and its well's meter

struct ScaleMark {
    MeterSource meter;
    bool right;  // printed right of the meter, else left of it
    int row;     // the segment's upper lit row; the label centres on its two rows
    std::string_view text;
};

constexpr ScaleMark SCALE_MARKS[] = {
    {MeterSource::InputL, false, TOP_SEGMENT_ROW, "100"},
    {MeterSource::InputL, false, HALF_SCALE_ROW, "50"},
    {MeterSource::InputL, false, BOTTOM_SEGMENT_ROW, "0"},
    {MeterSource::AgcLo, false, TOP_SEGMENT_ROW, "0"},
    {MeterSource::AgcLo, false, BOTTOM_SEGMENT_ROW, "-16"},
    {MeterSource::HfLevel, true, TOP_SEGMENT_ROW, "0"},
    {MeterSource::HfLevel, true, BOTTOM_SEGMENT_ROW, "-24"},
    {MeterSource::OutputL, false, TOP_SEGMENT_ROW, "100"},
    {MeterSource::OutputL, false, HALF_SCALE_ROW, "50"},
    {MeterSource::OutputL, false, BOTTOM_SEGMENT_ROW, "0"},
};

// Right-hand boxes around what the window shows there: the display window (time, channels,
// rate), the transport tray (the strip's keys), the switch box (the switches with their lamps)
// and the maker's badge.
constexpr const PanelButtonRow& BOX_FIRST_SWITCH = panel_button(PanelButtonId::Bypass);
constexpr const PanelButtonRow& BOX_LAST_SWITCH = panel_button(PanelButtonId::ContPlay);
constexpr const PanelButtonRow& BOX_RIGHT_SWITCH = panel_button(PanelButtonId::NoiseGate);
constexpr QRect DISPLAY_WINDOW(QPoint(TIME_DISPLAY.x - 5, TIME_DISPLAY.y - 3),
                               QPoint(RATE_INDICATOR.x + RATE_INDICATOR_WIDTH + 3,
                                      RATE_INDICATOR.y + INDICATOR_HEIGHT + 4));
constexpr QRect TRANSPORT_TRAY(TRANSPORT_BUTTONS[0].x - 3, TRANSPORT_Y - 2,
                               TRANSPORT_STRIP_WIDTH + 6, TRANSPORT_HEIGHT + 4);
constexpr QRect SWITCH_BOX(QPoint(BOX_FIRST_SWITCH.x - LED_OFFSET - 9, BOX_FIRST_SWITCH.y - 3),
                           QPoint(BOX_RIGHT_SWITCH.x + BOX_RIGHT_SWITCH.width + 1,
                                  BOX_LAST_SWITCH.y + BOX_LAST_SWITCH.height));
constexpr QRect BADGE(679, 30, 63, 54);

void sunken(Canvas& c, const QRect& r, QRgb fill, QRgb dark, QRgb light) {
    c.fill(r, fill);
    c.bevel(r.adjusted(-1, -1, 1, 1), dark, light);
}

void draw_bridge(Canvas& c) {
    c.vgradient(QRect(0, PANEL_TOP, PANEL_WIDTH, DECK_TOP - 1 - PANEL_TOP), BRIDGE_LIGHT, BRIDGE);
    c.hline(0, PANEL_WIDTH - 1, PANEL_TOP, BRIDGE_LIGHT);
    c.hline(0, PANEL_WIDTH - 1, DECK_TOP - 1, EDGE_DARK);

    const TextStyle title{PixelFont::Caption, BRIDGE_TEXT, false};
    const TextStyle caption{PixelFont::Caption, BRIDGE_TEXT, false};
    const TextStyle scale{PixelFont::Tiny, BRIDGE_TEXT_DIM, false};

    for (const MeterGroup& g : METER_GROUPS) {
        const int x0 = meter(g.first).x;
        const int x1 = meter(g.last).x + meter(g.last).width - 1;
        sunken(c, QRect(x0, WELL_TOP, x1 - x0 + 1, WELL_BOTTOM - WELL_TOP + 1), WELL, EDGE_DARK,
               BRIDGE_LIGHT);
        if (!g.title.empty()) {
            draw_text_centred(c, (x0 + x1 + 1) / 2, 32, g.title, title);
        }
    }
    for (const MeterCaption& m : METER_CAPTIONS) {
        draw_text_centred(c, centre(m.meter) + m.dx, 129, m.text, caption);
    }
    for (const ScaleMark& s : SCALE_MARKS) {
        const MeterRow& m = meter(s.meter);
        int top = s.row - 1;  // five rows centred on the segment's two
        if (s.right) {
            draw_text(c, m.x + m.width + SCALE_GAP - 1, top, s.text, scale);
        } else {
            draw_text_right(c, m.x - SCALE_GAP, top, s.text, scale);
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

// A control's value field: one column left of its text, 38 wide, 12 rows high; its caption
// ends two columns before the down arrow.
constexpr int FIELD_DX = CONTROL_TEXT_DX - 1;
constexpr int FIELD_W = UP_ARROW_DX - DOWN_ARROW_DX - 7;
constexpr int ROW_H = ARROW_HEIGHT;
constexpr int CAPTION_RIGHT_DX = DOWN_ARROW_DX - 3;
constexpr int STRIP_ROWS = 10;  // a group's title strip, under its top line
constexpr int ROW_HEAD_RIGHT = GATE_LED_X - 3;

void value_field(Canvas& c, int x, int y) {
    sunken(c, QRect(x + FIELD_DX, y, FIELD_W, ROW_H), DISPLAY, DECK_DARK, DECK_LIGHT);
}

void draw_deck(Canvas& c) {
    c.fill(0, DECK_TOP, PANEL_WIDTH, PANEL_BOTTOM - DECK_TOP, DECK);

    const TextStyle title{PixelFont::Caption, TITLE_TEXT, false};
    const TextStyle head{PixelFont::Caption, TITLE_TEXT, false};
    const TextStyle caption{PixelFont::Caption, DECK_TEXT, false};

    for (const PanelGroupRow& g : PANEL_GROUPS) {
        c.fill(g.x0 + 1, g.y0 + 1, g.x1 - g.x0 - 1, STRIP_ROWS, TITLE_STRIP);
        c.frame(QRect(QPoint(g.x0, g.y0), QPoint(g.x1, g.y1)), RULE);
        if (g.title[0] != '\0') {
            draw_text(c, g.x0 + 4, g.y0 + 2, g.title, title);
        }
    }

    // The Virtual Room row prints its captions above the fields, the others left of them.
    for (const GeneralControlPlace& item : GENERAL_CONTROL_PLACES) {
        const ClientPoint at = item.at;
        if (item.group == PanelGroup::VirtualRoom) {
            draw_text_centred(c, at.x + FIELD_DX + FIELD_W / 2, 280, item.caption, caption);
        } else {
            draw_text_right(c, at.x + CAPTION_RIGHT_DX, at.y + 2, item.caption, caption);
        }
        value_field(c, at.x, at.y);
    }

    // The band grid: column heads in the strip, band names down the left, the ALL row
    // parted from the bands by a rule. ALL controls have no value; a slot between their
    // arrows shows where to press.
    const PanelGroupRow& grid = panel_group(PanelGroup::BandGrid);
    for (int col = 0; col < BAND_COLUMN_COUNT; ++col) {
        const int x = BAND_COLUMN_X[static_cast<size_t>(col)];
        draw_text_centred(c, x + FIELD_DX + FIELD_W / 2, grid.y0 + 2,
                          BAND_COLUMN_HEADS[static_cast<size_t>(col)], head);
        for (int row = 0; row < BAND_ROW_COUNT; ++row) {
            value_field(c, x, BAND_ROW_Y + BAND_ROW_STEP * row);
        }
        QRect slot(x + FIELD_DX, ALL_ROW_Y + 4, FIELD_W, 4);
        sunken(c, slot, DECK_DARK, DECK_DARK, DECK_LIGHT);
    }
    draw_text(c, grid.x0 + 4, grid.y0 + 2, "Band", head);
    for (int row = 0; row < BAND_ROW_COUNT; ++row) {
        draw_text_right(c, ROW_HEAD_RIGHT, BAND_ROW_Y + BAND_ROW_STEP * row + 2,
                        BAND_ROW_HEADS[static_cast<size_t>(row)], caption);
    }
    c.hline(grid.x0 + 2, grid.x1 - 2, ALL_ROW_Y - 2, RULE);
    draw_text_right(c, ROW_HEAD_RIGHT, ALL_ROW_Y + 2, ALL_ROW_HEAD, caption);
}

}  // namespace

QImage panel_background() {
    Canvas c(PANEL_WIDTH, PANEL_BACKGROUND_HEIGHT, BRIDGE);
    c.set_origin(0, -PANEL_TOP);
    draw_bridge(c);
    draw_deck(c);
    return c.take();
}

}  // namespace zv::skin
