#include "settings/param_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "settings/text_field.h"

namespace zv {
namespace {

constexpr double NO_LIMIT = std::numeric_limits<double>::max();

class TableBuilder {
public:
    // Offsets follow from the sizes; the reserved and ignored spans are skipped explicitly.
    void skip(std::size_t bytes) { offset_ += bytes; }

    template <typename Locate>
    void real(std::string name, double min, double max, Locate locate,
              DerivedUpdate derived = DerivedUpdate::None, bool state_only = false) {
        add(std::move(name), FieldType::Real, 8, min, max, 0, state_only, derived,
            [locate](const ProgramState& s) -> FieldRef { return locate(s); });
    }
    template <typename Locate>
    void i32(std::string name, double min, double max, Locate locate, bool state_only = false) {
        add(std::move(name), FieldType::Int, 4, min, max, 0, state_only, DerivedUpdate::None,
            [locate](const ProgramState& s) -> FieldRef { return locate(s); });
    }
    template <typename Locate>
    void u16(std::string name, double min, double max, Locate locate) {
        add(std::move(name), FieldType::Int, 2, min, max, 0, false, DerivedUpdate::None,
            [locate](const ProgramState& s) -> FieldRef { return locate(s); });
    }
    template <std::size_t N, typename Locate>
    void text(std::string name, std::size_t stored, std::size_t max_bytes, Locate locate,
              bool state_only = false) {
        add(std::move(name), FieldType::Text, stored, 0, 0, max_bytes, state_only,
            DerivedUpdate::None, [locate](const ProgramState& s) -> FieldRef {
                std::array<char, N>& a = locate(s);
                return TextRef{a.data(), N};
            });
    }

    // The field added last has a control on the panel, whose bounds its range is.
    void panel(ChoiceReading choice = ChoiceReading::None) {
        fields_.back().panel_control = true;
        fields_.back().choice = choice;
    }

