// The processor's parameter set: everything the panel edits, the files store and the presets
// overwrite, which the block processor reads per block, with the running state of the bands,
// the AGC and the HF limiter. The chain's meters are not here: process_block leaves them in
// the processor's state (MeterSnapshot, meter_snapshot.h). The fields that once carried them
// stay as slots that nothing writes, so every record keeps its fields.
#pragma once

#include <array>
#include <cstdint>

#include "engine/filter_sections.h"

namespace zv {

constexpr int BAND_COUNT = 6;
constexpr int PRESET_NAME_BYTES = 64;

// One compressor band. Parameters first (the 240-byte band block of the settings file holds
// the first five of every band), then the running state that the block processor owns.
// The band's release section, gate section and delay-line block live in the Processor's
// banks at the band's own index, so no pointers are stored here.
struct ProcessorBand {
    double gain_db = 0.0;
    double limiter_drive_db = 0.0;
    double vca_threshold_db = 0.0;
    double clip_threshold_db = 0.0;
    double out_mix_db = 0.0;
    double in_l = 0.0, in_r = 0.0;
    double out_l = 0.0, out_r = 0.0;
    double gain_reduction = 0.0;          // sample units, gain = 1 - value/32767; also the meter
    double delayed_gain_reduction = 0.0;  // band 1 only
    double bass_attack_ms = 0.0;          // band 1 only
    double gain_reduction_peak = 0.0;     // meter slot, not written (MeterSnapshot)
    int32_t clip_flag = 0;                // meter slot, not written (MeterSnapshot)
    int32_t lookahead_len = 880;          // 880, 440, 220 or 110 samples
    double sidechain_l = 0.0, sidechain_r = 0.0;
    FirstOrderSection program_section;  // 4 Hz release blend (bands 2 to 6)
    double gate_gain = 1.0;
    double gate_threshold_db = -36.0;
    int32_t gate_indicator = 0;  // meter slot, not written (MeterSnapshot)
};

struct ProcessorSettings {
    double agc_gain_lo = 0.0;  // sample units; also the AGC Lo meter
    double agc_gain_hi = 0.0;
    double agc_threshold_db = 0.0;
    double agc_drive_db = 0.0;
    double stereo_level_db = 0.0;
    double stereo_delay_ms = 10.0;
    double input_peak_l = 0.0, input_peak_r = 0.0;    // meter slots, not written
    double output_peak_l = 0.0, output_peak_r = 0.0;  // meter slots, not written
    double mb_release = 1.0;                          // choice 1..5
    double mb_attack = 4.0;                           // choice 1..5
    double final_clip_threshold_db = 0.0;
    double unused_1 = 0.0;                                        // read by no processing
    double stereo_type = 1.0;                                     // choice 1..5
    double band_clip_knee = 2.0;                                  // 0 soft, 1 medium soft, 2 hard
    double bass_punch = 0.0;                                      // legacy, not read by the chain
    double hf_gain_reduction_l = 0.0, hf_gain_reduction_r = 0.0;  // scale 23169
    double hf_state_l = 0.0, hf_state_r = 0.0;
    double hf_threshold_db = 0.0;
    double hf_drive_db = 0.0;
    double hf_reserved_db = -6.0;      // stored, not read by the chain
    double preemphasis = 0.0;          // 0 off, 1 50 us, 2 75 us
    double unwritten_meter = 0.0;      // meter slot; presets zero it, the chain never writes it
    double enhancer_peak = 0.0;        // meter slot, not written
    double hf_limit_peak = 0.0;        // meter slot, not written
    std::array<double, 4> unused_2{};  // read by no processing
    double overshoot_threshold_db = 0.0;
    double agc_release = 4.0;      // 1..4
    double final_clip_type = 0.0;  // 0 adaptive, 1 hard
};

struct ProcessorSwitches {
    int32_t bypass = 0;
    int32_t bass_eq_off = 0;
    int32_t bass_phase = 1;
    int32_t stereo_enhance = 1;
    int32_t deemphasis = 0;
    int32_t noise_gate = 0;
    int32_t virtual_room = 0;
};

struct ProcessorParams {
    std::array<ProcessorBand, BAND_COUNT> bands{};  // [0] is band 1, the lowest
    ProcessorSettings settings;
    ProcessorSwitches switches;
    // The bass EQ quadruple, stored together in this order.
    double bass_eq_gain_db = 0.0;
    double bass_eq_freq_hz = 60.0;
    double bass_eq_rate_hz = 44100.0;
    double bass_eq_q = 1.4;
    double final_lpf = 0.0;  // choice 0..6
    double interaural_delay_cm = 18.0;
    double room_size_m = 10.0;
    double reverb_level_pct = 40.0;
    double test_channels = 1.0;  // 0 left only, 1 both, 2 right only
    double normalisation_gain = 1.0;
    int32_t clip_flag_l = 0, clip_flag_r = 0;  // meter slots, not written (MeterSnapshot)
    std::array<char, PRESET_NAME_BYTES> preset_name{};
};

}  // namespace zv
