// The owner loop of a program without a window (the command line, the tests): waits on the
// device's eventfd with poll, runs the buffer-done handlers and fires the one-shot timers.
#pragma once

#include <array>
#include <chrono>
#include <optional>

#include "playback/audio_engine.h"

namespace zv {

class PollLoopHost : public EngineHost {
public:
    void set_timer(int id, int delay_ms) override;
    void kill_timer(int id) override;
    bool timer_armed(int id) const;

    // Waits at most max_wait_ms for device events, a due timer or `wake_fd` becoming readable
    // (-1: none), then handles what has arrived. Returns true when wake_fd was readable.
    bool run_once(AudioEngine& e, int max_wait_ms, int wake_fd = -1);

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int TIMER_SLOTS = 4;
    std::array<std::optional<Clock::time_point>, TIMER_SLOTS> timers_{};
};

}  // namespace zv
