#include "playback/poll_loop.h"

#include <poll.h>

#include <algorithm>

namespace zv {

void PollLoopHost::set_timer(int id, int delay_ms) {
    if (id >= 0 && id < TIMER_SLOTS) {
        timers_[id] = Clock::now() + std::chrono::milliseconds(delay_ms);
    }
}

void PollLoopHost::kill_timer(int id) {
    if (id >= 0 && id < TIMER_SLOTS) {
        timers_[id].reset();
    }
}

bool PollLoopHost::timer_armed(int id) const {
    return id >= 0 && id < TIMER_SLOTS && timers_[id].has_value();
}

bool PollLoopHost::run_once(AudioEngine& e, int max_wait_ms, int wake_fd) {
    const Clock::time_point now = Clock::now();
    int wait_ms = max_wait_ms;
    for (const auto& t : timers_) {
        if (t) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*t - now);
            wait_ms = std::clamp(static_cast<int>(left.count()), 0, wait_ms);
        }
    }
    pollfd fds[2];
    int n = 0;
    int wake_index = -1;
    if (e.device->wait_fd() >= 0) {
        fds[n++] = {e.device->wait_fd(), POLLIN, 0};
    }
    if (wake_fd >= 0) {
        wake_index = n;
        fds[n++] = {wake_fd, POLLIN, 0};
    }
    const int ready = poll(fds, static_cast<nfds_t>(n), wait_ms);
    dispatch_device_events(e);
    for (int id = 0; id < TIMER_SLOTS; ++id) {
        if (timers_[id] && *timers_[id] <= Clock::now()) {
            timers_[id].reset();
            on_timer(e, id);
        }
    }
    return ready > 0 && wake_index >= 0 && (fds[wake_index].revents & POLLIN) != 0;
}

}  // namespace zv
