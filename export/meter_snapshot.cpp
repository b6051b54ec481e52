#include "export/meter_snapshot.h"

namespace zv {

void PublishedMeters::store(const MeterSnapshot& m) {
    constexpr auto r = std::memory_order_relaxed;
    const double ds[10] = {m.input_peak_l,        m.input_peak_r,        m.output_peak_l,
                           m.output_peak_r,       m.agc_gain_lo,         m.agc_gain_hi,
                           m.hf_gain_reduction_l, m.hf_gain_reduction_r, m.enhancer_peak,
                           m.hf_limit_peak};
    for (int k = 0; k < 10; ++k)
        d_[static_cast<size_t>(k)].store(ds[k], r);
    for (size_t b = 0; b < BAND_COUNT; ++b) {
        d_[10 + b].store(m.band_gain_reduction_peak[b], r);
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
        m.band_gain_reduction_peak[b] = d_[10 + b].load(r);
        m.band_clip_flag[b] = i_[b].load(r);
        m.gate_indicator[b] = i_[BAND_COUNT + b].load(r);
    }
    m.clip_flag_l = i_[2 * BAND_COUNT].load(r);
    m.clip_flag_r = i_[2 * BAND_COUNT + 1].load(r);
    return m;
}

}  // namespace zv
