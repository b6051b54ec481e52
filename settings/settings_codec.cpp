// The byte layout of the state and parameter files, written and read field by field in file
// order. Offsets in the comments are those of the field in the file.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <string_view>

#include "settings/byte_codec.h"
#include "settings/param_fields.h"
#include "settings/settings_file.h"
#include "settings/text_field.h"

namespace zv {
namespace {

constexpr std::size_t BAND_BLOCK_BYTES = 240;
constexpr std::size_t BASS_EQ_BYTES = 32;
constexpr std::size_t PRESET_NAME_STORED = 63;
constexpr std::size_t TAG_PREFIX_STORED = 32;
constexpr std::size_t NAME_AFFIX_STORED = 136;
constexpr std::size_t ENCODER_TEXT_STORED = 260;
constexpr std::size_t GATE_BYTES = 48;

static_assert(PRESET_NAME_STORED < PRESET_NAME_BYTES);
static_assert(NAME_AFFIX_BYTES <= NAME_AFFIX_STORED);
static_assert(ENCODER_TEXT_BYTES == ENCODER_TEXT_STORED);

template <std::size_t N>
void write_text(ByteWriter& w, const std::array<char, N>& field, std::size_t stored) {
    std::string_view text = text_of(field);
    if (text.size() > stored) {
        text = text.substr(0, stored);
    }
    w.bytes(text.data(), text.size());
    w.zeros(stored - text.size());
}

void encode_body(ByteWriter& w, ProgramState& s) {
    ProcessorParams& p = s.processor.params;
    ProcessorSettings& st = p.settings;
    ProcessorSwitches& sw = p.switches;

    w.bytes(SETTINGS_MAGIC, SETTINGS_MAGIC_BYTES);
    for (const ProcessorBand& b : p.bands) {  // 8
        w.f64(b.limiter_drive_db);
        w.f64(b.gain_db);
        w.f64(b.out_mix_db);
        w.f64(b.vca_threshold_db);
        w.f64(b.clip_threshold_db);
    }
    w.f64(st.agc_threshold_db);  // 248
    w.f64(st.agc_drive_db);
    w.f64(st.stereo_level_db);
    w.zeros(256);               // 272
    w.f64(st.stereo_delay_ms);  // 528, the copy readers ignore
    w.f64(p.bass_eq_gain_db);   // 536
    w.f64(p.bass_eq_freq_hz);
    w.f64(p.bass_eq_rate_hz);
    w.f64(p.bass_eq_q);
    w.f64(st.final_clip_threshold_db);  // 568
    w.zeros(4);                         // 576
    w.f64(st.mb_release);               // 580
    w.f64(0.0);                         // 588
    w.i32(sw.bass_phase);               // 596
    w.i32(sw.bass_eq_off);
    w.i32(sw.stereo_enhance);
    w.f64(st.stereo_type);  // 608
    w.f64(st.band_clip_knee);
    w.u16(s.devices.out_device_index);  // 624
    w.zeros(2 + 256);
    w.u16(s.devices.in_device_index);  // 884
    w.u16(s.devices.onair_rate_choice);
    w.u16(s.devices.onair_rate_choice);  // 888, the copy readers use
    w.zeros(2);
    w.i32(0);  // 892
    st.bass_punch = 0.0;
    w.f64(st.bass_punch);  // 896
    write_text(w, p.preset_name, PRESET_NAME_STORED);
    w.f64(p.final_lpf);  // 967
    w.f64(st.stereo_delay_ms);
    w.i32(sw.deemphasis);
    w.f64(st.preemphasis);  // 987
    w.f64(st.hf_threshold_db);
    w.f64(st.hf_drive_db);
    w.f64(st.hf_reserved_db);
    w.f64(st.overshoot_threshold_db);
    w.f64(st.agc_release);
    w.i32(s.devices.onair_autostart);  // 1035
    w.i32(s.devices.buffer_count);
    w.f64(p.bands[0].bass_attack_ms);  // 1043
    w.i32(s.export_options.output_mp3);
    w.i32(s.encoder.mp3_bitrate_kbps);  // 1055
    write_text(w, s.export_options.tag_album_prefix, TAG_PREFIX_STORED);
    write_text(w, s.export_options.tag_title_prefix, TAG_PREFIX_STORED);
    w.i32(s.export_options.normalise_on_export);  // 1123
    write_text(w, s.export_options.name_affix, NAME_AFFIX_STORED);
    w.i32(s.throttle.cpu_throttle_on.load(std::memory_order_relaxed));  // 1263
    w.i32(s.throttle.cpu_throttle_level.load(std::memory_order_relaxed));
    w.i32(s.encoder.use_external_encoder);
    write_text(w, s.encoder.external_encoder_path, ENCODER_TEXT_STORED);  // 1275
    write_text(w, s.encoder.external_encoder_params, ENCODER_TEXT_STORED);
    w.f64(st.mb_attack);  // 1795
    w.f64(st.final_clip_type);
    w.i32(sw.virtual_room);
    w.f64(p.interaural_delay_cm);  // 1815
    w.f64(p.room_size_m);
    w.f64(p.reverb_level_pct);
    w.i32(s.export_options.save_to_source_folder);  // 1839
    w.i32(s.export_options.affix_is_postfix);
    w.i32(sw.noise_gate);  // 1847
    for (const ProcessorBand& b : p.bands) {
        w.f64(b.gate_threshold_db);  // 1851
    }
}

// One read per field. A value that is not a finite number is refused like a read past the
// end: the field keeps what it had (its default where the format gives one).
class FieldReader {
public:
    explicit FieldReader(std::span<const uint8_t> bytes) : r_(bytes) {}

