#include "ui/panel_focus.h"

#include <algorithm>
#include <array>

namespace zv {
namespace {

constexpr FocusPlace control(int index) {
    return {FocusKind::Control, index};
}
constexpr FocusPlace button(PanelButtonId id) {
    return {FocusKind::Button, static_cast<int>(id)};
}

// The group a place belongs to for Up and Down: the switch box counts as one, the band grid's
// ALL row belongs to the grid.
enum class FocusGroup { SwitchBox, Lower, VirtualRoomRow };

struct Grouped {
    FocusGroup group;
    int lower_group;  // PanelGroup of a lower-band control
};

Grouped group_of(const FocusPlace& p) {
    if (p.kind == FocusKind::Button) {
        const auto id = static_cast<PanelButtonId>(p.index);
        const bool room = id == PanelButtonId::VirtualRoom || id == PanelButtonId::Init;
        return {room ? FocusGroup::VirtualRoomRow : FocusGroup::SwitchBox, -1};
    }
    if (p.index < BAND_GRID_CONTROLS || p.index >= general_control_index(ALL_ROW_FIRST)) {
        return {FocusGroup::Lower, static_cast<int>(PanelGroup::BandGrid)};
    }
    const PanelGroup g =
        GENERAL_CONTROL_PLACES[static_cast<size_t>(p.index - BAND_GRID_CONTROLS)].group;
    if (g == PanelGroup::VirtualRoom) {
        return {FocusGroup::VirtualRoomRow, -1};
    }
    return {FocusGroup::Lower, static_cast<int>(g)};
}

ClientPoint origin(const FocusPlace& p) {
    if (p.kind == FocusKind::Control) {
        return control_position(p.index);
    }
    const PanelButtonRow& b = PANEL_BUTTONS[static_cast<size_t>(p.index)];
    return {b.x, b.y};
}

std::array<FocusPlace, FOCUS_PLACE_COUNT> make_order() {
    std::array<FocusPlace, FOCUS_PLACE_COUNT> order{};
    size_t n = 0;
    // The switch box, row by row.
    std::array<PanelButtonId, SWITCH_BUTTON_COUNT - 1> box{};
    size_t k = 0;
    for (const PanelButtonRow& b : PANEL_BUTTONS) {
        if (b.id != PanelButtonId::VirtualRoom && b.id != PanelButtonId::Init) {
            box[k++] = b.id;
        }
    }
    std::stable_sort(box.begin(), box.end(), [](PanelButtonId a, PanelButtonId b) {
        const PanelButtonRow& ra = PANEL_BUTTONS[static_cast<size_t>(a)];
        const PanelButtonRow& rb = PANEL_BUTTONS[static_cast<size_t>(b)];
        return ra.y != rb.y ? ra.y < rb.y : ra.x < rb.x;
    });
    for (PanelButtonId id : box) {
        order[n++] = button(id);
    }
    // The lower band's groups in their order; the band grid row by row, then its ALL row.
    for (int g = 0; g < PANEL_GROUP_COUNT; ++g) {
        const auto group = static_cast<PanelGroup>(g);
        if (group == PanelGroup::VirtualRoom) {
            continue;
        }
        if (group == PanelGroup::BandGrid) {
            for (int row = 0; row < BAND_ROW_COUNT; ++row) {
                for (int col = 0; col < BAND_COLUMN_COUNT; ++col) {
                    order[n++] = control(band_control_index(static_cast<BandColumn>(col), row));
                }
            }
            for (int col = 0; col < BAND_COLUMN_COUNT; ++col) {
                order[n++] = control(general_control_index(ALL_ROW_FIRST + col));
            }
            continue;
        }
        for (int i = 0; i < ALL_ROW_FIRST; ++i) {
            if (GENERAL_CONTROL_PLACES[static_cast<size_t>(i)].group == group) {
                order[n++] = control(general_control_index(i));
            }
        }
    }
    // The Virtual Room row, left to right.
    order[n++] = button(PanelButtonId::VirtualRoom);
    for (int i = 0; i < ALL_ROW_FIRST; ++i) {
        if (GENERAL_CONTROL_PLACES[static_cast<size_t>(i)].group == PanelGroup::VirtualRoom) {
            order[n++] = control(general_control_index(i));
        }
    }
    order[n++] = button(PanelButtonId::Init);
    return order;
}

const std::array<FocusPlace, FOCUS_PLACE_COUNT>& order_table() {
    static const std::array<FocusPlace, FOCUS_PLACE_COUNT> order = make_order();
    return order;
}

}  // namespace

std::span<const FocusPlace> focus_order() {
    return order_table();
}

int focus_neighbour(int from, bool down) {
    const auto& order = order_table();
    if (from < 0 || from >= FOCUS_PLACE_COUNT) {
        return from;
    }
    const FocusPlace& here = order[static_cast<size_t>(from)];
    const Grouped g = group_of(here);
    const ClientPoint at = origin(here);
    int best = from;
    int best_distance = 0;
    for (int i = 0; i < FOCUS_PLACE_COUNT; ++i) {
        const FocusPlace& p = order[static_cast<size_t>(i)];
        const Grouped pg = group_of(p);
        const ClientPoint o = origin(p);
        if (pg.group != g.group || pg.lower_group != g.lower_group || o.x != at.x) {
            continue;
        }
        const int distance = down ? o.y - at.y : at.y - o.y;
        if (distance > 0 && (best == from || distance < best_distance)) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

ClientRect focus_rect(const FocusPlace& place) {
    if (place.kind == FocusKind::Control) {
        const ClientPoint at = control_position(place.index);
        return {at.x + DOWN_ARROW_DX - 1, at.y - 1, UP_ARROW_DX + ARROW_WIDTH - DOWN_ARROW_DX + 2,
                ARROW_HEIGHT + 2};
    }
    const PanelButtonRow& b = PANEL_BUTTONS[static_cast<size_t>(place.index)];
    return {b.x - 1, b.y - 1, b.width + 2, b.height + 2};
}

std::string focus_place_name(const FocusPlace& place) {
    if (place.kind == FocusKind::Button) {
        return PANEL_BUTTONS[static_cast<size_t>(place.index)].caption;
    }
    if (place.index < BAND_GRID_CONTROLS) {
        return std::string(BAND_COLUMN_HEADS[static_cast<size_t>(place.index / BAND_ROW_COUNT)]) +
               " " + BAND_ROW_HEADS[static_cast<size_t>(place.index % BAND_ROW_COUNT)];
    }
    const int g = place.index - BAND_GRID_CONTROLS;
    if (g >= ALL_ROW_FIRST) {
        return std::string(ALL_ROW_HEAD) + " " +
               BAND_COLUMN_HEADS[static_cast<size_t>(g - ALL_ROW_FIRST)];
    }
    const GeneralControlPlace& p = GENERAL_CONTROL_PLACES[static_cast<size_t>(g)];
    return std::string(panel_group(p.group).title) + " " + p.caption;
}

}  // namespace zv
