// The meter values the processor writes per block, published by the export worker so the
// panel can read them from the GUI thread without a race: relaxed atomics, one per value.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/processor_params.h"

namespace zv {

struct MeterSnapshot {
    double input_peak_l = 0, input_peak_r = 0;
    double output_peak_l = 0, output_peak_r = 0;
    double agc_gain_lo = 0, agc_gain_hi = 0;
    double hf_gain_reduction_l = 0, hf_gain_reduction_r = 0;
    double enhancer_peak = 0, hf_limit_peak = 0;
    std::array<double, BAND_COUNT> band_gain_reduction{};
    std::array<int32_t, BAND_COUNT> band_clip_flag{};
    std::array<int32_t, BAND_COUNT> gate_indicator{};
    int32_t clip_flag_l = 0, clip_flag_r = 0;
};

MeterSnapshot take_meter_snapshot(const ProcessorParams& params);

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
