#include "plugins/ladspa_controls.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "plugins/decimal_value.h"

namespace zv::plugin {
namespace {

std::size_t index_of(const char* key) {
    const ChainField* f = find_chain_field(key);
    return static_cast<std::size_t>(f - chain_fields().data());
}

}  // namespace

LadspaControls::LadspaControls(ChainStream& stream) : stream_(stream) {
    factory_preset_list();  // built here, not in a real-time block
}

float LadspaControls::value(LadspaControl c) const {
    const float* p = ports_[static_cast<std::size_t>(c)];
    return p != nullptr && !std::isnan(*p) ? *p : 0.0f;
}

void LadspaControls::set_field(const char* key, double preset_value, float offset) {
    const std::size_t i = index_of(key);
    const double v = round_to_decimals(preset_value + decimal_value(offset));
    stream_.slots()[i].set(bounded_value(chain_fields()[i], v));
}

void LadspaControls::set_switch(const char* key, int32_t preset_value, float choice) {
    const std::size_t i = index_of(key);
    const double c = std::nearbyint(choice);
    const bool on = c > 0.0 ? true : c < 0.0 ? false : preset_value != 0;
    // bass_eq_off is the switch's inverse: the bass EQ is on when it is 0.
    const bool inverse = std::string_view(key) == "bass_eq_off";
    stream_.slots()[i].set(on != inverse ? 1.0 : 0.0);
}

void LadspaControls::apply() {
    std::array<float, LADSPA_CONTROL_COUNT> now{};
    for (std::size_t c = 0; c < LADSPA_CONTROL_COUNT; ++c) {
        now[c] = value(static_cast<LadspaControl>(c));
    }
    if (!first_ && now == seen_) {
        return;
    }
    const auto changed = [&](LadspaControl c) {
        const std::size_t i = static_cast<std::size_t>(c);
        return first_ || now[i] != seen_[i];
    };
    Processor& p = stream_.processor();
    bool preset_changed = changed(LadspaControl::Preset);
    if (preset_changed) {
        const long index =
            std::clamp(std::lround(now[0]), 0L, static_cast<long>(FACTORY_PRESET_COUNT - 1));
        preset_id_ = factory_preset_list()[static_cast<std::size_t>(index)].id;
        apply_factory_preset(p, preset_id_);
        stream_.recompute_all();
    }
    const PresetRecord& r = factory_preset_record(preset_id_);
    const auto offset = [&](LadspaControl c) { return now[static_cast<std::size_t>(c)]; };
    if (preset_changed || changed(LadspaControl::AgcDriveOffset)) {
        set_field("agc_drive_db", r.agc_drive_db, offset(LadspaControl::AgcDriveOffset));
    }
    if (preset_changed || changed(LadspaControl::FinalClipOffset)) {
        set_field("final_clip_threshold_db", r.final_clip_threshold_db,
                  offset(LadspaControl::FinalClipOffset));
    }
    if (preset_changed || changed(LadspaControl::StereoLevelOffset)) {
        set_field("stereo_level_db", r.stereo_level_db, offset(LadspaControl::StereoLevelOffset));
    }
    if (preset_changed || changed(LadspaControl::OutMixOffset)) {
        static constexpr const char* OUT_MIX[BAND_COUNT] = {"band1_out_mix_db", "band2_out_mix_db",
                                                            "band3_out_mix_db", "band4_out_mix_db",
                                                            "band5_out_mix_db", "band6_out_mix_db"};
        for (int b = 0; b < BAND_COUNT; ++b) {
            set_field(OUT_MIX[b], r.out_mix_db[static_cast<std::size_t>(b)],
                      offset(LadspaControl::OutMixOffset));
        }
    }
    ProcessorSwitches& sw = p.params.switches;
    sw.bypass = offset(LadspaControl::Bypass) > 0.0f ? 1 : 0;
    sw.noise_gate = offset(LadspaControl::NoiseGate) > 0.0f ? 1 : 0;
    sw.virtual_room = offset(LadspaControl::VirtualRoom) > 0.0f ? 1 : 0;
    set_switch("bass_eq_off", r.bass_eq_off == 0 ? 1 : 0, offset(LadspaControl::BassEq));
    set_switch("bass_phase", r.bass_phase, offset(LadspaControl::BassPhase));
    set_switch("stereo_enhance", r.stereo_enhance, offset(LadspaControl::StereoEnhancer));
    set_switch("deemphasis", r.deemphasis, offset(LadspaControl::Deemphasis));
    seen_ = now;
    first_ = false;
}

}  // namespace zv::plugin
