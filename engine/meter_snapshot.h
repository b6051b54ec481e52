// What the panel's displays read of the chain: the meter values of one processed block.
// process_block fills one per block in the processor's state (Processor::state.meters); its
// caller copies it after every block (playback after each buffer, the export worker publishing
// it race-free), so the displays never read or write the processor itself.
//
// Peaks and clip flags cover the one block (a peak is the block's maximum, from 0; a flag is 1
// when anything clipped in the block); the AGC and HF limiter reductions and the gate
// indicators are their values at the block's end. The display keeps its own held values: it
// lays a block's peak on top of what it holds and decays that after drawing.
#pragma once

#include <array>
#include <cstdint>

namespace zv {

constexpr int METER_BANDS = 6;

struct MeterSnapshot {
    double input_peak_l = 0, input_peak_r = 0;                   // sample units, 32767 full scale
    double output_peak_l = 0, output_peak_r = 0;                 // sample units
    double agc_gain_lo = 0, agc_gain_hi = 0;                     // gain reduction, scale 23169
    double hf_gain_reduction_l = 0, hf_gain_reduction_r = 0;     // scale 23169
    double enhancer_peak = 0;                                    // the side signal's peak
    double hf_limit_peak = 0;                                    // the HF limiter's level
    std::array<double, METER_BANDS> band_gain_reduction_peak{};  // gain = 1 - value/32767
    std::array<int32_t, METER_BANDS> band_clip_flag{};
    std::array<int32_t, METER_BANDS> gate_indicator{};  // 0..3
    int32_t clip_flag_l = 0, clip_flag_r = 0;           // the output clipped
};

// Starts a block: peaks from 0 and no clip; the values taken at the block's end stay until
// the block ends.
inline void begin_block_meters(MeterSnapshot& m) {
    m.input_peak_l = m.input_peak_r = 0.0;
    m.output_peak_l = m.output_peak_r = 0.0;
    m.enhancer_peak = 0.0;
    m.hf_limit_peak = 0.0;
    m.band_gain_reduction_peak.fill(0.0);
    m.band_clip_flag.fill(0);
    m.clip_flag_l = m.clip_flag_r = 0;
}

}  // namespace zv
