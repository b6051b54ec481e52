// The skin's image numbers: every image the panel, the playlist view, the menus and the toolbar
// draw has one, normal and pressed images side by side. Plain data without Qt, so the panel's
// rules and layout name images the same way the skin keeps them.
#pragma once

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
    GateLed0 = 278,  // 9 x 9, gate indicator 0 (closed) .. 3 (open)
    // Menu item images, 16 x 16.
    MenuOpenPlaylist = 281,
    MenuSavePlaylist = 282,
    MenuAddFiles = 283,
    MenuDeviceSettings = 284,
    MenuOpenParams = 285,
    MenuSaveParams = 286,
    MenuPresetDigital = 287,
    MenuPresetInternet = 288,
    MenuPresetFm = 289,
    MenuUser1 = 290,
    MenuUser2 = 291,
    MenuUser3 = 292,
    MenuBypass = 293,
    MenuBassEq = 294,
    MenuBassPhase = 295,
    MenuEnhancer = 296,
    MenuVirtualSpeaker = 297,
    MenuVirtualInit = 298,
    MenuOnAir = 299,
    MenuDeemphasis = 300,
    MenuPlay = 301,
    MenuStop = 302,
    MenuUp = 303,
    MenuDown = 304,
    MenuContinuous = 305,
    MenuSortDescending = 306,
    MenuSortAscending = 307,
    MenuPeakLevel = 308,
    MenuRemoveAll = 309,
    MenuExportSong = 310,
    MenuExportAll = 311,
    MenuEncoderSettings = 312,
    MenuAbout = 313,
    MenuQuit = 314,
    MenuManual = 315,
    MenuWeb = 317,
    MenuDelete = 318,
    ToolbarStrip = 611,  // 464 x 15: 29 images 16 px wide (ToolbarImage)
    NoiseGatePressed = 612,
    GateLed1 = 613,
    GateLed2 = 614,
    GateLed3 = 615,
    None = 0,  // no image
};

// The images of the toolbar strip, by their place in it.
enum class ToolbarImage : int {
    AddFiles = 0,
    Play = 1,
    Stop = 2,
    OpenPlaylist = 3,
    SavePlaylist = 4,
    DeviceSettings = 5,
    OpenParams = 6,
    SaveParams = 7,
    Bypass = 8,
    BassEq = 9,
    BassPhase = 10,
    Enhancer = 11,
    ExportSong = 12,
    ExportAll = 13,
    EncoderSettings = 14,
    PeakLevel = 15,
    Continuous = 16,
    OnAir = 17,
    PresetDigital = 18,
    PresetInternet = 19,
    PresetFm = 20,
    User1 = 21,
    User2 = 22,
    User3 = 23,
    Up = 24,
    Down = 25,
    About = 26,
    Manual = 27,
    RemoveAll = 28,
};
constexpr int TOOLBAR_IMAGE_COUNT = 29;
constexpr int TOOLBAR_IMAGE_WIDTH = 16;
constexpr int TOOLBAR_IMAGE_HEIGHT = 15;

// The image of meter level k (0..24) and of gate indicator k (0..3).
constexpr SkinId meter_image_id(int level) {
    return static_cast<SkinId>(static_cast<int>(SkinId::MeterLevel0) + level);
}
constexpr SkinId gate_led_image_id(int openness) {
    return openness <= 0   ? SkinId::GateLed0
           : openness == 1 ? SkinId::GateLed1
           : openness == 2 ? SkinId::GateLed2
                           : SkinId::GateLed3;
}

}  // namespace zv
