// The skin's pixel fonts, drawn from bit patterns in the source (never a system font):
// - Value: 5 x 7 capitals, digits and signs, the glyphs of the small font image;
// - Caption: the same capitals and digits with lower case and punctuation, proportional,
//   for the captions printed on the panel and the keys;
// - Tiny: 3 x 5 digits for meter scales.
// Glyphs are set pixel by pixel in one colour, with no smoothing.
#pragma once

#include "ui/skin_canvas.h"

#include <string_view>

namespace zv::skin {

enum class PixelFont { Value, Caption, Tiny };

constexpr int CAP_HEIGHT = 7;   // Value and Caption; descenders reach two rows lower
constexpr int TINY_HEIGHT = 5;  // Tiny

// The small font image: 12 x 4 cells of 5 x 10, row by row; a blank is an empty cell.
constexpr std::string_view SMALL_FONT_GRID = "0123456789-.ABCDEFGHIJ+:KLMNOPQRST/%UVWXYZ    <>";
constexpr int SMALL_CELL_W = 5;
constexpr int SMALL_CELL_H = 10;

// Bold sets each glyph twice, one pixel apart, and widens it by one; a scale above 1 draws
// every font pixel as a square block (for the maker's name).
struct TextStyle {
    PixelFont font = PixelFont::Caption;
    QRgb ink = 0;
    bool bold = false;
    int scale = 1;
};

// Whether the font can print a character (a blank always can); anything else is left out as a
// blank would be.
bool has_glyph(PixelFont font, char c);
int text_width(std::string_view text, const TextStyle& style);
// Draws with the top of the capitals at y; returns the pen position after the text.
int draw_text(Canvas& canvas, int x, int y, std::string_view text, const TextStyle& style);
int draw_text_centred(Canvas& canvas, int centre_x, int y, std::string_view text,
                      const TextStyle& style);
int draw_text_right(Canvas& canvas, int right_x, int y, std::string_view text,
                    const TextStyle& style);

}  // namespace zv::skin
