#include "ui/meter_clock.h"

#include "ui/control_text.h"

namespace zv {
namespace {

// The parts of the panel that a tick may change, in client coordinates.
constexpr ClientRect WHOLE_PANEL = {0, PANEL_TOP, PANEL_WIDTH, PANEL_HEIGHT - PANEL_TOP};
// From the first meter's column to the last's, the clip bars under them included.
constexpr ClientRect METERS_AREA = {METERS.front().x, METER_TOP,
                                    METERS.back().x + METERS.back().width - METERS.front().x,
                                    CLIP_BAR_Y + CLIP_BAR_HEIGHT - METER_TOP};
constexpr ClientRect GATE_LEDS_AREA = {GATE_LED_X, GATE_LED_Y, GATE_LED_SIZE,
                                       GATE_LED_STEP*(METER_BANDS - 1) + GATE_LED_SIZE};
// The time's digits, up to the indicators beside them.
constexpr ClientRect TIME_AREA = {TIME_DISPLAY.x, TIME_DISPLAY.y,
                                  CHANNEL_INDICATOR.x - TIME_DISPLAY.x, LARGE_HEIGHT};

}  // namespace

MeterClock::MeterClock(MeterModel& model, QObject* parent)
    : QObject(parent), model_(model), timer_(this) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(METER_TICK_MS);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(seconds_since_tick()); });
}

void MeterClock::attach(MeterMailbox& engine_meters, Hooks hooks) {
    engine_meters_ = &engine_meters;
    hooks_ = std::move(hooks);
}

void MeterClock::add(const MeterSnapshot& gathered) {
    if (has_pending_) {
        gather_block_meters(pending_, gathered);
    } else {
        pending_ = gathered;
        has_pending_ = true;
    }
    wake();
}

void MeterClock::wake() {
    if (timer_.isActive()) {
        // The device's events can keep the event loop from the timer (a slow machine
        // processing many late blocks at once): a tick that is due runs now.
        const double seconds = seconds_since_tick();
        if (seconds * 1000.0 >= METER_TICK_MS) {
            tick(seconds);
        }
        return;
    }
    // From rest: nothing fell meanwhile that is still shown, so no time passes for the first
    // tick and the new blocks are shown at their height.
    timer_.start();
    tick(0.0);
}

void MeterClock::engine_stopped() {
    if (timer_.isActive()) {
        tick(seconds_since_tick());
    } else {
        wake();
    }
}

double MeterClock::seconds_since_tick() const {
    return since_tick_.isValid() ? static_cast<double>(since_tick_.nsecsElapsed()) / 1e9 : 0.0;
}

void MeterClock::tick(double seconds) {
    since_tick_.start();
    // What was shown falls by the time passed; the blocks of that time are laid on it at their
    // height.
    model_.advance(seconds);
    MeterSnapshot taken;
    if (engine_meters_ != nullptr && engine_meters_->take(taken)) {
        if (has_pending_) {
            gather_block_meters(pending_, taken);
        } else {
            pending_ = taken;
            has_pending_ = true;
        }
    }
    const bool fresh = has_pending_;
    if (has_pending_) {
        model_.absorb(pending_);
        has_pending_ = false;
    }
    // With nothing streaming the gate lamps and the AGC meters rest; the last blocks' peaks
    // were laid on the meters above and fall from there.
    const bool streaming = hooks_.streaming && hooks_.streaming();
    if (!streaming) {
        model_.engine_stopped();
    }
    const MeterModel::Frame frame = model_.frame();
    const DisplayFrame display =
        hooks_.inputs ? make_display_frame(hooks_.inputs(), frame) : DisplayFrame{};
    repaint_changes(frame, display);
    shown_ = frame;
    shown_display_ = display;
    if (!streaming && !fresh && model_.at_rest()) {
        timer_.stop();
    }
}

// Only what changed is repainted: the screen copies fewer pixels 60 times a second.
void MeterClock::repaint_changes(const MeterModel::Frame& frame, const DisplayFrame& display) {
    if (!hooks_.repaint) {
        return;
    }
    DisplayFrame rest = display;
    rest.gate_led_image = shown_display_.gate_led_image;
    rest.time_text = shown_display_.time_text;
    if (rest != shown_display_) {
        hooks_.repaint(WHOLE_PANEL);  // a button, LED or indicator
        return;
    }
    if (frame != shown_) {
        hooks_.repaint(METERS_AREA);
    }
    if (display.gate_led_image != shown_display_.gate_led_image) {
        hooks_.repaint(GATE_LEDS_AREA);
    }
    if (display.time_text != shown_display_.time_text) {
        hooks_.repaint(TIME_AREA);
    }
}

}  // namespace zv
