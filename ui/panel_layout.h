// Where everything of the panel sits. Coordinates are client coordinates of the area below the
// menu bar: the toolbar fills y 0..27 (its height T is held at 28), the panel's background
// starts at y 28 and the playlist view at panel_height. Every position below is given in
// these coordinates; the panel widget turns its own points into them through PanelMapping
// alone, for painting and for hit tests.
#pragma once

#include <array>
#include <cstddef>

#include "ui/skin_id.h"

namespace zv {

constexpr int TOOLBAR_HEIGHT = 28;                  // T
constexpr int PANEL_WIDTH = 745;                    // the client width, fixed
constexpr int PANEL_TOP = 28;                       // top of panel_rect and of the background image
constexpr int PANEL_HEIGHT = TOOLBAR_HEIGHT + 287;  // panel_height: where the playlist begins
constexpr int PANEL_RECT_BOTTOM = TOOLBAR_HEIGHT + 286;
constexpr int PANEL_BACKGROUND_HEIGHT = 284;  // the image; the panel's grey continues below
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
    SkinId normal_image;
    SkinId pressed_image;
    int x, y, width, height;
    const char* caption;  // printed on the key; also its name for screen readers
};

constexpr int SWITCH_WIDTH = 93;
constexpr int SWITCH_HEIGHT = 15;
constexpr int INIT_WIDTH = 34;
constexpr int LED_SIZE = 14;
constexpr int LED_OFFSET = 15;  // a switch's LED sits this far left of the button

constexpr std::array<PanelButtonRow, PANEL_BUTTON_COUNT> PANEL_BUTTONS = {{
    {PanelButtonId::Bypass, SkinId::Bypass, SkinId::BypassPressed, 425, TOOLBAR_HEIGHT + 65,
     SWITCH_WIDTH, SWITCH_HEIGHT, "BYPASS"},
    {PanelButtonId::BassEq, SkinId::BassEq, SkinId::BassEqPressed, 425, TOOLBAR_HEIGHT + 81,
     SWITCH_WIDTH, SWITCH_HEIGHT, "BASS EQ"},
    {PanelButtonId::BassPhase, SkinId::BassPhase, SkinId::BassPhasePressed, 425,
     TOOLBAR_HEIGHT + 97, SWITCH_WIDTH, SWITCH_HEIGHT, "BASS PHASE"},
    {PanelButtonId::StEnhance, SkinId::StEnhance, SkinId::StEnhancePressed, 536,
     TOOLBAR_HEIGHT + 65, SWITCH_WIDTH, SWITCH_HEIGHT, "ST ENHANCE"},
    {PanelButtonId::Deemphasis, SkinId::Deemphasis, SkinId::DeemphasisPressed, 536,
     TOOLBAR_HEIGHT + 81, SWITCH_WIDTH, SWITCH_HEIGHT, "DE-EMPHASIS"},
    {PanelButtonId::ContPlay, SkinId::ContPlay, SkinId::ContPlayPressed, 536, TOOLBAR_HEIGHT + 97,
     SWITCH_WIDTH, SWITCH_HEIGHT, "CONT. PLAY"},
    {PanelButtonId::NoiseGate, SkinId::NoiseGate, SkinId::NoiseGatePressed, 647,
     TOOLBAR_HEIGHT + 65, SWITCH_WIDTH, SWITCH_HEIGHT, "NOISE GATE"},
    {PanelButtonId::VirtualRoom, SkinId::VirtualRoom, SkinId::VirtualRoomPressed, 30,
     TOOLBAR_HEIGHT + 265, SWITCH_WIDTH, SWITCH_HEIGHT, "VIRTUAL ROOM"},
    {PanelButtonId::Init, SkinId::InitButton, SkinId::InitButtonPressed, 635, TOOLBAR_HEIGHT + 265,
     INIT_WIDTH, SWITCH_HEIGHT, "INIT"},
}};
constexpr const PanelButtonRow& panel_button(PanelButtonId id) {
    return PANEL_BUTTONS[static_cast<std::size_t>(id)];
}

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

