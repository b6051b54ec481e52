// Files that would drive the chain wild: every load brings the panel's fields within their
// controls' bounds (choices by what they mean), the switches to 0 or 1, and a parameter file
// from elsewhere never sets the external encoder by itself.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "settings/param_fields.h"
#include "settings/settings_file.h"
#include "settings/text_field.h"
#include "settings/user_presets.h"
#include "tests/settings/test_support.h"

namespace zv {
namespace {

using test::put_f64;
using test::put_i32;

constexpr double HUGE_VALUE = 1e308;

// Offsets of the fields the tests write.
constexpr std::size_t BAND_GAIN = 16;  // band 1; each band's five fields take 40 bytes
constexpr std::size_t BAND_OUT_MIX = 24;
constexpr std::size_t AGC_THRESHOLD = 248;
constexpr std::size_t STEREO_LEVEL = 264;
constexpr std::size_t BASS_EQ_FREQ = 544;
constexpr std::size_t BASS_EQ_Q = 560;
constexpr std::size_t MB_RELEASE = 580;
constexpr std::size_t BASS_PHASE = 596;
constexpr std::size_t BASS_EQ_OFF = 600;
constexpr std::size_t STEREO_TYPE = 608;
constexpr std::size_t FINAL_LPF = 967;
constexpr std::size_t PREEMPHASIS = 987;
constexpr std::size_t AGC_RELEASE = 1027;
constexpr std::size_t BASS_ATTACK = 1043;
constexpr std::size_t USE_EXTERNAL = 1271;
constexpr std::size_t MB_ATTACK = 1795;
constexpr std::size_t FINAL_CLIP_TYPE = 1803;
constexpr std::size_t VIRTUAL_ROOM = 1811;
constexpr std::size_t REVERB = 1831;
constexpr std::size_t NOISE_GATE = 1847;

SettingsBytes saved_defaults() {
    OwnedProgramState src;
    processor_startup(*src.processor);
    ProgramState s = src.view();
    return encode_settings(s);
}

void expect_all_within_bounds(const ProgramState& s, const char* what) {
    for (const ParamField& f : param_fields()) {
        if (f.panel_control) {
            const double v = *std::get<double*>(f.locate(s));
            EXPECT_TRUE(value_within_bounds(f, v)) << what << ": " << f.name << " = " << v;
        }
    }
    const ProcessorSwitches& sw = s.processor.params.switches;
    for (int32_t v : {sw.bass_eq_off, sw.bass_phase, sw.stereo_enhance, sw.deemphasis,
                      sw.noise_gate, sw.virtual_room}) {
        EXPECT_TRUE(v == 0 || v == 1) << what << ": a switch reads " << v;
    }
}

TEST(HostileSettings, WildValuesAreBroughtWithinThePanelsBounds) {
    SettingsBytes bytes = saved_defaults();
    put_f64(bytes, BASS_EQ_Q, -1.0);
    put_f64(bytes, BASS_EQ_FREQ, 30000.0);
    put_f64(bytes, BAND_GAIN + 40 * 2, 1e6);       // band 3
    put_f64(bytes, BAND_OUT_MIX + 40 * 5, 500.0);  // band 6
    put_f64(bytes, STEREO_LEVEL, 300.0);
    put_f64(bytes, AGC_THRESHOLD, -1e9);
    put_f64(bytes, BASS_ATTACK, HUGE_VALUE);
    put_f64(bytes, REVERB, -HUGE_VALUE);
    put_f64(bytes, FINAL_LPF, HUGE_VALUE);
    put_f64(bytes, MB_RELEASE, HUGE_VALUE);
    put_f64(bytes, MB_ATTACK, -HUGE_VALUE);
    put_f64(bytes, PREEMPHASIS, HUGE_VALUE);
    put_f64(bytes, STEREO_TYPE, HUGE_VALUE);
    put_f64(bytes, AGC_RELEASE, -HUGE_VALUE);
    put_f64(bytes, FINAL_CLIP_TYPE, HUGE_VALUE);
    put_i32(bytes, BASS_PHASE, 7);
    put_i32(bytes, BASS_EQ_OFF, -3);
    put_i32(bytes, VIRTUAL_ROOM, 2);
    put_i32(bytes, NOISE_GATE, 1000);
    for (SettingsFileKind kind : {SettingsFileKind::State, SettingsFileKind::Parameters}) {
        OwnedProgramState dst;
        processor_startup(*dst.processor);
        ProgramState ds = dst.view();
        ASSERT_EQ(load_settings_bytes(ds, bytes, kind, nullptr), LoadResult::Loaded);
        const ProcessorParams& p = dst.processor->params;
        EXPECT_EQ(p.bass_eq_q, 0.2);
        EXPECT_EQ(p.bass_eq_freq_hz, 150.0);
        EXPECT_EQ(p.bands[2].gain_db, 24.0);
        EXPECT_EQ(p.bands[5].out_mix_db, 3.0);
        EXPECT_EQ(p.settings.stereo_level_db, 0.0);
        EXPECT_EQ(p.settings.agc_threshold_db, -36.0);
        EXPECT_EQ(p.bands[0].bass_attack_ms, 100.0);
        EXPECT_EQ(p.reverb_level_pct, 0.0);
        // Choices become the nearest choice, a whole number.
        EXPECT_EQ(p.final_lpf, 6.0);
        EXPECT_EQ(p.settings.mb_release, 5.0);
        EXPECT_EQ(p.settings.mb_attack, 1.0);
        EXPECT_EQ(p.settings.preemphasis, 2.0);
        EXPECT_EQ(p.settings.stereo_type, 5.0);
        EXPECT_EQ(p.settings.agc_release, 1.0);
        EXPECT_EQ(p.settings.final_clip_type, 1.0);
        // Switches as the chain reads them: bass EQ off when not 0, the others on only at 1.
        EXPECT_EQ(p.switches.bass_phase, 0);
        EXPECT_EQ(p.switches.bass_eq_off, 1);
        EXPECT_EQ(p.switches.virtual_room, 0);
        EXPECT_EQ(p.switches.noise_gate, 0);
        // The bass EQ the load designed is the real one at the clamped values.
        EXPECT_NE(lane_l(dst.processor->state.bass_eq.a1), 0.0);
        expect_all_within_bounds(ds, "wild values");
    }
}

// Choices are kept when they mean a choice of the control: the presets' final_lpf of 0.0
// (below the control's 0.5) and the panel's own 6.5 alike; a value the chain would round out
// of range is brought in.
TEST(HostileSettings, ChoicesKeepTheirMeaningAndThePanelsHalfSteps) {
    for (double lpf : {0.0, 0.5, 3.0, 6.5, 6.9}) {
        OwnedProgramState src, dst;
        processor_startup(*src.processor);
        processor_startup(*dst.processor);
        src.processor->params.final_lpf = lpf;
        ProgramState ss = src.view(), ds = dst.view();
        ASSERT_EQ(
            load_settings_bytes(ds, encode_settings(ss), SettingsFileKind::Parameters, nullptr),
            LoadResult::Loaded);
        EXPECT_EQ(dst.processor->params.final_lpf, lpf);
    }
    const ParamField& type = *find_param_field("stereo_type");
    EXPECT_TRUE(value_within_bounds(type, 4.4));
    EXPECT_FALSE(value_within_bounds(type, 5.6));  // the chain would round it to 6
    EXPECT_EQ(bring_within_bounds(type, 5.6), 5.0);
    EXPECT_EQ(bring_within_bounds(type, 0.2), 1.0);
    const ParamField& lpf = *find_param_field("final_lpf");
    EXPECT_TRUE(value_within_bounds(lpf, 0.0));
    EXPECT_FALSE(value_within_bounds(lpf, 7.0));
    EXPECT_FALSE(value_within_bounds(lpf, -1.0));
    EXPECT_FALSE(value_within_bounds(lpf, std::nan("")));
    EXPECT_EQ(bring_within_bounds(lpf, -1.0), 0.0);
    EXPECT_EQ(bring_within_bounds(*find_param_field("agc_drive_db"), std::nan("")), 0.0);
    // --set follows the same rule.
    OwnedProgramState st;
    ProgramState s = st.view();
    std::string error;
    EXPECT_TRUE(set_param_field(s, lpf, "0", error)) << error;
    EXPECT_TRUE(set_param_field(s, lpf, "6.5", error)) << error;
    EXPECT_FALSE(set_param_field(s, lpf, "7", error));
    EXPECT_NE(error.find("0 to 6"), std::string::npos) << error;
}

// The bytes after the magic are noise: the load gives a state the panel could have made, and
// the chain set up from it passes silence as silence and a tone without a DC offset.
TEST(HostileSettings, ARandomBodyLoadsToASaneState) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 12; ++round) {
        std::vector<uint8_t> bytes(SETTINGS_FILE_BYTES);
        std::memcpy(bytes.data(), SETTINGS_MAGIC, SETTINGS_MAGIC_BYTES);
        for (std::size_t i = SETTINGS_MAGIC_BYTES; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(byte(rng));
        }
        // Random bytes seldom form a number the panel allows; every fourth round puts huge
        // and tiny ones where the doubles are.
        if (round % 4 == 3) {
            for (const ParamField& f : param_fields()) {
                if (f.type == FieldType::Real) {
                    test::put_f64(bytes, f.offset, (f.offset / 8) % 2 ? HUGE_VALUE : -1e-300);
                }
            }
        }
        OwnedProgramState dst;
        processor_startup(*dst.processor);
        ProgramState ds = dst.view();
        ASSERT_EQ(load_settings_bytes(ds, bytes, SettingsFileKind::State, nullptr),
                  LoadResult::Loaded);
        expect_all_within_bounds(ds, "random body");

        Processor& p = *dst.processor;
        change_sample_rate(p, 44100);
        reset_processor_state(p);
        enable_flush_denormals();
        const int frames = 3 * 44100;
        std::vector<int16_t> in(2 * frames, 0), out(in.size());
        for (int off = 0; off < frames; off += 4096) {
            const int n = std::min(4096, frames - off);
            process_block(p, 2 * n, &in[2 * off], &out[2 * off]);
        }
        int loudest = 0;
        for (int16_t v : out) {
            loudest = std::max(loudest, std::abs(static_cast<int>(v)));
        }
        EXPECT_LT(loudest, 64) << "silence became noise in round " << round;

        for (int n = 0; n < frames; ++n) {
            in[2 * n] = in[2 * n + 1] = static_cast<int16_t>(3000.0 * std::sin(n * 0.05));
        }
        for (int off = 0; off < frames; off += 4096) {
            const int n = std::min(4096, frames - off);
            process_block(p, 2 * n, &in[2 * off], &out[2 * off]);
        }
        double sum = 0.0;
        for (int n = frames / 2; n < frames; ++n) {
            sum += out[2 * n];
        }
        EXPECT_LT(std::abs(sum / (frames - frames / 2)), 500.0) << "a DC offset in round " << round;
    }
}

