// The export worker publishes the meters of each block so the panel can read them from the
// GUI thread without a race: relaxed atomics, one per value.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/meter_snapshot.h"
#include "engine/processor_params.h"

namespace zv {

class PublishedMeters {
public:
    void store(const MeterSnapshot& s);  // the worker, after each block
    MeterSnapshot load() const;          // any thread

private:
    static constexpr int DOUBLES = 10 + BAND_COUNT;
    static constexpr int INTS = 2 * BAND_COUNT + 2;
    std::array<std::atomic<double>, DOUBLES> d_{};
    std::array<std::atomic<int32_t>, INTS> i_{};
};

}  // namespace zv
