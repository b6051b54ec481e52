#include "ui/meter_clock.h"

namespace zv {

MeterClock::MeterClock(MeterModel& model, QObject* parent)
    : QObject(parent), model_(model), timer_(this) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(METER_TICK_MS);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const double seconds = static_cast<double>(since_tick_.nsecsElapsed()) / 1e9;
        since_tick_.start();
        tick(seconds);
    });
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
        return;
    }
    // From rest: nothing fell meanwhile that is still shown, so no time passes for the first
    // tick and the new blocks are shown at their height.
    since_tick_.start();
    timer_.start();
    tick(0.0);
}

void MeterClock::engine_stopped() {
    stopped_ = true;
    if (timer_.isActive()) {
        tick(static_cast<double>(since_tick_.nsecsElapsed()) / 1e9);
        since_tick_.start();
    } else {
        wake();
    }
}

void MeterClock::tick(double seconds) {
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
    if (stopped_) {
        model_.engine_stopped();
        stopped_ = false;
    }
    const MeterModel::Frame frame = model_.frame();
    const DisplayFrame display =
        hooks_.inputs ? make_display_frame(hooks_.inputs(), frame) : DisplayFrame{};
    if (frame != shown_ || display != shown_display_) {
        shown_ = frame;
        shown_display_ = display;
        if (hooks_.repaint) {
            hooks_.repaint();
        }
    }
    const bool streaming = hooks_.streaming && hooks_.streaming();
    if (!streaming && !fresh && model_.at_rest()) {
        timer_.stop();
    }
}

}  // namespace zv