// A parameter file from elsewhere keeps the current external encoder and says what it asked.
TEST(HostileSettings, AParameterFileHoldsBackTheExternalEncoder) {
    OwnedProgramState shared;
    shared.encoder.use_external_encoder = 1;
    set_text(shared.encoder.external_encoder_path, "/bin/sh");
    set_text(shared.encoder.external_encoder_params, "-c \"touch /tmp/owned\" %1 %2");
    shared.processor->params.settings.agc_drive_db = 13.0;
    ProgramState ss = shared.view();
    const SettingsBytes bytes = encode_settings(ss);

    OwnedProgramState mine;
    set_text(mine.encoder.external_encoder_path, "/usr/bin/lame");
    set_text(mine.encoder.external_encoder_params, "-b 320 %1 %2");
    ProgramState ms = mine.view();
    std::optional<ExternalEncoderRequest> asked;
    ASSERT_EQ(load_settings_bytes(ms, bytes, SettingsFileKind::Parameters, nullptr, &asked),
              LoadResult::Loaded);
    EXPECT_EQ(mine.processor->params.settings.agc_drive_db, 13.0);  // the rest is taken
    EXPECT_EQ(mine.encoder.use_external_encoder, 0);
    EXPECT_EQ(text_of(mine.encoder.external_encoder_path), "/usr/bin/lame");
    EXPECT_EQ(text_of(mine.encoder.external_encoder_params), "-b 320 %1 %2");
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->use_external_encoder, 1);
    EXPECT_EQ(text_of(asked->external_encoder_path), "/bin/sh");
    EXPECT_EQ(text_of(asked->external_encoder_params), "-c \"touch /tmp/owned\" %1 %2");

    // The user agreed.
    accept_encoder_request(mine.encoder, *asked);
    EXPECT_EQ(mine.encoder.use_external_encoder, 1);
    EXPECT_EQ(text_of(mine.encoder.external_encoder_path), "/bin/sh");
    // Loaded again, nothing differs: nothing to ask.
    ASSERT_EQ(load_settings_bytes(ms, bytes, SettingsFileKind::Parameters, nullptr, &asked),
              LoadResult::Loaded);
    EXPECT_FALSE(asked.has_value());

    // A file too short to hold the fields asks nothing and changes nothing.
    OwnedProgramState other;
    set_text(other.encoder.external_encoder_path, "/usr/bin/lame");
    ProgramState os = other.view();
    ASSERT_EQ(load_settings_bytes(os, std::span<const uint8_t>(bytes.data(), USE_EXTERNAL),
                                  SettingsFileKind::Parameters, nullptr, &asked),
              LoadResult::Loaded);
    EXPECT_FALSE(asked.has_value());
    EXPECT_EQ(text_of(other.encoder.external_encoder_path), "/usr/bin/lame");

    // The state file and the user's own presets take them as they stand.
    for (SettingsFileKind kind : {SettingsFileKind::State, SettingsFileKind::UserPreset}) {
        OwnedProgramState trusted;
        ProgramState ts = trusted.view();
        asked = ExternalEncoderRequest{};
        ASSERT_EQ(load_settings_bytes(ts, bytes, kind, nullptr, &asked), LoadResult::Loaded);
        EXPECT_FALSE(asked.has_value());
        EXPECT_EQ(trusted.encoder.use_external_encoder, 1);
        EXPECT_EQ(text_of(trusted.encoder.external_encoder_path), "/bin/sh");
    }
}

