#include "ui/skin_fonts.h"

#include "ui/skin_art.h"
#include "ui/skin_palette.h"

#include <array>

namespace zv::skin {
namespace {

// Rows top to bottom: seven for the capital height, two more for descenders; a missing row is
// blank. '#' is ink.
struct Glyph {
    char c;
    std::array<std::string_view, 9> rows;
};

// Capitals, digits and signs: 5 x 7. The zero carries a stroke so it never reads as an O.
constexpr Glyph UPPER[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
    {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
    {'<', {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."}},
    {'>', {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
};

// The value font's narrow signs: three columns, drawn at the left of their cells.
constexpr Glyph VALUE_NARROW[] = {
    {'.', {"...", "...", "...", "...", "...", "##.", "##."}},
    {':', {"...", "##.", "##.", "...", "##.", "##.", "..."}},
};

// Lower case and punctuation of the caption font; capitals come from UPPER.
constexpr Glyph CAPTION[] = {
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'b', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####."}},
    {'c', {"....", "....", ".###", "#...", "#...", "#...", ".###"}},
    {'d', {"....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."}},
    {'g', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
    {'h', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'i', {"#", ".", "#", "#", "#", "#", "#"}},
    {'j', {"..#", "...", "..#", "..#", "..#", "..#", "..#", "#.#", ".#."}},
    {'k', {"#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#"}},
    {'l', {"#.", "#.", "#.", "#.", "#.", "#.", ".#"}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#...#", "#...#"}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'p', {".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
    {'q', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"}},
    {'r', {"....", "....", "#.##", "##..", "#...", "#...", "#..."}},
    {'s', {"....", "....", ".###", "#...", ".##.", "...#", "###."}},
    {'t', {"...", ".#.", "###", ".#.", ".#.", ".#.", "..#"}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
    {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
    {'y', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
    {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {',', {"..", "..", "..", "..", "..", "..", ".#", "#."}},
    {':', {".", ".", "#", ".", ".", "#", "."}},
    {'(', {".#", "#.", "#.", "#.", "#.", "#.", ".#"}},
    {')', {"#.", ".#", ".#", ".#", ".#", ".#", "#."}},
    {'\'', {"#", "#", ".", ".", ".", ".", "."}},
    {'&', {".#..", "#.#.", "#.#.", ".#..", "#.##", "#..#", ".##."}},
};

// 3 x 5 digits for the meter scales.
constexpr Glyph TINY[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}}, {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"###", "..#", "###", "#..", "###"}}, {'3', {"###", "..#", ".##", "..#", "###"}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}}, {'5', {"###", "#..", "###", "..#", "###"}},
    {'6', {"###", "#..", "###", "#.#", "###"}}, {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}}, {'9', {"###", "#.#", "###", "..#", "###"}},
    {'-', {"...", "...", "###", "...", "..."}}, {'+', {"...", ".#.", "###", ".#.", "..."}},
    {'.', {".", ".", ".", ".", "#"}},
};

template <size_t N>
const Glyph* find(const Glyph (&table)[N], char c) {
    for (const Glyph& g : table) {
        if (g.c == c) {
            return &g;
        }
    }
    return nullptr;
}

const Glyph* glyph_for(PixelFont font, char c) {
    switch (font) {
        case PixelFont::Value:
            if (const Glyph* g = find(VALUE_NARROW, c)) {
                return g;
            }
            return find(UPPER, c);
        case PixelFont::Caption:
            if (const Glyph* g = find(CAPTION, c)) {
                return g;
            }
            return find(UPPER, c);
        case PixelFont::Tiny:
            return find(TINY, c);
    }
    return nullptr;
}

// The inked columns of a glyph. Value glyphs keep their full cell width; caption glyphs are
// proportional, trimmed to their ink.
struct Span {
    int first, width;
};

Span ink_span(const Glyph& g, PixelFont font) {
    int cols = static_cast<int>(g.rows[0].size());
    if (font == PixelFont::Value) {
        return {0, cols};
    }
    int lo = cols, hi = -1;
    for (std::string_view row : g.rows) {
        for (int i = 0; i < static_cast<int>(row.size()); ++i) {
            if (row[static_cast<size_t>(i)] == '#') {
                lo = std::min(lo, i);
                hi = std::max(hi, i);
            }
        }
    }
    return hi < lo ? Span{0, cols} : Span{lo, hi - lo + 1};
}

int space_width(PixelFont font) {
    return font == PixelFont::Tiny ? 2 : font == PixelFont::Value ? 5 : 3;
}

}  // namespace

bool has_glyph(PixelFont font, char c) {
    return c == ' ' || glyph_for(font, c) != nullptr;
}

int text_width(std::string_view text, const TextStyle& style) {
    int width = 0;
    bool first = true;
    for (char c : text) {
        const Glyph* g = c == ' ' ? nullptr : glyph_for(style.font, c);
        int w = g ? ink_span(*g, style.font).width + (style.bold ? 1 : 0) : space_width(style.font);
        width += (first ? 0 : 1) + w;
        first = false;
    }
    return width * style.scale;
}

int draw_text(Canvas& canvas, int x, int y, std::string_view text, const TextStyle& style) {
    int pen = x;
    bool first = true;
    for (char c : text) {
        const int s = style.scale;
        if (!first) {
            pen += s;
        }
        first = false;
        const Glyph* g = c == ' ' ? nullptr : glyph_for(style.font, c);
        if (!g) {
            pen += space_width(style.font) * s;
            continue;
        }
        Span span = ink_span(*g, style.font);
        const int bold = style.bold ? 1 : 0;
        for (int r = 0; r < static_cast<int>(g->rows.size()); ++r) {
            std::string_view row = g->rows[static_cast<size_t>(r)];
            auto ink = [&](int i) {
                size_t col = static_cast<size_t>(span.first + i);
                return i >= 0 && i < span.width && col < row.size() && row[col] == '#';
            };
            for (int i = 0; i < span.width; ++i) {
                if (!ink(i)) {
                    continue;
                }
                // Bold thickens a stroke to the right unless that would close a one-pixel
                // gap (m, w and their like keep their counters).
                int w = bold && !ink(i + 2) ? 2 : 1;
                canvas.fill(pen + i * s, y + r * s, w * s, s, style.ink);
            }
        }
        pen += (span.width + bold) * s;
    }
    return pen;
}

int draw_text_centred(Canvas& canvas, int centre_x, int y, std::string_view text,
                      const TextStyle& style) {
    return draw_text(canvas, centre_x - text_width(text, style) / 2, y, text, style);
}

int draw_text_right(Canvas& canvas, int right_x, int y, std::string_view text,
                    const TextStyle& style) {
    return draw_text(canvas, right_x - text_width(text, style) + 1, y, text, style);
}

QImage small_font_image() {
    Canvas canvas(12 * SMALL_CELL_W, 4 * SMALL_CELL_H, DISPLAY);
    const TextStyle style{PixelFont::Value, DISPLAY_INK, false};
    for (size_t i = 0; i < SMALL_FONT_GRID.size(); ++i) {
        char c = SMALL_FONT_GRID[i];
        if (c != ' ') {
            int col = static_cast<int>(i % 12);
            int row = static_cast<int>(i / 12);
            draw_text(canvas, col * SMALL_CELL_W, row * SMALL_CELL_H, std::string_view(&c, 1),
                      style);
        }
    }
    return canvas.take();
}

namespace {

// Seven-segment digits, 11 x 15, segments two pixels thick with open corners. The upper half
// is a row shorter than the lower, as on a real display.
enum Segment { SA = 1, SB = 2, SC = 4, SD = 8, SE = 16, SF = 32, SG = 64 };
constexpr int DIGIT_SEGMENTS[10] = {
    SA | SB | SC | SD | SE | SF, SB | SC,           SA | SB | SG | SE | SD,
    SA | SB | SG | SC | SD,      SF | SG | SB | SC, SA | SF | SG | SC | SD,
    SA | SF | SG | SE | SD | SC, SA | SB | SC,      SA | SB | SC | SD | SE | SF | SG,
    SA | SB | SC | SD | SF | SG,
};

struct SegmentRect {
    int bit, x, y, w, h;
};
constexpr SegmentRect SEGMENT_RECTS[] = {
    {SA, 2, 0, 7, 2}, {SF, 0, 2, 2, 4}, {SB, 9, 2, 2, 4},  {SG, 2, 6, 7, 2},
    {SE, 0, 8, 2, 5}, {SC, 9, 8, 2, 5}, {SD, 2, 13, 7, 2},
};

void draw_segments(Canvas& c, int x, int segments, QRgb ink) {
    for (const SegmentRect& s : SEGMENT_RECTS) {
        if (segments & s.bit) {
            c.fill(x + s.x, s.y, s.w, s.h, ink);
        }
    }
}

}  // namespace

QImage large_digits_image() {
    Canvas canvas(240, 15, DISPLAY);
    for (int d = 0; d < 10; ++d) {
        draw_segments(canvas, 20 * d, DIGIT_SEGMENTS[d], DISPLAY_INK);
    }
    // ":" in 8 columns, dots level with the middles of the two halves.
    canvas.fill(200 + 3, 3, 2, 2, DISPLAY_INK);
    canvas.fill(200 + 3, 10, 2, 2, DISPLAY_INK);
    // "/" in 11 columns, a two-pixel stroke rising to the right.
    for (int row = 0; row < 15; ++row) {
        int col = (14 - row) * 9 / 14;
        canvas.fill(220 + col, row, 2, 1, DISPLAY_INK);
    }
    return canvas.take();
}

}  // namespace zv::skin