constexpr int TRANSPORT_STRIP_WIDTH = 200;

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
constexpr const MeterRow& meter_row(MeterSource source) {
    return METERS[static_cast<std::size_t>(source)];
}

constexpr int GATE_LED_SIZE = 9;
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

// The lower band: 65 controls, each a value text between two arrows, at the places below.
// Geometry of one control relative to its (x, y):
constexpr int CONTROL_TEXT_DX = 37;  // the value text (its first glyph one column further)
constexpr int DOWN_ARROW_DX = 30;    // the arrow images, 5 x 12
constexpr int UP_ARROW_DX = 75;
constexpr int ARROW_WIDTH = 5;
constexpr int ARROW_HEIGHT = 12;
// The arrows' hit zones, both ends included, over rows y..y + 12.
constexpr int DOWN_ARROW_FROM = 30;
constexpr int DOWN_ARROW_TO = 40;
constexpr int UP_ARROW_FROM = 70;
constexpr int UP_ARROW_TO = 80;
constexpr int ARROW_ZONE_HEIGHT = 12;

// The six columns of the band grid, left to right, and its six band rows (160 Hz at the top)
// above the ALL row.
enum class BandColumn { GateTh, Gain, LmDrv, VcaTh, ClipTh, OutMix };
constexpr int BAND_COLUMN_COUNT = 6;
constexpr int BAND_ROW_COUNT = 6;
constexpr std::array<int, BAND_COLUMN_COUNT> BAND_COLUMN_X = {286, 341, 396, 451, 506, 561};
constexpr int BAND_ROW_Y = 161;
constexpr int BAND_ROW_STEP = 14;
constexpr int ALL_ROW_Y = 245;

// The general controls, in the order of the table: the groups left to right, then the
// Virtual Room row, then the ALL row (one per band column, in column order).
enum class GeneralControl {
    AgcDrive,
    AgcThreshold,
    AgcRelease,
    BassEqFreq,
    BassEqGain,
    BassEqQ,
    MbAttack,
    MbRelease,
    StereoLevel,
    StereoDelay,
    StereoType,
    Preemphasis,
    HfThreshold,
    HfDrive,
    BassAttack,
    FinalClipThreshold,
    FinalLpf,
    FinalClipType,
    OvershootThreshold,
    InterauralDelay,
    RoomSize,
    ReverbLevel,
    TestChannels,
    AllGateTh,
    AllGain,
    AllLmDrv,
    AllVcaTh,
    AllClipTh,
    AllOutMix,
};
constexpr int GENERAL_CONTROLS = 29;
constexpr int ALL_ROW_FIRST = static_cast<int>(GeneralControl::AllGateTh);

// The framed groups of the lower band, with the titles printed in their strips (outlines
// inclusive; neighbours share them). The band grid's strip carries its column heads instead.
enum class PanelGroup {
    Agc,
    BassEq,
    MbAttackRelease,
    StereoEnhancer,
    Preemphasis,
    HfLimiter,
    BassAttack,
    BandGrid,
    FinalClipper,
    OvershootCutter,
    VirtualRoom,
};
struct PanelGroupRow {
    int x0, y0, x1, y1;
    const char* title;
};
constexpr int PANEL_GROUP_COUNT = 11;
constexpr std::array<PanelGroupRow, PANEL_GROUP_COUNT> PANEL_GROUPS = {{
    {0, 144, 89, 204, "2 Band AGC"},
    {0, 204, 89, 264, "Bass EQ"},
    {89, 144, 181, 204, "MB Atck/Rel"},
    {89, 204, 181, 264, "Stereo Enh."},
    {181, 144, 266, 181, "Pre-emphasis"},
    {181, 181, 266, 233, "HF Limiter"},
    {181, 233, 266, 264, "Bass Attack"},
    {266, 144, 646, 264, ""},
    {646, 144, 744, 204, "Final Clipper"},
    {646, 204, 744, 264, "Ovsht Cutter"},
    {0, 264, 744, 311, "Virtual Room for Headphones"},
}};
constexpr const PanelGroupRow& panel_group(PanelGroup g) {
    return PANEL_GROUPS[static_cast<std::size_t>(g)];
}

