#include "ui/panel_model.h"

#include <cmath>

#include "engine/processor.h"
#include "ui/command_ids.h"
#include "ui/switches.h"

namespace zv {
namespace {

constexpr double SHIFT_FACTOR = 10.0;

// The nearest point of the step's grid (tenths for 0.1, halves for 0.5), computed as that
// decimal: stepping never leaves -2.8e-17 for 0.0 or -19.29999999999999 for -19.3 in the
// panel and the state file. Only values, not choices (whose integer part is read), snap.
double on_step_grid(const PanelControl& c, double value) {
    const double step = std::fabs(c.shape.step);
    const bool number = c.shape.kind == ControlKind::Number || c.shape.kind == ControlKind::HfLim;
    if (!number || !(step > 0.0) || !std::isfinite(value)) {
        return value;
    }
    double scale = 1.0;
    for (int decimals = 0;
         decimals < 6 && std::fabs(step * scale - std::round(step * scale)) > 1e-9; ++decimals) {
        scale *= 10.0;
    }
    const double units = std::round(step * scale);  // the step in grid units of 1/scale
    return std::round(value * scale / units) * units / scale + 0.0;  // + 0.0: never -0.0
}

}  // namespace

PanelModel::PanelModel(ProgramState state, PanelHost& host, RepeatTimer& timer)
    : state_(state), host_(host), timer_(timer) {}

double PanelModel::value(int control) const {
    AllBandDelta scratch = deltas_;
    return control_target(panel_controls()[static_cast<size_t>(control)], state_, scratch);
}

void PanelModel::clear_press_states() {
    press_.fill(PressState::None);
}

void PanelModel::step_control(int index, ClientPoint p, Modifiers keys) {
    const PanelControl& c = panel_controls()[static_cast<size_t>(index)];
    PressState& press = press_[static_cast<size_t>(index)];
    press = PressState::None;
    const int x = c.shape.x;
    const int y = c.shape.y;
    if (p.y < y || p.y > y + ARROW_ZONE_HEIGHT) {
        return;
    }
    const bool to_bound = keys.shift && keys.ctrl && keys.alt;
    const double step = keys.shift ? SHIFT_FACTOR * c.shape.step : c.shape.step;
    double& value = control_target(c, state_, deltas_);
    if (p.x >= x + DOWN_ARROW_FROM && p.x <= x + DOWN_ARROW_TO) {
        press = PressState::Down;
        value = to_bound ? c.min : on_step_grid(c, value - step);
    } else if (p.x >= x + UP_ARROW_FROM && p.x <= x + UP_ARROW_TO) {
        press = PressState::Up;
        value = to_bound ? c.max : on_step_grid(c, value + step);
    } else {
        return;
    }
    // The lower bound first, then the upper one.
    if (value < c.min) {
        value = c.min;
    }
    if (value > c.max) {
        value = c.max;
    }
}

void PanelModel::control_tick(Modifiers keys) {
    if (!mouse_down_) {
        return;
    }
    const bool gate_on = state_.processor.params.switches.noise_gate != 0;
    for (int col = 0; col < BAND_COLUMN_COUNT; ++col) {
        if (static_cast<BandColumn>(col) == BandColumn::GateTh && !gate_on) {
            continue;  // the gate thresholds only move while the noise gate works
        }
        for (int row = 0; row < BAND_ROW_COUNT; ++row) {
            step_control(band_control_index(static_cast<BandColumn>(col), row), click_, keys);
        }
    }
    for (int g = 0; g < GENERAL_CONTROLS; ++g) {
        step_control(general_control_index(g), click_, keys);
    }

    // The ALL row shifts its whole column by its own value after the step.
    const PanelControls& table = panel_controls();
    for (BandColumn col : ALL_DELTA_ORDER) {
        const int all_index = control_index(GeneralControl::AllGateTh) + static_cast<int>(col);
        if (press_[static_cast<size_t>(all_index)] == PressState::None) {
            continue;
        }
        const double delta = deltas_[static_cast<size_t>(col)];
        for (int row = 0; row < BAND_ROW_COUNT; ++row) {
            const PanelControl& c = table[static_cast<size_t>(band_control_index(col, row))];
            double& v = control_target(c, state_, deltas_);
            v = on_step_grid(c, v + delta);
            if (v > c.max) {
                v = c.max;
            } else if (v < c.min) {
                v = c.min;
            }
        }
    }
    deltas_.fill(0.0);

    // Each recompute the stepped fields ask for, once.
    bool done[4] = {};
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        const DerivedUpdate d = table[static_cast<size_t>(i)].derived;
        if (press_[static_cast<size_t>(i)] != PressState::None && d != DerivedUpdate::None &&
            !done[static_cast<int>(d)]) {
            done[static_cast<int>(d)] = true;
            run_derived_update(state_.processor, d);
        }
    }
    host_.redraw_panel();
}

void PanelModel::press_button(PanelButtonId id) {
    button_pressed_[static_cast<size_t>(id)] = true;
    // With bypass on, VIRTUAL ROOM only shows pressed.
    if (id == PanelButtonId::VirtualRoom && state_.processor.params.switches.bypass != 0) {
        return;
    }
    host_.run_command(panel_button_command(id));
}

