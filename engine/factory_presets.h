// The eleven factory presets: the built-in PresetRecord table, selected by the menu
// identifiers of the preset drop-down menus.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/processor_params.h"

namespace zv {

constexpr int FACTORY_PRESET_COUNT = 11;
constexpr int DEFAULT_FACTORY_PRESET_ID = 232;  // also what an unknown identifier selects
constexpr std::size_t PRESET_RECORD_BYTES = 496;

// Field order and widths are those of the stored 496-byte little-endian record.
struct PresetRecord {
    std::array<double, BAND_COUNT> gain_db;
    std::array<double, BAND_COUNT> limiter_drive_db;
    std::array<double, BAND_COUNT> vca_threshold_db;
    std::array<double, BAND_COUNT> clip_threshold_db;
    std::array<double, BAND_COUNT> out_mix_db;
    double band_clip_knee;
    double bass_punch;
    double mb_attack;
    double mb_release;
    double bass_attack_ms;
    double agc_threshold_db;
    double agc_drive_db;
    double stereo_level_db;
    double stereo_delay_ms;
    double stereo_type;
    double bass_eq_gain_db;
    double bass_eq_freq_hz;
    double bass_eq_q;
    double final_clip_threshold_db;
    double final_lpf;
    int32_t stereo_enhance;
    int32_t bass_eq_off;
    int32_t bass_phase;
    int32_t deemphasis;
    double preemphasis;
    double hf_threshold_db;
    double hf_drive_db;
    double hf_reserved_db;
    double overshoot_threshold_db;
    double agc_release;
    double final_clip_type;
    std::array<char, PRESET_NAME_BYTES> text;  // zero-terminated
};

// The record has no padding, so its in-memory image on a little-endian machine is the
// stored byte layout.
static_assert(sizeof(PresetRecord) == PRESET_RECORD_BYTES);
static_assert(offsetof(PresetRecord, stereo_enhance) == 360);
static_assert(offsetof(PresetRecord, preemphasis) == 376);
static_assert(offsetof(PresetRecord, text) == 432);

// Little-endian byte image of a record, as stored.
std::array<uint8_t, PRESET_RECORD_BYTES> preset_record_bytes(const PresetRecord& record);

// The presets by name: their menu identifiers.
namespace preset_id {
constexpr int FM_SMOOTH_LISTENING = 232;
constexpr int FM_WIDE_STEREO = 343;
constexpr int FM_PUNCHY_BASS = 340;
constexpr int FM_BRIGHT_AND_DENSE = 342;
constexpr int FM_CLEAR_VOCAL = 341;
constexpr int DIGITAL_WIDE_STEREO = 339;
constexpr int DIGITAL_PUNCHY_BASS = 336;
constexpr int DIGITAL_BRIGHT_AND_DENSE = 338;
constexpr int DIGITAL_CLEAR_VOCAL = 337;
constexpr int INTERNET_TALK_AND_MUSIC = 335;
constexpr int AM_TALK_SHOW = 334;
}  // namespace preset_id

// The station a preset imitates: FM with emphasis, digital broadcasting, internet and AM radio.
enum class FactoryPresetGroup { FmStation, DigitalBroadcast, InternetRadio };

struct FactoryPresetInfo {
    int id;                   // menu identifier
    const char* menu_text;    // text of the preset drop-down menus
    const char* stored_text;  // text the preset writes into preset_name
    FactoryPresetGroup group;
};

// In menu order: the FM group, the digital broadcasting group, the internet and AM group.
const std::array<FactoryPresetInfo, FACTORY_PRESET_COUNT>& factory_preset_list();

bool is_factory_preset_id(int menu_id);
// The record for a menu identifier; any identifier not in the list gives the 232 record.
const PresetRecord& factory_preset_record(int menu_id);

}  // namespace zv
