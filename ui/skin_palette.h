// The skin's colours, in one place so every image agrees with the panel it sits on.
#pragma once

#include <QRgb>

namespace zv::skin {

// The panel face: a darker meter bridge above, the light control deck below.
constexpr QRgb BRIDGE = qRgb(0x5a, 0x5f, 0x67);
constexpr QRgb BRIDGE_LIGHT = qRgb(0x7a, 0x80, 0x89);
constexpr QRgb BRIDGE_DARK = qRgb(0x3b, 0x3f, 0x45);
constexpr QRgb BRIDGE_TEXT = qRgb(0xee, 0xef, 0xf0);
constexpr QRgb BRIDGE_TEXT_DIM = qRgb(0xb8, 0xbd, 0xc4);
constexpr QRgb DECK = qRgb(0xb2, 0xb6, 0xbb);
constexpr QRgb DECK_LIGHT = qRgb(0xd6, 0xd9, 0xdc);
constexpr QRgb DECK_DARK = qRgb(0x7c, 0x81, 0x87);
constexpr QRgb DECK_TEXT = qRgb(0x1a, 0x1c, 0x20);
constexpr QRgb TITLE_STRIP = qRgb(0x33, 0x37, 0x3d);
constexpr QRgb TITLE_TEXT = qRgb(0xf2, 0xf3, 0xf4);
constexpr QRgb RULE = qRgb(0x50, 0x55, 0x5c);  // the deck's printed lines
constexpr QRgb EDGE_DARK = qRgb(0x22, 0x25, 0x29);

// Displays: value fields, the time window and the indicators, amber on black.
constexpr QRgb DISPLAY = qRgb(0x00, 0x00, 0x00);
constexpr QRgb DISPLAY_INK = qRgb(0xff, 0xb4, 0x3c);
constexpr QRgb DISPLAY_INK_DIM = qRgb(0x4a, 0x34, 0x12);
constexpr QRgb BEZEL_DARK = qRgb(0x1b, 0x1d, 0x20);

// Meter wells and segments.
constexpr QRgb WELL = qRgb(0x0a, 0x0b, 0x0c);
constexpr QRgb SEG_GREEN = qRgb(0x3c, 0xe6, 0x50);
constexpr QRgb SEG_YELLOW = qRgb(0xf5, 0xd2, 0x2d);
constexpr QRgb SEG_RED = qRgb(0xff, 0x3c, 0x2d);
constexpr QRgb SEG_GREEN_OFF = qRgb(0x14, 0x33, 0x19);
constexpr QRgb SEG_YELLOW_OFF = qRgb(0x3a, 0x33, 0x12);
constexpr QRgb SEG_RED_OFF = qRgb(0x3f, 0x15, 0x12);

// Keys.
constexpr QRgb KEY_FACE = qRgb(0xd4, 0xd7, 0xdb);
constexpr QRgb KEY_FACE_LOW = qRgb(0xbc, 0xc0, 0xc5);
constexpr QRgb KEY_PRESSED = qRgb(0xa4, 0xa9, 0xaf);
constexpr QRgb KEY_PRESSED_LOW = qRgb(0x98, 0x9d, 0xa3);
constexpr QRgb KEY_LIGHT = qRgb(0xf4, 0xf5, 0xf6);
constexpr QRgb KEY_SHADOW = qRgb(0x6a, 0x6f, 0x76);
constexpr QRgb KEY_TEXT = qRgb(0x16, 0x18, 0x1b);
constexpr QRgb TRANSPORT_FACE = qRgb(0x3a, 0x3e, 0x45);
constexpr QRgb TRANSPORT_FACE_LOW = qRgb(0x2a, 0x2d, 0x32);
constexpr QRgb TRANSPORT_LIGHT = qRgb(0x6d, 0x73, 0x7c);
constexpr QRgb TRANSPORT_INK = qRgb(0xe8, 0xea, 0xec);
constexpr QRgb PLAY_GREEN = qRgb(0x4c, 0xe0, 0x5a);

// Lamps.
constexpr QRgb LED_ON = qRgb(0x52, 0xff, 0x6a);
constexpr QRgb LED_ON_CORE = qRgb(0xd8, 0xff, 0xdc);
constexpr QRgb LED_OFF = qRgb(0x1d, 0x3a, 0x22);
constexpr QRgb LED_OFF_CORE = qRgb(0x2e, 0x52, 0x34);
constexpr QRgb CLIP_ON = qRgb(0xff, 0x30, 0x24);
constexpr QRgb CLIP_OFF = qRgb(0x3a, 0x10, 0x0e);

}  // namespace zv::skin
