#include "engine/meter_mailbox.h"

#include <algorithm>

namespace zv {

void gather_block_meters(MeterSnapshot& g, const MeterSnapshot& b) {
    g.input_peak_l = std::max(g.input_peak_l, b.input_peak_l);
    g.input_peak_r = std::max(g.input_peak_r, b.input_peak_r);
    g.output_peak_l = std::max(g.output_peak_l, b.output_peak_l);
    g.output_peak_r = std::max(g.output_peak_r, b.output_peak_r);
    g.enhancer_peak = std::max(g.enhancer_peak, b.enhancer_peak);
    g.hf_limit_peak = std::max(g.hf_limit_peak, b.hf_limit_peak);
    // The HF limiter's reduction is shown as a held peak; the AGC's are states.
    g.hf_gain_reduction_l = std::max(g.hf_gain_reduction_l, b.hf_gain_reduction_l);
    g.hf_gain_reduction_r = std::max(g.hf_gain_reduction_r, b.hf_gain_reduction_r);
    g.agc_gain_lo = b.agc_gain_lo;
    g.agc_gain_hi = b.agc_gain_hi;
    for (size_t i = 0; i < METER_BANDS; ++i) {
        g.band_gain_reduction_peak[i] =
            std::max(g.band_gain_reduction_peak[i], b.band_gain_reduction_peak[i]);
        g.band_clip_flag[i] = g.band_clip_flag[i] != 0 || b.band_clip_flag[i] != 0 ? 1 : 0;
        g.gate_indicator[i] = b.gate_indicator[i];
    }
    g.clip_flag_l = g.clip_flag_l != 0 || b.clip_flag_l != 0 ? 1 : 0;
    g.clip_flag_r = g.clip_flag_r != 0 || b.clip_flag_r != 0 ? 1 : 0;
}

void MeterMailbox::add(const MeterSnapshot& block) {
    MeterSnapshot& slot = slots_[back_];
    uint32_t middle = middle_.load(std::memory_order_acquire);
    for (;;) {
        if ((middle & FRESH) != 0) {
            // The last publication was not taken: this one carries it on. The consumer may be
            // reading that slot too; nobody writes it.
            slot = slots_[middle & INDEX_MASK];
            gather_block_meters(slot, block);
        } else {
            slot = block;
        }
        // Fails only when the consumer took the middle slot meanwhile: then the block alone.
        if (middle_.compare_exchange_weak(middle, back_ | FRESH, std::memory_order_acq_rel,
                                          std::memory_order_acquire)) {
            back_ = middle & INDEX_MASK;
            return;
        }
    }
}

bool MeterMailbox::take(MeterSnapshot& out) {
    // Only take() clears FRESH, so what this load sees the exchange sees too.
    if ((middle_.load(std::memory_order_acquire) & FRESH) == 0) {
        return false;
    }
    front_ = middle_.exchange(front_, std::memory_order_acq_rel) & INDEX_MASK;
    out = slots_[front_];
    return true;
}

void MeterMailbox::reset() {
    middle_.store(1, std::memory_order_relaxed);
    back_ = 0;
    front_ = 2;
}

}  // namespace zv
