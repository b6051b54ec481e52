#include "engine/meter_snapshot.h"

#include "engine/processor_params.h"

namespace zv {

static_assert(METER_BANDS == BAND_COUNT);

MeterSnapshot take_meter_snapshot(const ProcessorParams& params) {
    const ProcessorSettings& s = params.settings;
    MeterSnapshot m;
    m.input_peak_l = s.input_peak_l;
    m.input_peak_r = s.input_peak_r;
    m.output_peak_l = s.output_peak_l;
    m.output_peak_r = s.output_peak_r;
    m.agc_gain_lo = s.agc_gain_lo;
    m.agc_gain_hi = s.agc_gain_hi;
    m.hf_gain_reduction_l = s.hf_gain_reduction_l;
    m.hf_gain_reduction_r = s.hf_gain_reduction_r;
    m.enhancer_peak = s.enhancer_peak;
    m.hf_limit_peak = s.hf_limit_peak;
    for (int b = 0; b < BAND_COUNT; ++b) {
        const ProcessorBand& band = params.bands[static_cast<size_t>(b)];
        m.band_gain_reduction_peak[static_cast<size_t>(b)] = band.gain_reduction_peak;
        m.band_clip_flag[static_cast<size_t>(b)] = band.clip_flag;
        m.gate_indicator[static_cast<size_t>(b)] = band.gate_indicator;
    }
    m.clip_flag_l = params.clip_flag_l;
    m.clip_flag_r = params.clip_flag_r;
    return m;
}

}  // namespace zv
