// The panel's behaviour without a window: the controls' hit zones and stepping, the ALL row,
// the auto-repeat of a held arrow, the switch, INIT and transport buttons (which send their
// commands), and the keyboard's focus over the controls and switches. The panel widget turns
// Qt's events into these calls (points already in client coordinates) and paints what the
// model holds; tests drive it with a fake timer and no Qt at all.
#pragma once

#include <array>
#include <cstdint>

#include "settings/program_state.h"
#include "ui/panel_controls.h"
#include "ui/panel_focus.h"
#include "ui/panel_layout.h"

namespace zv {

struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// The control's arrow hit in the current tick.
enum class PressState : int32_t { None = 0, Up = 1, Down = 2 };

// The auto-repeat timer: periodic once started, until stopped; starting a running timer
// restarts it with the new interval. The window uses a QTimer, tests a fake clock.
class RepeatTimer {
public:
    virtual ~RepeatTimer() = default;
    virtual void start(int interval_ms) = 0;
    virtual void stop() = 0;
};

// What the panel asks of the program.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    // Play and Stop, the switches and INIT go through the command layer like every other
    // action.
    virtual void run_command(int command_id) = 0;
    virtual void press_seek(int step) = 0;
    virtual void release_seek() = 0;
    virtual bool engine_playing() const = 0;
    // The panel must be repainted (without erasing).
    virtual void redraw_panel() = 0;
};

constexpr int REPEAT_FIRST_DELAY_MS = 500;
constexpr int REPEAT_INTERVAL_MS = 100;

class PanelModel {
public:
    PanelModel(ProgramState state, PanelHost& host, RepeatTimer& timer);

    // Pointer input on the panel (client coordinates).
    void left_down(ClientPoint p, Modifiers keys);
    void left_up();
    // A double click on the panel counts as a second press there.
    void double_click(ClientPoint p, Modifiers keys);
    // The repeat timer has fired; keys are those held now.
    void repeat_timer_fired(Modifiers keys);
    // Mouse-wheel steps over a control: positive steps go up. Returns true when a control was
    // under the pointer.
    bool wheel(ClientPoint p, int steps, Modifiers keys);

    // One tick: steps the control under the stored click point, applies the ALL row and runs
    // the recomputes the stepped fields need. Nothing happens unless the button is held.
    void control_tick(Modifiers keys);

    // The keyboard's focus: a position in focus_order(), or -1 while no mark shows.
    int focus() const { return focus_; }
    void set_focus(int position);
    // Tab (forward) and Shift+Tab: the next place in reading order; without a mark the first
    // (or last). False, with the mark gone, when the panel's end is passed.
    bool focus_next(bool forward);
    // Up and Down: the place above or below in the same group and column.
    void focus_vertical(bool down);
    // Left (up false) and Right on the focused control: one step as its arrow gives (Shift ten,
    // Shift+Ctrl+Alt to the bound); Home and End go to the bound of that side. The same
    // recomputes run as for a click. False when no control has the focus.
    bool key_step(bool up, Modifiers keys);
    bool key_to_bound(bool up);
    // Space on the focused switch or INIT: pressed as by the pointer. False elsewhere.
    bool key_press_button();

    // The streaming engine asks while a seek button is held.
    bool pointer_over_seek_buttons(ClientPoint p, bool forward_only) const;
    void release_transport_buttons();

    // For the painter: the arrow hit by the held button shows pressed until the button is
    // released (a wheel notch steps without pressing).
    PressState press_state(int control) const { return press_[static_cast<size_t>(control)]; }
    void clear_press_states();
    bool button_pressed(PanelButtonId id) const { return button_pressed_[static_cast<size_t>(id)]; }
    bool transport_pressed(TransportId id) const {
        return transport_pressed_[static_cast<size_t>(id)];
    }
    double value(int control) const;
    bool mouse_down() const { return mouse_down_; }
    ClientPoint click_point() const { return click_; }
    const ProgramState& state() const { return state_; }

private:
    void step_control(int index, ClientPoint p, Modifiers keys);
    // Steps control `index` as `times` clicks on one of its arrows would, without pressing it.
    void step_as_clicks(int index, bool up, int times, Modifiers keys);
    void apply_buttons(ClientPoint p);
    void press_button(PanelButtonId id);

    ProgramState state_;
    PanelHost& host_;
    RepeatTimer& timer_;
    AllBandDelta deltas_{};
    std::array<PressState, CONTROL_COUNT> press_{};
    std::array<bool, PANEL_BUTTON_COUNT> button_pressed_{};
    std::array<bool, TRANSPORT_COUNT> transport_pressed_{};
    bool mouse_down_ = false;
    bool repeat_started_ = false;  // the first 500 ms have passed
    ClientPoint click_;
    int focus_ = -1;
};

}  // namespace zv
