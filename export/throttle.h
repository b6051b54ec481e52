// The "Don't use 100% CPU Power" pauses. Each loop that can take long keeps its own
// Throttle; the settings are read live because the export dialog changes them meanwhile.
#pragma once

#include <chrono>

#include "export/export_options.h"

namespace zv {

class Throttle {
public:
    // divisor 10: the export's block loop (pauses every call); divisor 50 with every 20:
    // the MP3 encoder's and decoder's frame loops.
    Throttle(const ThrottleSettings* settings, int divisor, int every)
        : settings_(settings), divisor_(divisor), every_(every) {}

    // Sleeps level x elapsed / divisor ms, elapsed being the ms since the previous pause of
    // this loop (including that pause), clamped to 0..100.
    void pause_if_due();

private:
    const ThrottleSettings* settings_;
    int divisor_;
    int every_;
    long iteration_ = 0;
    std::chrono::steady_clock::time_point previous_{};
    bool have_previous_ = false;
};

}  // namespace zv
