#include "export/meter_snapshot.h"

namespace zv {

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
        m.band_gain_reduction[static_cast<size_t>(b)] = band.gain_reduction;
        m.band_clip_flag[static_cast<size_t>(b)] = band.clip_flag;
        m.gate_indicator[static_cast<size_t>(b)] = band.gate_indicator;
    }
    m.clip_flag_l = params.clip_flag_l;
    m.clip_flag_r = params.clip_flag_r;
    return m;
}

void PublishedMeters::store(const MeterSnapshot& m) {
    constexpr auto r = std::memory_order_relaxed;
    const double ds[10] = {m.input_peak_l,        m.input_peak_r,        m.output_peak_l,
                           m.output_peak_r,       m.agc_gain_lo,         m.agc_gain_hi,
                           m.hf_gain_reduction_l, m.hf_gain_reduction_r, m.enhancer_peak,
                           m.hf_limit_peak};
    for (int k = 0; k < 10; ++k)
        d_[static_cast<size_t>(k)].store(ds[k], r);
    for (size_t b = 0; b < BAND_COUNT; ++b) {
        d_[10 + b].store(m.band_gain_reduction[b], r);
        i_[b].store(m.band_clip_flag[b], r);
        i_[BAND_COUNT + b].store(m.gate_indicator[b], r);
    }
    i_[2 * BAND_COUNT].store(m.clip_flag_l, r);
    i_[2 * BAND_COUNT + 1].store(m.clip_flag_r, r);
}

MeterSnapshot PublishedMeters::load() const {
    constexpr auto r = std::memory_order_relaxed;
    MeterSnapshot m;
    double* ds[10] = {&m.input_peak_l,        &m.input_peak_r,        &m.output_peak_l,
                      &m.output_peak_r,       &m.agc_gain_lo,         &m.agc_gain_hi,
                      &m.hf_gain_reduction_l, &m.hf_gain_reduction_r, &m.enhancer_peak,
                      &m.hf_limit_peak};
    for (int k = 0; k < 10; ++k)
        *ds[k] = d_[static_cast<size_t>(k)].load(r);
    for (size_t b = 0; b < BAND_COUNT; ++b) {
        m.band_gain_reduction[b] = d_[10 + b].load(r);
        m.band_clip_flag[b] = i_[b].load(r);
        m.gate_indicator[b] = i_[BAND_COUNT + b].load(r);
    }
    m.clip_flag_l = i_[2 * BAND_COUNT].load(r);
    m.clip_flag_r = i_[2 * BAND_COUNT + 1].load(r);
    return m;
}

}  // namespace zv
