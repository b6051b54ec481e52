// Applying a factory preset and the engine's start-up sequence.
#include <algorithm>
#include <cstring>

#include "engine/factory_presets.h"
#include "engine/processor.h"

namespace zv {

namespace {
constexpr double STARTUP_GATE_THRESHOLD_DB = -36.0;
constexpr double PRESET_BASS_EQ_RATE_HZ = 44100.0;
constexpr int STARTUP_RATE = 44100;
}  // namespace

void apply_factory_preset(Processor& p, int menu_id) {
    const PresetRecord& r = factory_preset_record(menu_id);
    ProcessorParams& params = p.params;
    ProcessorSettings& s = params.settings;

    for (int b = 0; b < BAND_COUNT; ++b) {
        ProcessorBand& band = params.bands[b];
        band.gain_db = r.gain_db[b];
        band.limiter_drive_db = r.limiter_drive_db[b];
        band.vca_threshold_db = r.vca_threshold_db[b];
        band.clip_threshold_db = r.clip_threshold_db[b];
        band.out_mix_db = r.out_mix_db[b];
    }
    s.band_clip_knee = r.band_clip_knee;
    s.bass_punch = r.bass_punch;
    s.mb_attack = r.mb_attack;
    s.mb_release = r.mb_release;
    params.bands[0].bass_attack_ms = r.bass_attack_ms;
    apply_release_setting(p);

    s.agc_threshold_db = r.agc_threshold_db;
    s.agc_drive_db = r.agc_drive_db;
    s.stereo_level_db = r.stereo_level_db;
    s.agc_gain_lo = 0.0;
    s.agc_gain_hi = 0.0;
    s.stereo_delay_ms = r.stereo_delay_ms;
    s.stereo_type = r.stereo_type;
    s.hf_gain_reduction_l = 0.0;
    s.hf_gain_reduction_r = 0.0;
    s.hf_state_l = 0.0;
    s.hf_state_r = 0.0;
    s.unwritten_meter = 0.0;

    // A preset always designs the bass EQ for 44.1 kHz; the next playback or export start
    // redesigns it at the song's rate.
    params.bass_eq_gain_db = r.bass_eq_gain_db;
    params.bass_eq_freq_hz = r.bass_eq_freq_hz;
    params.bass_eq_q = r.bass_eq_q;
    params.bass_eq_rate_hz = PRESET_BASS_EQ_RATE_HZ;
    s.final_clip_threshold_db = r.final_clip_threshold_db;
    design_bass_eq(p);

    params.switches.bass_eq_off = r.bass_eq_off;
    params.switches.bass_phase = r.bass_phase;
    params.switches.stereo_enhance = r.stereo_enhance;
    params.switches.deemphasis = r.deemphasis;
    s.preemphasis = r.preemphasis;
    s.hf_threshold_db = r.hf_threshold_db;
    s.hf_drive_db = r.hf_drive_db;
    s.hf_reserved_db = r.hf_reserved_db;
    params.final_lpf = r.final_lpf;
    apply_final_lpf(p);
    s.overshoot_threshold_db = r.overshoot_threshold_db;
    s.agc_release = r.agc_release;
    s.final_clip_type = r.final_clip_type;

    params.preset_name.fill('\0');
    std::memcpy(params.preset_name.data(), r.text.data(),
                std::min(r.text.size(), params.preset_name.size() - 1));
}

void reset_virtual_room(ProcessorParams& params) {
    params.interaural_delay_cm = 18.0;
    params.room_size_m = 10.0;
    params.reverb_level_pct = 40.0;
    params.test_channels = 1.0;
}

void processor_startup(Processor& p) {
    // Coefficients are in place before anything installs sections from them, so a processor
    // that is started but never given a song's rate still runs the 44.1 kHz chain.
    load_rate_coefficients(p, STARTUP_RATE);
    for (ProcessorBand& band : p.params.bands) {
        band.gate_threshold_db = STARTUP_GATE_THRESHOLD_DB;
    }
    bind_band_state(p);
    apply_factory_preset(p, DEFAULT_FACTORY_PRESET_ID);
    reset_virtual_room(p.params);
    apply_release_setting(p);
}

}  // namespace zv