    std::vector<ParamField> take() { return std::move(fields_); }
    std::size_t offset() const { return offset_; }

private:
    void add(std::string name, FieldType type, std::size_t size, double min, double max,
             std::size_t max_bytes, bool state_only, DerivedUpdate derived,
             std::function<FieldRef(const ProgramState&)> locate) {
        ParamField f;
        f.name = std::move(name);
        f.offset = offset_;
        f.type = type;
        f.min = min;
        f.max = max;
        f.max_bytes = max_bytes;
        f.state_file_only = state_only;
        f.derived = derived;
        f.locate = std::move(locate);
        fields_.push_back(std::move(f));
        offset_ += size;
    }
    std::vector<ParamField> fields_;
    std::size_t offset_ = 0;
};

std::string band_name(int b, const char* field) {
    return "bands[" + std::to_string(b + 1) + "]." + field;
}

std::vector<ParamField> build_table() {
    TableBuilder t;
    using S = const ProgramState&;
    auto params = [](S s) -> ProcessorParams& { return s.processor.params; };
    auto settings = [](S s) -> ProcessorSettings& { return s.processor.params.settings; };
    auto switches = [](S s) -> ProcessorSwitches& { return s.processor.params.switches; };

    t.skip(8);  // magic
    for (int b = 0; b < BAND_COUNT; ++b) {
        t.real(band_name(b, "limiter_drive_db"), 0, 24,
               [=](S s) { return &params(s).bands[b].limiter_drive_db; });
        t.panel();
        t.real(band_name(b, "gain_db"), 0, 24, [=](S s) { return &params(s).bands[b].gain_db; });
        t.panel();
        t.real(band_name(b, "out_mix_db"), -96, 3,
               [=](S s) { return &params(s).bands[b].out_mix_db; });
        t.panel();
        t.real(band_name(b, "vca_threshold_db"), -32, 0,
               [=](S s) { return &params(s).bands[b].vca_threshold_db; });
        t.panel();
        t.real(band_name(b, "clip_threshold_db"), -24, 6,
               [=](S s) { return &params(s).bands[b].clip_threshold_db; });
        t.panel();
    }
    t.real("agc_threshold_db", -36, 0, [=](S s) { return &settings(s).agc_threshold_db; });
    t.panel();
    t.real("agc_drive_db", 0, 24, [=](S s) { return &settings(s).agc_drive_db; });
    t.panel();
    t.real("stereo_level_db", -48, 0, [=](S s) { return &settings(s).stereo_level_db; });
    t.panel();
    t.skip(256 + 8);  // reserved; the ignored first copy of stereo_delay_ms
    t.real(
        "bass_eq_gain_db", 0, 12, [=](S s) { return &params(s).bass_eq_gain_db; },
        DerivedUpdate::BassEq);
    t.panel();
    t.real(
        "bass_eq_freq_hz", 50, 150, [=](S s) { return &params(s).bass_eq_freq_hz; },
        DerivedUpdate::BassEq);
    t.panel();
    t.real(
        "bass_eq_rate_hz", 8000, 192000, [=](S s) { return &params(s).bass_eq_rate_hz; },
        DerivedUpdate::BassEq);
    t.real(
        "bass_eq_q", 0.2, 2, [=](S s) { return &params(s).bass_eq_q; }, DerivedUpdate::BassEq);
    t.panel();
    t.real("final_clip_threshold_db", -24, 0,
           [=](S s) { return &settings(s).final_clip_threshold_db; });
    t.panel();
    t.skip(4);
    t.real(
        "mb_release", 1, 5, [=](S s) { return &settings(s).mb_release; }, DerivedUpdate::Release);
    t.panel(ChoiceReading::IntegerPart);
    t.skip(8);
    t.i32("bass_phase", 0, 1, [=](S s) { return &switches(s).bass_phase; });
    t.i32("bass_eq_off", 0, 1, [=](S s) { return &switches(s).bass_eq_off; });
    t.i32("stereo_enhance", 0, 1, [=](S s) { return &switches(s).stereo_enhance; });
    t.real("stereo_type", 1, 5, [=](S s) { return &settings(s).stereo_type; });
    t.panel(ChoiceReading::Rounded);
    t.real("band_clip_knee", 0, 2, [=](S s) { return &settings(s).band_clip_knee; });
    t.u16("out_device_index", 0, MAX_DEVICES - 1, [](S s) { return &s.devices.out_device_index; });
    t.skip(2 + 256);
    t.u16("in_device_index", 0, MAX_DEVICES - 1, [](S s) { return &s.devices.in_device_index; });
    t.skip(2);  // the ignored first copy of onair_rate_choice
    t.u16("onair_rate_choice", 0, 2, [](S s) { return &s.devices.onair_rate_choice; });
    t.skip(2 + 4);
    t.real("bass_punch", 0, 4, [=](S s) { return &settings(s).bass_punch; });
    t.text<PRESET_NAME_BYTES>(
        "preset_name", 63, 63, [=](S s) -> auto& { return params(s).preset_name; });
    // The panel's LPF control steps between half values (0.5 to 6.5); readers take the integer
    // part, so the presets' whole numbers 0 to 6 are the same choices.
    t.real(
        "final_lpf", 0.5, 6.5, [=](S s) { return &params(s).final_lpf; }, DerivedUpdate::FinalLpf);
    t.panel(ChoiceReading::IntegerPart);
    t.real("stereo_delay_ms", 1, 50, [=](S s) { return &settings(s).stereo_delay_ms; });
    t.panel();
    t.i32("deemphasis", 0, 1, [=](S s) { return &switches(s).deemphasis; });
    t.real("preemphasis", 0, 2, [=](S s) { return &settings(s).preemphasis; });
    t.panel(ChoiceReading::IntegerPart);
    t.real("hf_threshold_db", -32, 0, [=](S s) { return &settings(s).hf_threshold_db; });
    t.panel();
    t.real("hf_drive_db", 0, 48, [=](S s) { return &settings(s).hf_drive_db; });
    t.panel();
    t.real("hf_reserved_db", -NO_LIMIT, NO_LIMIT, [=](S s) { return &settings(s).hf_reserved_db; });
    t.real("overshoot_threshold_db", -24, 6,
           [=](S s) { return &settings(s).overshoot_threshold_db; });
    t.panel();
    t.real("agc_release", 1, 4, [=](S s) { return &settings(s).agc_release; });
    t.panel(ChoiceReading::Rounded);
    t.i32("onair_autostart", 0, 1, [](S s) { return &s.devices.onair_autostart; });
    t.i32("buffer_count", BUFFER_COUNT_MIN, BUFFER_COUNT_MAX,
          [](S s) { return &s.devices.buffer_count; });
    t.real("bands[1].bass_attack_ms", 0, 100,
           [=](S s) { return &params(s).bands[0].bass_attack_ms; });
    t.panel();
    t.i32("output_mp3", 0, 1, [](S s) { return &s.export_options.output_mp3; });
    t.i32("mp3_bitrate_kbps", MP3_BITRATES.front(), MP3_BITRATES.back(),
          [](S s) { return &s.encoder.mp3_bitrate_kbps; });
    t.text<TAG_PREFIX_BYTES>(
        "tag_album_prefix", 32, TAG_PREFIX_BYTES - 1,
        [](S s) -> auto& { return s.export_options.tag_album_prefix; });
    t.text<TAG_PREFIX_BYTES>(
        "tag_title_prefix", 32, TAG_PREFIX_BYTES - 1,
        [](S s) -> auto& { return s.export_options.tag_title_prefix; });
    t.i32("normalise_on_export", 0, 1, [](S s) { return &s.export_options.normalise_on_export; });
    t.text<NAME_AFFIX_BYTES>(
        "name_affix", 136, NAME_AFFIX_BYTES - 1,
        [](S s) -> auto& { return s.export_options.name_affix; }, true);
    t.i32("cpu_throttle_on", 0, 1, [](S s) { return &s.throttle.cpu_throttle_on; });
    t.i32("cpu_throttle_level", 0, 40, [](S s) { return &s.throttle.cpu_throttle_level; });
    t.i32("use_external_encoder", 0, 1, [](S s) { return &s.encoder.use_external_encoder; });
    t.text<ENCODER_TEXT_BYTES>(
        "external_encoder_path", 260, ENCODER_TEXT_MAX_CHARS,
        [](S s) -> auto& { return s.encoder.external_encoder_path; });
    t.text<ENCODER_TEXT_BYTES>(
        "external_encoder_params", 260, ENCODER_TEXT_MAX_CHARS,
        [](S s) -> auto& { return s.encoder.external_encoder_params; });
    t.real(
        "mb_attack", 1, 5, [=](S s) { return &settings(s).mb_attack; }, DerivedUpdate::Release);
    t.panel(ChoiceReading::IntegerPart);
    t.real("final_clip_type", 0, 1, [=](S s) { return &settings(s).final_clip_type; });
    t.panel(ChoiceReading::IntegerPart);
    t.i32("virtual_room", 0, 1, [=](S s) { return &switches(s).virtual_room; });
    t.real("interaural_delay_cm", 1, 30, [=](S s) { return &params(s).interaural_delay_cm; });
    t.panel();
    t.real("room_size_m", 2, 34, [=](S s) { return &params(s).room_size_m; });
    t.panel();
    t.real("reverb_level_pct", 0, 100, [=](S s) { return &params(s).reverb_level_pct; });
    t.panel();
    t.i32("save_to_source_folder", 0, 1,
          [](S s) { return &s.export_options.save_to_source_folder; });
    t.i32("affix_is_postfix", 0, 1, [](S s) { return &s.export_options.affix_is_postfix; });
    t.i32(
        "noise_gate", 0, 1, [=](S s) { return &switches(s).noise_gate; }, true);
    for (int b = 0; b < BAND_COUNT; ++b) {
        t.real(
            band_name(b, "gate_threshold_db"), -60, -12,
            [=](S s) { return &params(s).bands[b].gate_threshold_db; }, DerivedUpdate::None, true);
        t.panel();
    }
    return t.take();
}

std::string format_real(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// The choices a choice field's bounds stand for.
int lowest_choice(const ParamField& f) {
    return choice_of(f.min);
}
int highest_choice(const ParamField& f) {
    return choice_of(f.max);
}

std::string format_range(const ParamField& f) {
    if (f.choice != ChoiceReading::None) {
        return std::to_string(lowest_choice(f)) + " to " + std::to_string(highest_choice(f)) +
               (f.choice == ChoiceReading::Rounded ? " (a choice, rounded)"
                                                   : " (a choice, its whole part)");
    }
    return format_real(f.min) + " to " + format_real(f.max);
}

bool parse_real(std::string_view text, double& out) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size() &&
           std::isfinite(out);
}

bool parse_int(std::string_view text, long long& out) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

void run_derived_update(Processor& p, DerivedUpdate derived) {
    switch (derived) {
        case DerivedUpdate::None:
            break;
        case DerivedUpdate::BassEq:
            design_bass_eq(p);
            break;
        case DerivedUpdate::Release:
            apply_release_setting(p);
            break;
        case DerivedUpdate::FinalLpf:
            apply_final_lpf(p);
            break;
    }
}

const std::vector<ParamField>& param_fields() {
    static const std::vector<ParamField> table = build_table();
    return table;
}

const ParamField* find_param_field(std::string_view name) {
    for (const ParamField& f : param_fields()) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

std::string get_param_field(const ProgramState& s, const ParamField& field) {
    const FieldRef ref = field.locate(s);
    if (const auto* d = std::get_if<double*>(&ref)) {
        return format_real(**d);
    }
    if (const auto* i = std::get_if<int32_t*>(&ref)) {
        return std::to_string(**i);
    }
    if (const auto* u = std::get_if<uint16_t*>(&ref)) {
        return std::to_string(**u);
    }
    if (const auto* a = std::get_if<std::atomic<int32_t>*>(&ref)) {
        return std::to_string((*a)->load(std::memory_order_relaxed));
    }
    const TextRef t = std::get<TextRef>(ref);
    return std::string(t.data, strnlen(t.data, t.size));
}

bool set_param_field(ProgramState& s, const ParamField& field, std::string_view value,
                     std::string& error) {
    const FieldRef ref = field.locate(s);
    if (field.type == FieldType::Text) {
        if (value.find('\0') != std::string_view::npos || value.size() > field.max_bytes) {
            error = field.name + ": text longer than " + std::to_string(field.max_bytes) + " bytes";
            return false;
        }
        const TextRef t = std::get<TextRef>(ref);
        std::memset(t.data, 0, t.size);
        std::memcpy(t.data, value.data(), value.size());
        return true;
    }
    if (field.type == FieldType::Real) {
        double v;
        if (!parse_real(value, v)) {
            error = field.name + ": '" + std::string(value) + "' is not a number";
            return false;
        }
        if (!value_within_bounds(field, v)) {
            error = field.name + ": " + std::string(value) + " is outside " + format_range(field);
            return false;
        }
        *std::get<double*>(ref) = v;
        run_derived_update(s.processor, field.derived);
        return true;
    }
    long long v;
    if (!parse_int(value, v)) {
        error = field.name + ": '" + std::string(value) + "' is not a whole number";
        return false;
    }
    if (v < field.min || v > field.max) {
        error = field.name + ": " + std::string(value) + " is outside " + format_range(field);
        return false;
    }
    if (field.name == "mp3_bitrate_kbps" &&
        std::find(MP3_BITRATES.begin(), MP3_BITRATES.end(), v) == MP3_BITRATES.end()) {
        error = field.name + ": " + std::string(value) +
                " is not one of 32 40 48 56 64 80 96 112 128 160 192 224 256 320";
        return false;
    }
    if (auto* i = std::get_if<int32_t*>(&ref)) {
        **i = static_cast<int32_t>(v);
    } else if (auto* u = std::get_if<uint16_t*>(&ref)) {
        **u = static_cast<uint16_t>(v);
    } else {
        std::get<std::atomic<int32_t>*>(ref)->store(static_cast<int32_t>(v),
                                                    std::memory_order_relaxed);
    }
    return true;
}

bool value_within_bounds(const ParamField& field, double value) {
    if (field.choice == ChoiceReading::None) {
        return value >= field.min && value <= field.max;
    }
    const int lo = lowest_choice(field);
    const int hi = highest_choice(field);
    const int whole = choice_of(value);
    if (whole < lo || whole > hi) {
        return false;
    }
    if (field.choice == ChoiceReading::Rounded) {
        const int rounded = choice_of(value + 0.5);
        return rounded >= lo && rounded <= hi;
    }
    return true;
}

double bring_within_bounds(const ParamField& field, double value) {
    if (value_within_bounds(field, value)) {
        return value;
    }
    if (field.choice == ChoiceReading::None) {
        return value > field.max ? field.max : field.min;  // NaN becomes the minimum
    }
    return value > field.max ? highest_choice(field) : lowest_choice(field);
}

void bring_loaded_values_within_bounds(ProgramState& s, bool state_file) {
    for (const ParamField& f : param_fields()) {
        if (!f.panel_control || (f.state_file_only && !state_file)) {
            continue;
        }
        double* value = std::get<double*>(f.locate(s));
        *value = bring_within_bounds(f, *value);
    }
    ProcessorSwitches& sw = s.processor.params.switches;
    auto on_when_one = [](int32_t& v) { v = v == 1 ? 1 : 0; };
    sw.bass_eq_off = sw.bass_eq_off != 0 ? 1 : 0;
    on_when_one(sw.bass_phase);
    on_when_one(sw.stereo_enhance);
    on_when_one(sw.deemphasis);
    on_when_one(sw.virtual_room);
    if (state_file) {
        on_when_one(sw.noise_gate);
    }
}

}  // namespace zv
