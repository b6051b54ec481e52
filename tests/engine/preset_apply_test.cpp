#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

#include "engine/coefficient_sets.h"
#include "engine/factory_presets.h"
#include "engine/processor.h"

namespace zv {
namespace {

std::unique_ptr<Processor> started_processor() {
    auto p = make_processor();
    processor_startup(*p);
    return p;
}

// Fills every field a preset must not touch, and every state a preset must clear, with
// values no preset holds.
void disturb(Processor& p) {
    ProcessorParams& q = p.params;
    q.switches.noise_gate = 1;
    q.switches.bypass = 1;
    q.switches.virtual_room = 1;
    for (int b = 0; b < BAND_COUNT; ++b) {
        q.bands[b].gate_threshold_db = -50.0 + b;
    }
    q.interaural_delay_cm = 27.5;
    q.room_size_m = 31.0;
    q.reverb_level_pct = 77.0;
    q.test_channels = 2.0;
    q.normalisation_gain = 3.5;
    q.settings.agc_gain_lo = 1234.0;
    q.settings.agc_gain_hi = -567.0;
    q.settings.hf_gain_reduction_l = 11.0;
    q.settings.hf_gain_reduction_r = 12.0;
    q.settings.hf_state_l = 13.0;
    q.settings.hf_state_r = 14.0;
    q.settings.unwritten_meter = 15.0;
    q.bass_eq_rate_hz = 48000.0;
    std::memset(q.preset_name.data(), 'x', q.preset_name.size());
}

TEST(ApplyFactoryPreset, KeepsSwitchesGatesAndRoomAndClearsAgcAndHfStates) {
    for (const FactoryPresetInfo& info : factory_preset_list()) {
        SCOPED_TRACE(info.id);
        auto p = started_processor();
        disturb(*p);
        apply_factory_preset(*p, info.id);
        const ProcessorParams& q = p->params;
        EXPECT_EQ(q.switches.noise_gate, 1);
        EXPECT_EQ(q.switches.bypass, 1);
        EXPECT_EQ(q.switches.virtual_room, 1);
        for (int b = 0; b < BAND_COUNT; ++b) {
            EXPECT_EQ(q.bands[b].gate_threshold_db, -50.0 + b);
        }
        EXPECT_EQ(q.interaural_delay_cm, 27.5);
        EXPECT_EQ(q.room_size_m, 31.0);
        EXPECT_EQ(q.reverb_level_pct, 77.0);
        EXPECT_EQ(q.test_channels, 2.0);
        EXPECT_EQ(q.normalisation_gain, 3.5);

        EXPECT_EQ(q.settings.agc_gain_lo, 0.0);
        EXPECT_EQ(q.settings.agc_gain_hi, 0.0);
        EXPECT_EQ(q.settings.hf_gain_reduction_l, 0.0);
        EXPECT_EQ(q.settings.hf_gain_reduction_r, 0.0);
        EXPECT_EQ(q.settings.hf_state_l, 0.0);
        EXPECT_EQ(q.settings.hf_state_r, 0.0);
        EXPECT_EQ(q.settings.unwritten_meter, 0.0);

        const PresetRecord& r = factory_preset_record(info.id);
        for (int b = 0; b < BAND_COUNT; ++b) {
            EXPECT_EQ(q.bands[b].gain_db, r.gain_db[b]);
            EXPECT_EQ(q.bands[b].limiter_drive_db, r.limiter_drive_db[b]);
            EXPECT_EQ(q.bands[b].vca_threshold_db, r.vca_threshold_db[b]);
            EXPECT_EQ(q.bands[b].clip_threshold_db, r.clip_threshold_db[b]);
            EXPECT_EQ(q.bands[b].out_mix_db, r.out_mix_db[b]);
        }
        EXPECT_EQ(q.bands[0].bass_attack_ms, r.bass_attack_ms);
        EXPECT_EQ(q.settings.mb_release, r.mb_release);
        EXPECT_EQ(q.settings.stereo_type, r.stereo_type);
        EXPECT_EQ(q.settings.preemphasis, r.preemphasis);
        EXPECT_EQ(q.switches.deemphasis, r.deemphasis);
        EXPECT_EQ(q.final_lpf, r.final_lpf);
        EXPECT_EQ(q.settings.hf_threshold_db, info.id == 232 ? 0.0 : -32.0);
        EXPECT_EQ(q.settings.hf_drive_db, info.id == 232 ? 0.0 : 24.0);
        EXPECT_STREQ(q.preset_name.data(), info.stored_text);
    }
}

TEST(ApplyFactoryPreset, UnknownIdentifierAppliesPreset232) {
    auto known = started_processor();
    auto unknown = started_processor();
    apply_factory_preset(*known, 334);
    apply_factory_preset(*unknown, 334);
    apply_factory_preset(*known, 232);
    apply_factory_preset(*unknown, 9999);
    const ProcessorParams& a = known->params;
    const ProcessorParams& b = unknown->params;
    EXPECT_STREQ(b.preset_name.data(), "Simlutates MegaHit FM Radio Station");
    EXPECT_EQ(b.bands[0].gain_db, a.bands[0].gain_db);
    EXPECT_EQ(b.bands[4].out_mix_db, -0.5);
    EXPECT_EQ(b.settings.agc_threshold_db, a.settings.agc_threshold_db);
    EXPECT_EQ(b.final_lpf, 1.0);
    EXPECT_EQ(b.settings.mb_release, 1.0);
}

TEST(ApplyFactoryPreset, DesignsTheBassEqFor44100WhateverTheRate) {
    for (int rate : {48000, 32000}) {
        SCOPED_TRACE(rate);
        auto p = started_processor();
        change_sample_rate(*p, rate);
        EXPECT_EQ(p->params.bass_eq_rate_hz, rate);
        apply_factory_preset(*p, 342);  // 3 dB at 80 Hz, Q 1.4
        EXPECT_EQ(p->params.bass_eq_rate_hz, 44100.0);
        const double a = std::pow(10.0, 3.0 / 40.0);
        const double w0 = 2.0 * std::numbers::pi * 80.0 / 44100.0;
        const double alpha = std::sin(w0) / (2.0 * 1.4);
        const double a0 = 1.0 + alpha / a;
        const StereoBiquad& eq = p->state.bass_eq;
        EXPECT_DOUBLE_EQ(lane_l(eq.b0), (1.0 + alpha * a) / a0);
        EXPECT_DOUBLE_EQ(lane_l(eq.a2), (1.0 - alpha / a) / a0);
        EXPECT_EQ(lane_r(eq.b0), lane_l(eq.b0));
        EXPECT_EQ(lane_r(eq.a1), lane_l(eq.a1));
    }
}

TEST(ApplyFactoryPreset, InstallsItsReleaseSettingAndFinalLowPass) {
    auto p = started_processor();
    change_sample_rate(*p, 48000);
    apply_factory_preset(*p, 335);  // mb_release 4, final_lpf 4 (8 kHz)
    for (const ProcessorBand& band : p->params.bands) {
        EXPECT_EQ(band.lookahead_len, 110);
    }
    const FifthOrderCoeffs& lp8k = rate_coefficients(48000).final_lpf_iir[4];
    EXPECT_EQ(lane_l(p->state.final_iir.b[0]), lp8k.b[0]);
    EXPECT_EQ(lane_r(p->state.final_iir.a[5]), lp8k.a[5]);

    apply_factory_preset(*p, 342);  // mb_release 2
    for (const ProcessorBand& band : p->params.bands) {
        EXPECT_EQ(band.lookahead_len, 440);
    }
}

TEST(ProcessorStartup, GatesAt36Preset232AndRoomDefaults) {
    auto p = make_processor();
    for (ProcessorBand& band : p->params.bands) {
        band.gate_threshold_db = -12.0;
    }
    p->params.reverb_level_pct = 5.0;
    p->params.test_channels = 0.0;
    processor_startup(*p);
    for (const ProcessorBand& band : p->params.bands) {
        EXPECT_EQ(band.gate_threshold_db, -36.0);
        EXPECT_EQ(band.lookahead_len, 880);  // 232's mb_release 1
    }
    EXPECT_STREQ(p->params.preset_name.data(), "Simlutates MegaHit FM Radio Station");
    EXPECT_EQ(p->params.interaural_delay_cm, 18.0);
    EXPECT_EQ(p->params.room_size_m, 10.0);
    EXPECT_EQ(p->params.reverb_level_pct, 40.0);
    EXPECT_EQ(p->params.test_channels, 1.0);
    EXPECT_EQ(p->params.bass_eq_rate_hz, 44100.0);
    // A started processor runs the 44.1 kHz chain even before any song sets the rate.
    EXPECT_EQ(lane_l(p->state.final_fir.c[11]), rate_coefficients(44100).fir_15k.c[11]);
}

}  // namespace
}  // namespace zv
