// The meters of a chain that runs in the device's callback, published to the owner thread as
// snapshots. The callback lays every period's meters on an accumulated snapshot (peaks the
// highest, clip flags set if any period clipped, gains and gate indicators the latest) and
// publishes it after each period; the owner takes the newest whenever it looks, and the next
// accumulation starts once it has. Nothing is lost between two looks and nothing blocks: the
// snapshots pass through three buffers swapped with one atomic exchange.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/meter_snapshot.h"

namespace zv {

// Lays one period's meters on an accumulated snapshot.
inline void accumulate_meters(MeterSnapshot& acc, const MeterSnapshot& m) {
    auto higher = [](double& a, double b) {
        if (b > a) {
            a = b;
        }
    };
    higher(acc.input_peak_l, m.input_peak_l);
    higher(acc.input_peak_r, m.input_peak_r);
    higher(acc.output_peak_l, m.output_peak_l);
    higher(acc.output_peak_r, m.output_peak_r);
    higher(acc.enhancer_peak, m.enhancer_peak);
    higher(acc.hf_limit_peak, m.hf_limit_peak);
    for (int b = 0; b < METER_BANDS; ++b) {
        higher(acc.band_gain_reduction_peak[b], m.band_gain_reduction_peak[b]);
        acc.band_clip_flag[b] |= m.band_clip_flag[b];
    }
    acc.clip_flag_l |= m.clip_flag_l;
    acc.clip_flag_r |= m.clip_flag_r;
    acc.agc_gain_lo = m.agc_gain_lo;
    acc.agc_gain_hi = m.agc_gain_hi;
    acc.hf_gain_reduction_l = m.hf_gain_reduction_l;
    acc.hf_gain_reduction_r = m.hf_gain_reduction_r;
    acc.gate_indicator = m.gate_indicator;
}

class MeterMailbox {
public:
    // ---- callback side ----

    // Lays the period's meters on the accumulation (a fresh one when the owner has taken the
    // last publication) and publishes it.
    void publish_period(const MeterSnapshot& period) {
        if ((middle_.load(std::memory_order_acquire) & FRESH) == 0) {
            acc_ = period;  // the owner has what came before
        } else {
            accumulate_meters(acc_, period);
        }
        buffers_[back_] = acc_;
        back_ = middle_.exchange(back_ | FRESH, std::memory_order_acq_rel) & INDEX;
    }

    // ---- owner side ----

    // The meters accumulated since the last take; false (out unchanged) when no period has
    // ended since.
    bool take(MeterSnapshot& out) {
        if ((middle_.load(std::memory_order_relaxed) & FRESH) == 0) {
            return false;
        }
        front_ = middle_.exchange(front_, std::memory_order_acq_rel) & INDEX;
        out = buffers_[front_];
        return true;
    }

    // Only while no callback runs.
    void reset() {
        middle_.store(1, std::memory_order_relaxed);
        back_ = 0;
        front_ = 2;
        acc_ = MeterSnapshot{};
    }

private:
    static constexpr uint32_t INDEX = 3;
    static constexpr uint32_t FRESH = 4;  // the middle buffer holds a publication not yet taken

    std::array<MeterSnapshot, 3> buffers_{};
    std::atomic<uint32_t> middle_{1};
    uint32_t back_ = 0;   // callback only
    uint32_t front_ = 2;  // owner only
    MeterSnapshot acc_;   // callback only
};

}  // namespace zv
