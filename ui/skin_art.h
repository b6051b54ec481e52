// The skin's drawing functions, one per kind of image. Each returns a finished QImage at the
// image's fixed size; nothing here needs a running application, so build-time tools can use
// them too. `Skin` (ui/skin.h) calls them once at start-up and keeps the results.
#pragma once

#include <QImage>

#include "ui/skin_id.h"

namespace zv::skin {

// Panel (skin_panel.cpp): drawn from the panel's layout (ui/panel_layout.h), so every field,
// caption, well and plate stands where the window's controls, meters and buttons are.
QImage panel_background();  // PANEL_WIDTH x PANEL_BACKGROUND_HEIGHT, drawn at client (0, 28)

// Meters and lamps (skin_meters.cpp).
QImage meter_image(int level);            // 24 x 75, `level` of 24 segments lit from the top
QImage clip_bar_image(bool on);           // 24 x 4
QImage rate_indicator_image(int lit);     // 93 x 12: 0 none, 1 32k, 2 44.1k, 3 48k
QImage channel_indicator_image(int lit);  // 76 x 12: 0 none, 1 STEREO, 2 MONO
QImage led_image(bool on);                // 14 x 14
QImage gate_led_image(int openness);      // 9 x 9: 0 closed .. 3 open

// Keys (skin_buttons.cpp).
QImage arrow_image(bool up, bool pressed);  // 5 x 12: up points right, down left
QImage switch_button_image(const char* caption, bool pressed, int width);  // width x 15
QImage transport_strip_image();  // 200 x 50: normal row, then pressed row

// Fonts (skin_fonts.cpp).
QImage small_font_image();    // 60 x 40
QImage large_digits_image();  // 240 x 15

// Icons (skin_icons.cpp).
QImage menu_icon_image(SkinId id);   // 16 x 16, the Menu... ids
QImage toolbar_strip_image();        // 464 x 15: 29 images 16 px wide
QImage row_icon_image(int index);    // 16 x 16: the playlist view's six row images
QImage window_icon_image(int size);  // size x size, any size from 16 up

// The About dialog's picture (skin_product.cpp).
QImage product_art_image();

}  // namespace zv::skin