TEST(HostileSettings, UserPresetsAndFilesOnDiskFollowTheSameRules) {
    test::TempDir dir;
    ProgramFolders folders;
    folders.start_folder = dir.path();
    OwnedProgramState shared;
    shared.encoder.use_external_encoder = 1;
    set_text(shared.encoder.external_encoder_path, "/opt/enc");
    shared.processor->params.bass_eq_q = 0.7;
    ProgramState ss = shared.view();
    ASSERT_TRUE(save_user_preset(ss, folders, 2).ok);
    SettingsBytes bytes = encode_settings(ss);
    put_f64(bytes, BASS_EQ_Q, -1.0);
    const auto file = dir.path() / "shared.zv3";
    test::write_bytes(file, bytes);

    OwnedProgramState mine;
    processor_startup(*mine.processor);
    ProgramState ms = mine.view();
    ASSERT_EQ(use_user_preset(ms, folders, 2, 44100, nullptr), LoadResult::Loaded);
    EXPECT_EQ(mine.encoder.use_external_encoder, 1);
    EXPECT_EQ(mine.processor->params.bass_eq_q, 0.7);

    mine.encoder = EncoderSettings{};
    std::optional<ExternalEncoderRequest> asked;
    ASSERT_EQ(load_settings_file(ms, file, SettingsFileKind::Parameters, nullptr, &asked),
              LoadResult::Loaded);
    EXPECT_EQ(mine.encoder.use_external_encoder, 0);
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(text_of(asked->external_encoder_path), "/opt/enc");
    EXPECT_EQ(mine.processor->params.bass_eq_q, 0.2);
    // A file that is not there asks nothing.
    asked = ExternalEncoderRequest{};
    EXPECT_EQ(load_settings_file(ms, dir.path() / "gone.zv3", SettingsFileKind::Parameters, nullptr,
                                 &asked),
              LoadResult::Missing);
    EXPECT_FALSE(asked.has_value());
}

}  // namespace
}  // namespace zv
