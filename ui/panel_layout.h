// Where everything of the panel sits. Coordinates are client coordinates of the area below the
// menu bar: the toolbar fills y 0..27 (its height T is held at 28), the panel's background
// starts at y 28 and the playlist view at panel_height. Every position below is given in
// these coordinates; the panel widget turns its own points into them through PanelMapping
// alone, for painting and for hit tests.
#pragma once

#include <array>

namespace zv {

constexpr int TOOLBAR_HEIGHT = 28;                  // T
constexpr int PANEL_WIDTH = 745;                    // the client width, fixed
constexpr int PANEL_TOP = 28;                       // top of panel_rect and of the background image
constexpr int PANEL_HEIGHT = TOOLBAR_HEIGHT + 287;  // panel_height: where the playlist begins
constexpr int PANEL_RECT_BOTTOM = TOOLBAR_HEIGHT + 286;
constexpr int PLAYLIST_INITIAL_HEIGHT = 284;
constexpr int MIN_LIST_HEIGHT = 200;  // the window never gets lower than panel_height + 200

struct ClientPoint {
    int x = 0;
    int y = 0;
};

struct ClientRect {
    int x = 0, y = 0, width = 0, height = 0;
    // Strictly inside: a point on the border is outside (the buttons' hit test).
    bool strictly_contains(ClientPoint p) const {
        return x < p.x && p.x < x + width && y < p.y && p.y < y + height;
    }
};

// The panel widget's points and the frame's pixels against client coordinates. The panel is
// drawn at an integer scale (1 or 2, from the screen's device pixel ratio) with plain pixel
// repetition; hit tests undo only the widget's offset below the toolbar, since Qt delivers
// pointer positions in device-independent pixels.
struct PanelMapping {
    int scale = 1;

    static int scale_for_device_pixel_ratio(double ratio) { return ratio >= 1.5 ? 2 : 1; }

