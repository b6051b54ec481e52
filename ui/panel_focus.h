// The panel's places for the keyboard: every control and every switch (INIT included), in
// reading order, with the neighbours that Up and Down reach and the rectangle the focus mark
// frames. Plain layout data, read by the panel model, the painter and the screen-reader view.
#pragma once

#include <span>
#include <string>

#include "ui/panel_layout.h"

namespace zv {

enum class FocusKind { Control, Button };

struct FocusPlace {
    FocusKind kind;
    int index;  // the control's index in the table, or the PanelButtonId
};

constexpr int FOCUS_PLACE_COUNT = CONTROL_COUNT + PANEL_BUTTON_COUNT;

// Reading order: the upper band's switches row by row; then the lower band group by group,
// left to right (each group top to bottom, the band grid row by row down to its ALL row);
// last the Virtual Room row left to right (its switch, its four controls, INIT).
std::span<const FocusPlace> focus_order();

// The position in focus_order() of the place above (down false) or below (down true) `from`
// in the same group and column; `from` itself when there is none.
int focus_neighbour(int from, bool down);

// Where a place sits: a control's arrows and value (x + 29 .. x + 80, y - 1 .. y + 12), a
// button's face grown by one pixel. The focus mark is this rectangle's outline.
ClientRect focus_rect(const FocusPlace& place);

// How a place is called, from the captions printed on the panel: "Bass EQ Freq", "Gain 1.6k"
// (a band control: its column and its band), "ALL Out Mix", "BYPASS".
std::string focus_place_name(const FocusPlace& place);

}  // namespace zv
