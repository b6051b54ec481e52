// Moves the panel's meters with time. While blocks come (a song plays, ON AIR runs, an export
// runs) or a meter still falls, a timer ticks at about the screen's rate: each tick lets the
// held values fall by the time passed, lays on them the blocks gathered since the last tick
// (the engine's mailbox, and what an export handed in), rests the gate lamps and AGC meters
// when nothing streams, and asks for a repaint of the parts of the panel that would show
// something else (the meters, the gate lamps, the time; the whole panel when a button or
// indicator changes). At rest, with nothing streaming, it stops. A repaint only reads the
// model.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

#include "engine/meter_mailbox.h"
#include "ui/display_model.h"
#include "ui/panel_layout.h"

namespace zv {

// About 60 Hz: the panel's meters move as smoothly as the screen shows them.
constexpr int METER_TICK_MS = 17;

class MeterClock final : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<bool()> streaming;        // blocks may still come
        std::function<DisplayInputs()> inputs;  // what the upper band shows besides the meters
        std::function<void(const ClientRect& part)> repaint;  // a part of the panel
    };

    explicit MeterClock(MeterModel& model, QObject* parent = nullptr);
    // The engine's mailbox, taken at every tick, and the window's part.
    void attach(MeterMailbox& engine_meters, Hooks hooks);

    // Meters gathered elsewhere (an export's blocks), shown from the next tick.
    void add(const MeterSnapshot& gathered);
    // Something may move (blocks were handed in, a state changed): ticks from now on, the first
    // one at once when the clock was at rest or a tick is overdue.
    void wake();
    // The engine stopped: its last blocks are shown at once, then the peaks fall to nothing
    // (and, with nothing else streaming, the gate lamps and AGC rest).
    void engine_stopped();
    bool running() const { return timer_.isActive(); }

    // One tick as if `seconds` had passed since the last (the timer's ticks pass the real time;
    // the screenshot passes each block's time as it plays them faster).
    void tick(double seconds);

private:
    double seconds_since_tick() const;
    // Asks for a repaint of the parts that would show something else than what was shown.
    void repaint_changes(const MeterModel::Frame& frame, const DisplayFrame& display);

    MeterModel& model_;
    MeterMailbox* engine_meters_ = nullptr;
    Hooks hooks_;
    QTimer timer_;
    QElapsedTimer since_tick_;
    MeterSnapshot pending_;  // handed in since the last tick
    bool has_pending_ = false;
    MeterModel::Frame shown_;
    DisplayFrame shown_display_;
};

}  // namespace zv