    // A point of the panel widget (device-independent pixels) in client coordinates.
    ClientPoint widget_to_client(double wx, double wy) const {
        return {static_cast<int>(wx >= 0 ? wx : wx - 1),
                static_cast<int>(wy >= 0 ? wy : wy - 1) + PANEL_TOP};
    }
    // The frame's pixel origin for a client point: frame = (client - (0, PANEL_TOP)) * scale.
    int frame_x(int client_x) const { return client_x * scale; }
    int frame_y(int client_y) const { return (client_y - PANEL_TOP) * scale; }
    // The panel widget's size in device-independent pixels and the frame's in pixels.
    static constexpr int widget_width() { return PANEL_WIDTH; }
    static constexpr int widget_height() { return PANEL_HEIGHT - PANEL_TOP; }
    int frame_width() const { return widget_width() * scale; }
    int frame_height() const { return widget_height() * scale; }
};

// The eight switch buttons and INIT, in the order of the panel's hit test.
enum class PanelButtonId {
    Bypass,
    BassEq,
    BassPhase,
    StEnhance,
    Deemphasis,
    ContPlay,
    NoiseGate,
    VirtualRoom,
    Init,
};
constexpr int PANEL_BUTTON_COUNT = 9;
constexpr int SWITCH_BUTTON_COUNT = 8;

struct PanelButtonRow {
    PanelButtonId id;
    int normal_image;  // skin resource numbers
    int pressed_image;
    int x, y, width, height;
};

constexpr int SWITCH_WIDTH = 93;
constexpr int SWITCH_HEIGHT = 15;
constexpr int LED_SIZE = 14;
constexpr int LED_OFFSET = 15;  // a switch's LED sits this far left of the button

constexpr std::array<PanelButtonRow, PANEL_BUTTON_COUNT> PANEL_BUTTONS = {{
    {PanelButtonId::Bypass, 248, 249, 425, TOOLBAR_HEIGHT + 65, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::BassEq, 244, 245, 425, TOOLBAR_HEIGHT + 81, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::BassPhase, 246, 247, 425, TOOLBAR_HEIGHT + 97, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::StEnhance, 254, 255, 536, TOOLBAR_HEIGHT + 65, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::Deemphasis, 252, 253, 536, TOOLBAR_HEIGHT + 81, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::ContPlay, 250, 251, 536, TOOLBAR_HEIGHT + 97, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::NoiseGate, 277, 612, 647, TOOLBAR_HEIGHT + 65, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::VirtualRoom, 273, 274, 30, TOOLBAR_HEIGHT + 265, SWITCH_WIDTH, SWITCH_HEIGHT},
    {PanelButtonId::Init, 275, 276, 635, TOOLBAR_HEIGHT + 265, 34, SWITCH_HEIGHT},
}};

enum class TransportId { Back20, Back5, Stop, Play, Forward5, Forward20 };
constexpr int TRANSPORT_COUNT = 6;

struct TransportRow {
    TransportId id;
    int x, width;
    int strip_x;    // source x in the transport strip
    int seek_step;  // 0 for stop and play
};
constexpr int TRANSPORT_Y = TOOLBAR_HEIGHT + 29;
constexpr int TRANSPORT_HEIGHT = 25;
constexpr int TRANSPORT_PRESSED_ROW = 25;  // source y of the pressed images in the strip

constexpr std::array<TransportRow, TRANSPORT_COUNT> TRANSPORT_BUTTONS = {{
    {TransportId::Back20, 420, 30, 0, -20},
    {TransportId::Back5, 450, 30, 30, -5},
    {TransportId::Stop, 480, 40, 60, 0},
    {TransportId::Play, 520, 40, 100, 0},
    {TransportId::Forward5, 560, 30, 140, 5},
    {TransportId::Forward20, 590, 30, 170, 20},
}};

constexpr ClientRect transport_rect(const TransportRow& t) {
    return {t.x, TRANSPORT_Y, t.width, TRANSPORT_HEIGHT};
}
constexpr ClientRect button_rect(const PanelButtonRow& b) {
    return {b.x, b.y, b.width, b.height};
}

// The displays of the upper band.
enum class MeterWay { Falling, Rising };
enum class MeterIndex { Peak, Level25, Level36 };
enum class MeterSource {
    Enhancer,
    InputL,
    InputR,
    AgcLo,
    AgcHi,
    HfHeld,
    HfLevel,
    Band1,
    Band2,
    Band3,
    Band4,
    Band5,
    Band6,
    OutputL,
    OutputR,
};
struct MeterRow {
    MeterSource source;
    int x, width;
    MeterWay way;
    MeterIndex index;
};
constexpr int METER_TOP = 44;
constexpr int METER_HEIGHT = 75;
constexpr int METER_IMAGE_WIDTH = 24;
constexpr int METER_COUNT = 15;
constexpr int CLIP_BAR_Y = 120;
constexpr int CLIP_BAR_WIDTH = 24;
constexpr int CLIP_BAR_HEIGHT = 4;

constexpr std::array<MeterRow, METER_COUNT> METERS = {{
    {MeterSource::Enhancer, 6, 12, MeterWay::Rising, MeterIndex::Level25},
    {MeterSource::InputL, 33, 24, MeterWay::Rising, MeterIndex::Peak},
    {MeterSource::InputR, 57, 24, MeterWay::Rising, MeterIndex::Peak},
    {MeterSource::AgcLo, 94, 24, MeterWay::Falling, MeterIndex::Level36},
    {MeterSource::AgcHi, 118, 24, MeterWay::Falling, MeterIndex::Level36},
    {MeterSource::HfHeld, 145, 12, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::HfLevel, 159, 12, MeterWay::Rising, MeterIndex::Level25},
    {MeterSource::Band1, 187, 24, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::Band2, 211, 24, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::Band3, 235, 24, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::Band4, 259, 24, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::Band5, 283, 24, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::Band6, 307, 24, MeterWay::Falling, MeterIndex::Level25},
    {MeterSource::OutputL, 345, 24, MeterWay::Rising, MeterIndex::Peak},
    {MeterSource::OutputR, 369, 24, MeterWay::Rising, MeterIndex::Peak},
}};
constexpr int BAND_METER_X = 187;  // band b (0-based) at 187 + 24 b
constexpr int OUTPUT_METER_L_X = 345;
constexpr int OUTPUT_METER_R_X = 369;

constexpr int GATE_LED_X = 305;
constexpr int GATE_LED_Y = 163;  // band b (0-based) at 163 + 14 b
constexpr int GATE_LED_STEP = 14;

constexpr ClientPoint CHANNEL_INDICATOR = {495, 34};
constexpr ClientPoint RATE_INDICATOR = {575, 34};
constexpr ClientPoint TIME_DISPLAY = {405, 33};

// Transport strip and indicator sizes (the skin holds the images at these sizes).
constexpr int TRANSPORT_STRIP_HEIGHT = 50;
constexpr int CHANNEL_INDICATOR_WIDTH = 76;
constexpr int RATE_INDICATOR_WIDTH = 93;
constexpr int INDICATOR_HEIGHT = 12;

}  // namespace zv
