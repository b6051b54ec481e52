#include "engine/factory_presets.h"

#include <cstring>

namespace zv {
namespace {

using Bands = std::array<double, BAND_COUNT>;

constexpr Bands all_bands(double v) {
    return {v, v, v, v, v, v};
}

// The columns that differ between presets, in the order of the preset sheet.
struct PresetValues {
    double band_clip_knee, bass_punch, mb_release, bass_attack_ms, agc_threshold_db, agc_drive_db,
        stereo_level_db, stereo_type, bass_eq_gain_db, bass_eq_freq_hz, final_lpf, preemphasis;
    int32_t deemphasis;
    double hf_threshold_db, hf_drive_db;
};

constexpr PresetRecord make_record(const Bands& gain, const Bands& drive, const Bands& vca,
                                   const Bands& clip, const Bands& mix, const PresetValues& v,
                                   const char* text) {
    PresetRecord r{};
    r.gain_db = gain;
    r.limiter_drive_db = drive;
    r.vca_threshold_db = vca;
    r.clip_threshold_db = clip;
    r.out_mix_db = mix;
    r.band_clip_knee = v.band_clip_knee;
    r.bass_punch = v.bass_punch;
    r.mb_attack = 4.0;
    r.mb_release = v.mb_release;
    r.bass_attack_ms = v.bass_attack_ms;
    r.agc_threshold_db = v.agc_threshold_db;
    r.agc_drive_db = v.agc_drive_db;
    r.stereo_level_db = v.stereo_level_db;
    r.stereo_delay_ms = 10.0;
    r.stereo_type = v.stereo_type;
    r.bass_eq_gain_db = v.bass_eq_gain_db;
    r.bass_eq_freq_hz = v.bass_eq_freq_hz;
    r.bass_eq_q = 1.4;
    r.final_clip_threshold_db = -0.8;
    r.final_lpf = v.final_lpf;
    r.stereo_enhance = 1;
    r.bass_eq_off = 0;
    r.bass_phase = 1;
    r.deemphasis = v.deemphasis;
    r.preemphasis = v.preemphasis;
    r.hf_threshold_db = v.hf_threshold_db;
    r.hf_drive_db = v.hf_drive_db;
    r.hf_reserved_db = -6.0;
    r.overshoot_threshold_db = -0.2;
    r.agc_release = 4.0;
    r.final_clip_type = 0.0;
    for (std::size_t i = 0; text[i] != '\0' && i + 1 < r.text.size(); ++i) {
        r.text[i] = text[i];
    }
    return r;
}

struct FactoryPreset {
    int id;
    FactoryPresetGroup group;
    const char* menu_text;
    PresetRecord record;
};

constexpr const char* TEXT_MEGAHIT = "Simlutates MegaHit FM Radio Station";
constexpr const char* TEXT_TYPICAL = "Simlutates Typical FM Radio Station";
constexpr const char* TEXT_HIPHOP = "Simlutates Hip-Hop FM Radio Station";
constexpr const char* TEXT_ROCK = "Simlutates Rock FM Radio Station";
constexpr const char* TEXT_POP = "Simlutates POP FM Radio Station";
constexpr const char* TEXT_INTERNET = "Simlutates AM Radio / Internet Radio";
constexpr const char* TEXT_AM = "Simlutates General AM Station - for Talk & Music Show";

// clang-format off
constexpr std::array<FactoryPreset, FACTORY_PRESET_COUNT> FACTORY_PRESETS{{
    {preset_id::FM_SMOOTH_LISTENING, FactoryPresetGroup::FmStation,
     "FM Station - Smooth Listening(Favorite FM)",
     make_record(all_bands(16), all_bands(12), all_bands(-16), all_bands(-3),
                 {-0.5, -1, -1, -1, -0.5, 0},
                 {2, 4, 1, 40, -20, 24, -3, 4, 6, 60, 1, 1, 1, 0, 0}, TEXT_MEGAHIT)},
    {preset_id::FM_WIDE_STEREO, FactoryPresetGroup::FmStation,
     "FM Station - Wide Stereo(Genetral Purpose)",
     make_record(all_bands(16), all_bands(12), all_bands(-16), all_bands(-3),
                 {0, 0, -1, -1, -0.5, 0},
                 {2, 4, 1, 60, -20, 24, -3, 2, 6, 60, 1, 1, 1, -32, 24}, TEXT_TYPICAL)},
    {preset_id::FM_PUNCHY_BASS, FactoryPresetGroup::FmStation,
     "FM Station - Punchy Bass(Hip-Hop Music)",
     make_record(all_bands(15), all_bands(12), all_bands(-16), {-3, -2, -2, -2, -2, -3},
                 {1, 0.5, 0, 0, 0, 0},
                 {2, 4, 1, 80, -20, 24, -6, 5, 6, 60, 1, 1, 1, -32, 24}, TEXT_HIPHOP)},
    {preset_id::FM_BRIGHT_AND_DENSE, FactoryPresetGroup::FmStation,
     "FM Station - Bright and Dense(Rock Music)",
     make_record(all_bands(18), all_bands(12), all_bands(-16), {-3, -3, -2, -2, -3, -4},
                 {0, -1, -1, 0, 1, 1.5},
                 {1, 2, 2, 40, -20, 24, -6, 2, 3, 80, 1, 1, 1, -32, 24}, TEXT_ROCK)},
    {preset_id::FM_CLEAR_VOCAL, FactoryPresetGroup::FmStation,
     "FM Station - Clear Vocal(POP Music)",
     make_record(all_bands(16), all_bands(12), all_bands(-16), {-3, -2, -2, -2, -3, -5},
                 {-1, -1, 0, 0, 0.5, 1},
                 {0, 0, 1, 20, -22, 22, -6, 4, 3, 100, 1, 1, 1, -32, 24}, TEXT_POP)},
    {preset_id::DIGITAL_WIDE_STEREO, FactoryPresetGroup::DigitalBroadcast,
     "Digital Broadcast - Wide Stereo(Genetral Purpose)",
     make_record(all_bands(16), all_bands(12), all_bands(-16), {-3, -3, -2, -3, -3, -5},
                 {-1, -1, -2, -2.5, -3, -4},
                 {2, 4, 1, 60, -20, 24, -3, 4, 6, 60, 0, 0, 0, -32, 24}, TEXT_TYPICAL)},
    {preset_id::DIGITAL_PUNCHY_BASS, FactoryPresetGroup::DigitalBroadcast,
     "Digital Broadcast - Punchy Bass(Hip-Hop Music)",
     make_record(all_bands(15), all_bands(12), all_bands(-16), {-3, -3, -2, -2, -2, -5},
                 {0, -1, -2, -2.5, -3, -4},
                 {2, 4, 1, 80, -20, 24, -6, 5, 6, 60, 1, 0, 0, -32, 24}, TEXT_HIPHOP)},
    {preset_id::DIGITAL_BRIGHT_AND_DENSE, FactoryPresetGroup::DigitalBroadcast,
     "Digital Broadcast - Bright and Dense(Rock Music)",
     make_record(all_bands(18), all_bands(12), all_bands(-16), {-3, -2, -1, -1, -1, -3},
                 {-1, -2, -2, -2.5, -3, -3},
                 {1, 2, 2, 40, -20, 24, -6, 2, 3, 80, 0, 0, 0, -32, 24}, TEXT_ROCK)},
    {preset_id::DIGITAL_CLEAR_VOCAL, FactoryPresetGroup::DigitalBroadcast,
     "Digital Broadcast - Clear Vocal(POP Music)",
     make_record(all_bands(16), all_bands(12), all_bands(-16), {-3, -2, -1, -1, -1, -1},
                 all_bands(-2),
                 {0, 0, 1, 20, -22, 22, -6, 4, 3, 80, 0, 0, 0, -32, 24}, TEXT_POP)},
    {preset_id::INTERNET_TALK_AND_MUSIC, FactoryPresetGroup::InternetRadio,
     "Internet Radio Station - Talk && Music Show",
     make_record(all_bands(20), {16, 18, 18, 18, 18, 18}, all_bands(-18), all_bands(-4),
                 {-1, -1, -1, -1, -2, -4},
                 {2, 4, 4, 20, -36, 24, -6, 2, 3, 80, 4, 0, 0, -32, 24}, TEXT_INTERNET)},
    {preset_id::AM_TALK_SHOW, FactoryPresetGroup::InternetRadio,
     "AM Radio Station - Talk Show",
     make_record(all_bands(22), all_bands(16), all_bands(-18), all_bands(-4), all_bands(-2),
                 {2, 4, 4, 20, -36, 24, -6, 2, 3, 100, 5, 0, 0, -32, 24}, TEXT_AM)},
}};
// clang-format on

const FactoryPreset* find_preset(int menu_id) {
    for (const FactoryPreset& p : FACTORY_PRESETS) {
        if (p.id == menu_id) {
            return &p;
        }
    }
    return nullptr;
}

void put_le(uint8_t* at, const void* value, std::size_t size) {
    // Byte order of the stored record: least significant byte first.
    uint64_t bits = 0;
    std::memcpy(&bits, value, size);
    for (std::size_t i = 0; i < size; ++i) {
        at[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

}  // namespace

std::array<uint8_t, PRESET_RECORD_BYTES> preset_record_bytes(const PresetRecord& r) {
    std::array<uint8_t, PRESET_RECORD_BYTES> out{};
    std::size_t at = 0;
    auto put_double = [&](double v) {
        put_le(out.data() + at, &v, sizeof v);
        at += sizeof v;
    };
    auto put_int = [&](int32_t v) {
        put_le(out.data() + at, &v, sizeof v);
        at += sizeof v;
    };
    for (const Bands* bands : {&r.gain_db, &r.limiter_drive_db, &r.vca_threshold_db,
                               &r.clip_threshold_db, &r.out_mix_db}) {
        for (double v : *bands) {
            put_double(v);
        }
    }
    for (double v : {r.band_clip_knee, r.bass_punch, r.mb_attack, r.mb_release, r.bass_attack_ms,
                     r.agc_threshold_db, r.agc_drive_db, r.stereo_level_db, r.stereo_delay_ms,
                     r.stereo_type, r.bass_eq_gain_db, r.bass_eq_freq_hz, r.bass_eq_q,
                     r.final_clip_threshold_db, r.final_lpf}) {
        put_double(v);
    }
    for (int32_t v : {r.stereo_enhance, r.bass_eq_off, r.bass_phase, r.deemphasis}) {
        put_int(v);
    }
    for (double v : {r.preemphasis, r.hf_threshold_db, r.hf_drive_db, r.hf_reserved_db,
                     r.overshoot_threshold_db, r.agc_release, r.final_clip_type}) {
        put_double(v);
    }
    std::memcpy(out.data() + at, r.text.data(), r.text.size());
    return out;
}

const std::array<FactoryPresetInfo, FACTORY_PRESET_COUNT>& factory_preset_list() {
    static const std::array<FactoryPresetInfo, FACTORY_PRESET_COUNT> list = [] {
        std::array<FactoryPresetInfo, FACTORY_PRESET_COUNT> l{};
        for (std::size_t i = 0; i < FACTORY_PRESETS.size(); ++i) {
            const FactoryPreset& p = FACTORY_PRESETS[i];
            l[i] = {p.id, p.menu_text, p.record.text.data(), p.group};
        }
        return l;
    }();
    return list;
}

bool is_factory_preset_id(int menu_id) {
    return find_preset(menu_id) != nullptr;
}

const PresetRecord& factory_preset_record(int menu_id) {
    const FactoryPreset* p = find_preset(menu_id);
    if (p == nullptr) {
        p = find_preset(DEFAULT_FACTORY_PRESET_ID);
    }
    return p->record;
}

}  // namespace zv