    bool f64(double& field) {
        double v;
        if (!r_.f64(v) || !std::isfinite(v)) {
            return false;
        }
        field = v;
        return true;
    }
    bool i32(int32_t& field) { return r_.i32(field); }
    bool i32(std::atomic<int32_t>& field) {
        int32_t v;
        if (!r_.i32(v)) {
            return false;
        }
        field.store(v, std::memory_order_relaxed);
        return true;
    }
    bool u16(uint16_t& field) { return r_.u16(field); }
    bool skip(std::size_t n) { return r_.skip(n); }
    bool bytes(void* out, std::size_t n) { return r_.bytes(out, n); }

    // Text stored in `stored` bytes, read into a smaller or equal array: terminated inside
    // the array whatever the file holds.
    template <std::size_t N>
    bool text(std::array<char, N>& field, std::size_t stored) {
        char buf[NAME_AFFIX_STORED > ENCODER_TEXT_STORED ? NAME_AFFIX_STORED : ENCODER_TEXT_STORED];
        if (!r_.bytes(buf, stored)) {
            return false;
        }
        set_text(field, std::string_view(buf, stored));
        return true;
    }

private:
    ByteReader r_;
};

bool read_doubles(FieldReader& r, std::size_t count, double* out) {
    uint8_t raw[BAND_BLOCK_BYTES];
    if (!r.bytes(raw, count * 8)) {
        return false;
    }
    ByteReader br(std::span<const uint8_t>(raw, count * 8));
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = 0.0;
        br.f64(out[i]);  // cannot fail: the bytes are all there
    }
    return true;
}

void decode_body(FieldReader& r, ProgramState& s, SettingsFileKind kind,
                 std::optional<ExternalEncoderRequest>* held_back) {
    ProcessorParams& p = s.processor.params;
    ProcessorSettings& st = p.settings;
    ProcessorSwitches& sw = p.switches;
    ExportOptions& ex = s.export_options;
    EncoderSettings& enc = s.encoder;
    DeviceSettings& dev = s.devices;
    const bool state_file = kind == SettingsFileKind::State;

    // 8: the band block is one read; a short or non-finite block changes no band.
    double band_block[BAND_COUNT * 5];
    if (read_doubles(r, BAND_BLOCK_BYTES / 8, band_block)) {
        bool finite = true;
        for (double v : band_block) {
            finite = finite && std::isfinite(v);
        }
        if (finite) {
            for (int b = 0; b < BAND_COUNT; ++b) {
                const double* v = band_block + b * 5;
                p.bands[b].limiter_drive_db = v[0];
                p.bands[b].gain_db = v[1];
                p.bands[b].out_mix_db = v[2];
                p.bands[b].vca_threshold_db = v[3];
                p.bands[b].clip_threshold_db = v[4];
            }
        }
    }
    r.f64(st.agc_threshold_db);  // 248
    r.f64(st.agc_drive_db);
    r.f64(st.stereo_level_db);
    r.skip(256);  // 272
    r.skip(8);    // 528: the delay copy at 975 is the one used
    double bass_eq[4];
    if (read_doubles(r, BASS_EQ_BYTES / 8, bass_eq) && std::isfinite(bass_eq[0]) &&
        std::isfinite(bass_eq[1]) && std::isfinite(bass_eq[2]) && std::isfinite(bass_eq[3])) {
        p.bass_eq_gain_db = bass_eq[0];  // 536
        p.bass_eq_freq_hz = bass_eq[1];
        p.bass_eq_rate_hz = bass_eq[2];
        p.bass_eq_q = bass_eq[3];
    }
    r.f64(st.final_clip_threshold_db);  // 568
    r.skip(4);
    r.f64(st.mb_release);  // 580
    if (st.mb_release == 0.0) {
        st.mb_release = 1.0;
    }
    r.skip(8);  // 588

    // Defaults of the fields from 596 to 967 are set together here, so a file that ends
    // anywhere before one of them gives it the default rather than the value in memory.
    sw.bass_phase = 1;
    sw.bass_eq_off = 0;
    sw.stereo_enhance = 1;
    st.stereo_type = 2.0;
    st.band_clip_knee = 2.0;
    dev.out_device_index = 0;
    dev.in_device_index = 0;
    dev.onair_rate_choice = ONAIR_RATE_44100;
    st.bass_punch = 0.0;
    p.final_lpf = 1.0;

    r.i32(sw.bass_phase);  // 596
    r.i32(sw.bass_eq_off);
    r.i32(sw.stereo_enhance);
    r.f64(st.stereo_type);  // 608
    r.f64(st.band_clip_knee);
    r.u16(dev.out_device_index);  // 624
    r.skip(2);
    r.skip(256);
    r.u16(dev.in_device_index);  // 884
    r.skip(2);                   // 886: the copy at 888 is the one used
    r.u16(dev.onair_rate_choice);
    r.skip(2);
    r.skip(4);             // 892
    r.f64(st.bass_punch);  // 896
    p.preset_name.fill('\0');
    r.text(p.preset_name, PRESET_NAME_STORED);  // 904
    p.final_lpf = 1.0;
    r.f64(p.final_lpf);  // 967
    st.stereo_delay_ms = 10.0;
    r.f64(st.stereo_delay_ms);
    sw.deemphasis = 0;
    r.i32(sw.deemphasis);
    st.preemphasis = 0.0;
    r.f64(st.preemphasis);  // 987
    st.hf_threshold_db = -15.0;
    r.f64(st.hf_threshold_db);
    st.hf_drive_db = 24.0;
    r.f64(st.hf_drive_db);
    st.hf_reserved_db = -3.0;
    r.f64(st.hf_reserved_db);
    st.overshoot_threshold_db = -0.5;
    r.f64(st.overshoot_threshold_db);
    st.agc_release = 4.0;
    r.f64(st.agc_release);
    r.i32(dev.onair_autostart);  // 1035
    r.i32(dev.buffer_count);
    p.bands[0].bass_attack_ms = 0.0;
    r.f64(p.bands[0].bass_attack_ms);  // 1043
    if (st.bass_punch != 0.0) {
        // Files of earlier versions kept the bass attack as a 0..4 punch setting.
        // A damaged value so large that the product overflows is dropped like a non-number.
        const double attack = st.bass_punch * 5.0;
        if (std::isfinite(attack)) {
            p.bands[0].bass_attack_ms = attack;
        }
        st.bass_punch = 0.0;
    }
    r.i32(ex.output_mp3);
    r.i32(enc.mp3_bitrate_kbps);  // 1055
    if (enc.mp3_bitrate_kbps < 1 || enc.mp3_bitrate_kbps > 320) {
        enc.mp3_bitrate_kbps = 192;
    }
    ex.tag_album_prefix.fill('\0');
    r.text(ex.tag_album_prefix, TAG_PREFIX_STORED);  // 1059
    ex.tag_title_prefix.fill('\0');
    r.text(ex.tag_title_prefix, TAG_PREFIX_STORED);
    ex.normalise_on_export = 1;
    r.i32(ex.normalise_on_export);  // 1123
    if (state_file) {
        r.text(ex.name_affix, NAME_AFFIX_STORED);  // 1127
    } else {
        r.skip(NAME_AFFIX_STORED);
    }
    s.throttle.cpu_throttle_on.store(0, std::memory_order_relaxed);
    r.i32(s.throttle.cpu_throttle_on);  // 1263
    s.throttle.cpu_throttle_level.store(10, std::memory_order_relaxed);
    r.i32(s.throttle.cpu_throttle_level);
    // The export dialog clamps the level to its slider's 0..40 when it opens; a damaged file
    // must not make a job without that dialog sleep for days per block.
    s.throttle.cpu_throttle_level.store(
        std::clamp(s.throttle.cpu_throttle_level.load(std::memory_order_relaxed), 0, 40),
        std::memory_order_relaxed);
    // 1271: what the file holds for the external encoder, taken below unless held back.
    ExternalEncoderRequest asked;
    const bool holds_encoder = r.i32(asked.use_external_encoder);
    r.text(asked.external_encoder_path, ENCODER_TEXT_STORED);    // 1275
    r.text(asked.external_encoder_params, ENCODER_TEXT_STORED);  // 1535
    if (kind != SettingsFileKind::Parameters) {
        accept_encoder_request(enc, asked);
    } else if (holds_encoder && held_back != nullptr &&
               (asked.use_external_encoder != enc.use_external_encoder ||
                asked.external_encoder_path != enc.external_encoder_path ||
                asked.external_encoder_params != enc.external_encoder_params)) {
        *held_back = asked;
    }
    st.mb_attack = 0.0;
    r.f64(st.mb_attack);  // 1795
    if (st.mb_attack == 0.0) {
        st.mb_attack = st.mb_release;
    }
    st.final_clip_type = 0.0;
    r.f64(st.final_clip_type);
    sw.virtual_room = 0;
    r.i32(sw.virtual_room);  // 1811
    p.interaural_delay_cm = 21.5;
    r.f64(p.interaural_delay_cm);
    p.room_size_m = 10.0;
    r.f64(p.room_size_m);
    p.reverb_level_pct = 35.0;
    r.f64(p.reverb_level_pct);
    ex.save_to_source_folder = 0;
    r.i32(ex.save_to_source_folder);  // 1839
    ex.affix_is_postfix = 0;
    r.i32(ex.affix_is_postfix);
    p.test_channels = 1.0;
    if (state_file) {
        r.i32(sw.noise_gate);  // 1847
        double gates[BAND_COUNT];
        if (read_doubles(r, GATE_BYTES / 8, gates)) {  // 1851
            bool finite = true;
            for (double g : gates) {
                finite = finite && std::isfinite(g);
            }
            for (int b = 0; finite && b < BAND_COUNT; ++b) {
                p.bands[b].gate_threshold_db = gates[b];
            }
        }
    }
}

}  // namespace

SettingsBytes encode_settings(ProgramState& s) {
    SettingsBytes out{};
    ByteWriter w(out);
    encode_body(w, s);
    assert(w.position() == SETTINGS_FILE_BYTES);
    return out;
}

LoadResult decode_settings(ProgramState& s, std::span<const uint8_t> bytes, SettingsFileKind kind,
                           const BeepHook& beep, std::optional<ExternalEncoderRequest>* held_back) {
    if (held_back != nullptr) {
        held_back->reset();
    }
    if (bytes.size() < SETTINGS_MAGIC_BYTES ||
        std::memcmp(bytes.data(), SETTINGS_MAGIC, SETTINGS_MAGIC_BYTES) != 0) {
        if (beep) {
            beep();
        }
        return LoadResult::BadMagic;
    }
    FieldReader r(bytes.subspan(SETTINGS_MAGIC_BYTES));
    decode_body(r, s, kind, held_back);
    // Whatever a file holds, the panel could have set: a damaged or hostile file must not drive
    // the chain to full-scale noise.
    bring_loaded_values_within_bounds(s, kind == SettingsFileKind::State);
    return LoadResult::Loaded;
}

}  // namespace zv