void PanelModel::apply_buttons(ClientPoint p) {
    if (p.y < PANEL_HEIGHT) {
        for (const PanelButtonRow& b : PANEL_BUTTONS) {
            if (b.id != PanelButtonId::Init && button_rect(b).strictly_contains(p)) {
                press_button(b.id);
            }
        }
        for (const TransportRow& t : TRANSPORT_BUTTONS) {
            if (!transport_rect(t).strictly_contains(p)) {
                continue;
            }
            transport_pressed_[static_cast<size_t>(t.id)] = true;
            if (t.id == TransportId::Stop) {
                host_.run_command(cmd::STOP);
            } else if (t.id == TransportId::Play) {
                host_.run_command(cmd::PLAY);
            } else {
                host_.press_seek(t.seek_step);
            }
        }
    }
    if (button_rect(panel_button(PanelButtonId::Init)).strictly_contains(p)) {
        press_button(PanelButtonId::Init);
    }
}

void PanelModel::left_down(ClientPoint p, Modifiers keys) {
    mouse_down_ = true;
    repeat_started_ = false;
    timer_.start(REPEAT_FIRST_DELAY_MS);
    click_ = p;
    apply_buttons(p);
    if (p.y < PANEL_HEIGHT) {
        control_tick(keys);
    }
    host_.redraw_panel();
}

void PanelModel::double_click(ClientPoint p, Modifiers keys) {
    if (p.y < PANEL_HEIGHT) {
        left_down(p, keys);
    }
}

void PanelModel::left_up() {
    mouse_down_ = false;
    timer_.stop();
    clear_press_states();
    button_pressed_.fill(false);
    release_transport_buttons();
    host_.release_seek();
    if (!host_.engine_playing()) {
        host_.redraw_panel();  // while playing, the next buffer repaints anyway
    }
}

void PanelModel::repeat_timer_fired(Modifiers keys) {
    if (!repeat_started_) {
        // The first delay only leads into the repeats.
        repeat_started_ = true;
        timer_.start(REPEAT_INTERVAL_MS);
        return;
    }
    control_tick(keys);
}

void PanelModel::step_as_clicks(int index, bool up, int times, Modifiers keys) {
    const ControlRow& s = panel_controls()[static_cast<size_t>(index)].shape;
    if (s.gate_label && state_.processor.params.switches.noise_gate == 0) {
        return;  // the gate thresholds only move while the noise gate works
    }
    const ClientPoint arrow{s.x + (up ? UP_ARROW_FROM : DOWN_ARROW_FROM), s.y};
    const bool was_down = mouse_down_;
    const ClientPoint was_click = click_;
    const std::array<PressState, CONTROL_COUNT> was_pressed = press_;
    mouse_down_ = true;
    click_ = arrow;
    for (int n = 0; n < times; ++n) {
        control_tick(keys);
    }
    mouse_down_ = was_down;
    click_ = was_click;
    press_ = was_pressed;
}

bool PanelModel::wheel(ClientPoint p, int steps, Modifiers keys) {
    if (steps == 0) {
        return false;
    }
    // Over a control's field (between its arrows or on them), each notch works as a click on
    // the matching arrow.
    const PanelControls& table = panel_controls();
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        const ControlRow& s = table[static_cast<size_t>(i)].shape;
        if (p.y < s.y || p.y > s.y + ARROW_ZONE_HEIGHT || p.x < s.x + DOWN_ARROW_FROM ||
            p.x > s.x + UP_ARROW_TO) {
            continue;
        }
        step_as_clicks(i, steps > 0, steps > 0 ? steps : -steps, keys);
        return true;
    }
    return false;
}

void PanelModel::set_focus(int position) {
    focus_ = position >= 0 && position < FOCUS_PLACE_COUNT ? position : -1;
    host_.redraw_panel();
}

bool PanelModel::focus_next(bool forward) {
    const int next =
        focus_ < 0 ? (forward ? 0 : FOCUS_PLACE_COUNT - 1) : focus_ + (forward ? 1 : -1);
    set_focus(next);
    return focus_ >= 0;
}

void PanelModel::focus_vertical(bool down) {
    if (focus_ >= 0) {
        set_focus(focus_neighbour(focus_, down));
    }
}

bool PanelModel::key_step(bool up, Modifiers keys) {
    if (focus_ < 0) {
        return false;
    }
    const FocusPlace& place = focus_order()[static_cast<size_t>(focus_)];
    if (place.kind != FocusKind::Control) {
        return false;
    }
    step_as_clicks(place.index, up, 1, keys);
    return true;
}

bool PanelModel::key_to_bound(bool up) {
    return key_step(up, Modifiers{true, true, true});
}

bool PanelModel::key_press_button() {
    if (focus_ < 0) {
        return false;
    }
    const FocusPlace& place = focus_order()[static_cast<size_t>(focus_)];
    if (place.kind != FocusKind::Button) {
        return false;
    }
    press_button(static_cast<PanelButtonId>(place.index));
    // A key press shows no pressed key: it is over at once.
    button_pressed_.fill(false);
    host_.redraw_panel();
    return true;
}

bool PanelModel::pointer_over_seek_buttons(ClientPoint p, bool forward_only) const {
    for (const TransportRow& t : TRANSPORT_BUTTONS) {
        const bool seek = t.seek_step != 0 && (!forward_only || t.seek_step > 0);
        if (seek && transport_rect(t).strictly_contains(p)) {
            return true;
        }
    }
    return false;
}

void PanelModel::release_transport_buttons() {
    transport_pressed_.fill(false);
}

}  // namespace zv
