#include "export/throttle.h"

#include <algorithm>
#include <thread>

namespace zv {

void Throttle::pause_if_due() {
    if (settings_ == nullptr || settings_->cpu_throttle_on.load(std::memory_order_relaxed) == 0)
        return;
    if (iteration_++ % every_ != 0)
        return;
    auto now = std::chrono::steady_clock::now();
    long elapsed = 0;
    if (have_previous_) {
        elapsed = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now - previous_).count());
    }
    previous_ = now;
    have_previous_ = true;
    elapsed = std::clamp(elapsed, 0L, 100L);
    long level = settings_->cpu_throttle_level.load(std::memory_order_relaxed);
    long sleep_ms = level * elapsed / divisor_;
    if (sleep_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
}

}  // namespace zv
