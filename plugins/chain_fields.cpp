#include "plugins/chain_fields.h"

#include <array>
#include <cmath>
#include <stdexcept>

#include "settings/program_state.h"

namespace zv::plugin {
namespace {

constexpr std::array<const char*, 6> BAND_COLUMNS = {"gate_threshold_db", "gain_db",
                                                     "limiter_drive_db",  "vca_threshold_db",
                                                     "clip_threshold_db", "out_mix_db"};

constexpr std::array<const char*, 23> GENERAL_FIELDS = {"agc_drive_db",
                                                        "agc_threshold_db",
                                                        "agc_release",
                                                        "bass_eq_freq_hz",
                                                        "bass_eq_gain_db",
                                                        "bass_eq_q",
                                                        "mb_attack",
                                                        "mb_release",
                                                        "stereo_level_db",
                                                        "stereo_delay_ms",
                                                        "stereo_type",
                                                        "preemphasis",
                                                        "hf_threshold_db",
                                                        "hf_drive_db",
                                                        "bands[1].bass_attack_ms",
                                                        "final_clip_threshold_db",
                                                        "final_lpf",
                                                        "final_clip_type",
                                                        "overshoot_threshold_db",
                                                        "interaural_delay_cm",
                                                        "room_size_m",
                                                        "reverb_level_pct",
                                                        "test_channels"};

constexpr std::array<const char*, 7> SWITCHES = {"bypass",         "bass_eq_off", "bass_phase",
                                                 "stereo_enhance", "deemphasis",  "noise_gate",
                                                 "virtual_room"};

constexpr std::array<const char*, 4> UNSHOWN = {"band_clip_knee", "bass_punch", "hf_reserved_db",
                                                "preset_name"};

// The listening test's bounds are the panel's; the bypass is a switch. Neither is stored.
constexpr double TEST_CHANNELS_MIN = 0.0;
constexpr double TEST_CHANNELS_MAX = 2.0;

ChainField make_field(std::string key, std::string name) {
    ChainField f;
    f.key = std::move(key);
    f.field_name = std::move(name);
    if (f.field_name == "bypass") {
        f.form = FieldForm::Switch;
        f.max = 1.0;
        return f;
    }
    if (f.field_name == "test_channels") {
        f.min = TEST_CHANNELS_MIN;
        f.max = TEST_CHANNELS_MAX;
        return f;
    }
    f.field = find_param_field(f.field_name);
    if (f.field == nullptr) {
        throw std::logic_error("the plugins name a settings field that does not exist: " +
                               f.field_name);
    }
    f.form = f.field->type == FieldType::Real  ? FieldForm::Real
             : f.field->type == FieldType::Int ? FieldForm::Switch
                                               : FieldForm::Text;
    f.min = f.field->min;
    f.max = f.field->max;
    f.derived = f.field->derived;
    return f;
}

// "bands[1].bass_attack_ms" is band 1's own field; the key drops the band.
std::string key_of(const std::string& name) {
    if (name == "bands[1].bass_attack_ms") {
        return "bass_attack_ms";
    }
    return name;
}

std::vector<ChainField> build_fields() {
    std::vector<ChainField> fields;
    for (const char* column : BAND_COLUMNS) {
        for (int band = 1; band <= BAND_COUNT; ++band) {
            const std::string n = std::to_string(band);
            fields.push_back(make_field("band" + n + "_" + column, "bands[" + n + "]." + column));
        }
    }
    for (const char* name : GENERAL_FIELDS) {
        fields.push_back(make_field(key_of(name), name));
    }
    for (const char* name : SWITCHES) {
        fields.push_back(make_field(name, name));
    }
    for (const char* name : UNSHOWN) {
        fields.push_back(make_field(name, name));
    }
    return fields;
}

}  // namespace

const std::vector<ChainField>& chain_fields() {
    static const std::vector<ChainField> fields = build_fields();
    return fields;
}

const ChainField* find_chain_field(std::string_view key) {
    for (const ChainField& f : chain_fields()) {
        if (f.key == key) {
            return &f;
        }
    }
    return nullptr;
}

void FieldSlot::set(double v) const {
    if (real != nullptr) {
        *real = v;
    } else if (whole != nullptr) {
        *whole = static_cast<int32_t>(v);
    }
}

FieldSlot locate_field(const ChainField& f, Processor& p) {
    FieldSlot slot;
    if (f.field_name == "bypass") {
        slot.whole = &p.params.switches.bypass;
        return slot;
    }
    if (f.field_name == "test_channels") {
        slot.real = &p.params.test_channels;
        return slot;
    }
    // The processor's fields are located through the settings table; the other records a
    // view names are never touched.
    ExportOptions export_options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
    DeviceSettings devices;
    const ProgramState view{p, export_options, encoder, throttle, devices};
    const FieldRef ref = f.field->locate(view);
    if (auto* d = std::get_if<double*>(&ref)) {
        slot.real = *d;
    } else if (auto* i = std::get_if<int32_t*>(&ref)) {
        slot.whole = *i;
    } else if (auto* t = std::get_if<TextRef>(&ref)) {
        slot.text = t->data;
        slot.text_size = t->size;
    }
    return slot;
}

double bounded_value(const ChainField& f, double v) {
    switch (f.form) {
        case FieldForm::Switch:
            if (f.field_name == "bass_eq_off") {
                return v != 0.0 ? 1.0 : 0.0;  // NaN too: as a load reads it
            }
            return v == 1.0 ? 1.0 : 0.0;
        case FieldForm::Real:
            if (f.field != nullptr) {
                return bring_within_bounds(*f.field, v);
            }
            if (!(v >= f.min)) {
                return f.min;
            }
            return v > f.max ? f.max : v;
        case FieldForm::Text:
            break;
    }
    return v;
}

}  // namespace zv::plugin