// The band grid's column heads and band names.
constexpr std::array<const char*, BAND_COLUMN_COUNT> BAND_COLUMN_HEADS = {
    "Gate Th.", "Gain", "Lm Drv.", "VCA Th.", "Clip Th.", "Out Mix"};
constexpr std::array<const char*, BAND_ROW_COUNT> BAND_ROW_HEADS = {"160",  "400",  "800",
                                                                    "1.6k", "3.2k", "6.4k"};
constexpr const char* ALL_ROW_HEAD = "ALL";

// The general controls before the ALL row: where each sits, its group and the caption printed
// beside it (left of its arrows; above the field in the Virtual Room row).
struct GeneralControlPlace {
    ClientPoint at;
    PanelGroup group;
    const char* caption;
};
constexpr std::array<GeneralControlPlace, ALL_ROW_FIRST> GENERAL_CONTROL_PLACES = {{
    {{3, 159}, PanelGroup::Agc, "Drv."},
    {{3, 173}, PanelGroup::Agc, "Th."},
    {{3, 187}, PanelGroup::Agc, "Rel"},
    {{3, 219}, PanelGroup::BassEq, "Freq"},
    {{3, 233}, PanelGroup::BassEq, "Gain"},
    {{3, 247}, PanelGroup::BassEq, "Q"},
    {{98, 160}, PanelGroup::MbAttackRelease, "Atck"},
    {{98, 174}, PanelGroup::MbAttackRelease, "Rel"},
    {{98, 218}, PanelGroup::StereoEnhancer, "Level"},
    {{98, 232}, PanelGroup::StereoEnhancer, "Delay"},
    {{98, 246}, PanelGroup::StereoEnhancer, "Type"},
    {{185, 160}, PanelGroup::Preemphasis, "Tm"},
    {{185, 195}, PanelGroup::HfLimiter, "Th."},
    {{185, 209}, PanelGroup::HfLimiter, "Drv."},
    {{185, 247}, PanelGroup::BassAttack, "Atck"},
    {{653, 159}, PanelGroup::FinalClipper, "Th."},
    {{653, 173}, PanelGroup::FinalClipper, "LPF"},
    {{653, 187}, PanelGroup::FinalClipper, "Type"},
    {{653, 221}, PanelGroup::OvershootCutter, "Th."},
    {{211, 293}, PanelGroup::VirtualRoom, "Interaural Delay"},
    {{321, 293}, PanelGroup::VirtualRoom, "Rm Size"},
    {{432, 293}, PanelGroup::VirtualRoom, "Rev.Lvl"},
    {{542, 293}, PanelGroup::VirtualRoom, "For Test"},
}};

constexpr int BAND_GRID_CONTROLS = BAND_COLUMN_COUNT * BAND_ROW_COUNT;  // 36
constexpr int CONTROL_COUNT = BAND_GRID_CONTROLS + GENERAL_CONTROLS;    // 65

// Index of the band-grid control of column c and band row r (both 0-based).
constexpr int band_control_index(BandColumn c, int row) {
    return static_cast<int>(c) * BAND_ROW_COUNT + row;
}
// Index of general control g (0-based, table order).
constexpr int general_control_index(int g) {
    return BAND_GRID_CONTROLS + g;
}
constexpr int control_index(GeneralControl g) {
    return general_control_index(static_cast<int>(g));
}

// The place of control `index` of the table.
constexpr ClientPoint control_position(int index) {
    if (index < BAND_GRID_CONTROLS) {
        return {BAND_COLUMN_X[static_cast<std::size_t>(index / BAND_ROW_COUNT)],
                BAND_ROW_Y + BAND_ROW_STEP * (index % BAND_ROW_COUNT)};
    }
    const int g = index - BAND_GRID_CONTROLS;
    if (g >= ALL_ROW_FIRST) {
        return {BAND_COLUMN_X[static_cast<std::size_t>(g - ALL_ROW_FIRST)], ALL_ROW_Y};
    }
    return GENERAL_CONTROL_PLACES[static_cast<std::size_t>(g)].at;
}

}  // namespace zv
