// The texts the panel shows and the two pixel fonts that draw them. Texts are built here, and
// each font turns a text into a list of copies from its image (source cell, size, pen
// position); the painter only performs the copies. Nothing here draws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/processor_params.h"
#include "ui/panel_controls.h"

namespace zv {

// The text of one control for its value. Choice labels carry their leading and trailing
// blanks (they right-align the text in the field).
std::string control_text(const PanelControl& c, double value, const ProcessorParams& params);

// One copy from a font image to the panel.
struct GlyphCopy {
    int src_x, src_y;  // in the font image
    int width, height;
    int dst_x, dst_y;  // client coordinates
};

// The small font (image 243): 12 x 4 cells of 5 x 10, light on dark.
constexpr int SMALL_CELL_WIDTH = 5;
constexpr int SMALL_CELL_HEIGHT = 10;
constexpr int SMALL_GLYPH_HEIGHT = 8;  // the top 8 rows of a cell are copied
constexpr int SMALL_ADVANCE = 6;
constexpr int SMALL_NARROW_WIDTH = 3;  // "." and ":"
constexpr int SMALL_NARROW_ADVANCE = 4;
// The large digits (image 261): "0".."9" at 20 x digit, ":" at 200, "/" at 220.
constexpr int LARGE_HEIGHT = 15;
constexpr int LARGE_DIGIT_WIDTH = 11;
constexpr int LARGE_ADVANCE = 13;
constexpr int LARGE_COLON_WIDTH = 8;
constexpr int LARGE_COLON_ADVANCE = 10;

// Calls copy(GlyphCopy) for every glyph of text drawn with the small font at (x, y): the pen
// starts at x + 1 and glyphs sit at y + 2; characters are upper-cased; a blank advances the
// pen without a copy; a character the font lacks is skipped without advance. Returns the pen's
// end.
template <typename Copy>
int for_each_small_glyph(std::string_view text, int x, int y, Copy&& copy);

// The same for the large digits: the pen starts at x; digits, ":" and "/" are copied, a blank
// advances 13, anything else is skipped.
template <typename Copy>
int for_each_large_glyph(std::string_view text, int x, int y, Copy&& copy);

// Where a character sits in the small font's grid; false when the font lacks it.
bool small_font_cell(char c, int& column, int& row);

// --- implementation of the templates ---

template <typename Copy>
int for_each_small_glyph(std::string_view text, int x, int y, Copy&& copy) {
    int pen = x + 1;
    for (char ch : text) {
        if (ch >= 'a' && ch <= 'z') {
            ch = static_cast<char>(ch - 'a' + 'A');
        }
        if (ch == ' ') {
            pen += SMALL_ADVANCE;
            continue;
        }
        int column = 0, row = 0;
        if (!small_font_cell(ch, column, row)) {
            continue;
        }
        const bool narrow = ch == '.' || ch == ':';
        const int width = narrow ? SMALL_NARROW_WIDTH : SMALL_CELL_WIDTH;
        copy(GlyphCopy{column * SMALL_CELL_WIDTH, row * SMALL_CELL_HEIGHT, width,
                       SMALL_GLYPH_HEIGHT, pen, y + 2});
        pen += narrow ? SMALL_NARROW_ADVANCE : SMALL_ADVANCE;
    }
    return pen;
}

template <typename Copy>
int for_each_large_glyph(std::string_view text, int x, int y, Copy&& copy) {
    int pen = x;
    for (char ch : text) {
        if (ch >= '0' && ch <= '9') {
            copy(GlyphCopy{20 * (ch - '0'), 0, LARGE_DIGIT_WIDTH, LARGE_HEIGHT, pen, y});
            pen += LARGE_ADVANCE;
        } else if (ch == ':') {
            copy(GlyphCopy{200, 0, LARGE_COLON_WIDTH, LARGE_HEIGHT, pen, y});
            pen += LARGE_COLON_ADVANCE;
        } else if (ch == '/') {
            copy(GlyphCopy{220, 0, LARGE_DIGIT_WIDTH, LARGE_HEIGHT, pen, y});
            pen += LARGE_ADVANCE;
        } else if (ch == ' ') {
            pen += LARGE_ADVANCE;
        }
    }
    return pen;
}

}  // namespace zv
