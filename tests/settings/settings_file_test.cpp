#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "settings/param_fields.h"
#include "settings/settings_file.h"
#include "settings/text_field.h"
#include "tests/settings/test_support.h"

namespace zv {
namespace {

using test::f64_at;
using test::i32_at;
using test::put_f64;
using test::put_i32;
using test::u16_at;

// A value for every stored field that differs from the start values and the reader's
// defaults, within the field's range.
void fill_distinct(ProgramState& s) {
    int i = 0;
    for (const ParamField& f : param_fields()) {
        ++i;
        std::string value;
        if (f.type == FieldType::Text) {
            value = "text" + std::to_string(i);
        } else if (f.name == "mp3_bitrate_kbps") {
            value = "224";
        } else if (f.type == FieldType::Int) {
            value = std::to_string(static_cast<long long>(f.max));
        } else {
            const double lo = std::max(f.min, -1000.0), hi = std::min(f.max, lo + 2000.0);
            value = std::to_string(lo + (hi - lo) * (0.25 + 0.01 * (i % 50)));
        }
        std::string error;
        ASSERT_TRUE(set_param_field(s, *find_param_field(f.name), value, error)) << error;
    }
}

LoadResult decode(ProgramState& s, std::span<const uint8_t> bytes,
                  SettingsFileKind kind = SettingsFileKind::State) {
    return decode_settings(s, bytes, kind, nullptr);
}

std::vector<uint8_t> cut(const SettingsBytes& b, std::size_t n) {
    return std::vector<uint8_t>(b.begin(), b.begin() + static_cast<long>(n));
}

TEST(SettingsFile, RoundTripRestoresEveryStoredField) {
    OwnedProgramState a, b;
    ProgramState sa = a.view(), sb = b.view();
    fill_distinct(sa);
    const SettingsBytes bytes = encode_settings(sa);
    ASSERT_EQ(bytes.size(), 1899u);
    EXPECT_EQ(std::memcmp(bytes.data(), "ZEL0ERSP", 8), 0);
    EXPECT_EQ(a.processor->params.settings.bass_punch, 0.0) << "saving clears bass_punch";

    ASSERT_EQ(decode(sb, bytes), LoadResult::Loaded);
    for (const ParamField& f : param_fields()) {
        EXPECT_EQ(get_param_field(sb, f), get_param_field(sa, f)) << f.name;
    }
    EXPECT_EQ(b.processor->params.test_channels, 1.0);
    EXPECT_EQ(encode_settings(sb), bytes);
}

TEST(SettingsFile, FieldsSitAtTheirOffsets) {
    OwnedProgramState a;
    ProgramState s = a.view();
    fill_distinct(s);
    const SettingsBytes bytes = encode_settings(s);
    ProcessorParams& p = a.processor->params;
    // Unaligned fields, checked directly.
    EXPECT_EQ(f64_at(bytes, 975), p.settings.stereo_delay_ms);
    EXPECT_EQ(f64_at(bytes, 528), p.settings.stereo_delay_ms);
    EXPECT_EQ(f64_at(bytes, 1043), p.bands[0].bass_attack_ms);
    EXPECT_EQ(i32_at(bytes, 1055), 224);
    EXPECT_EQ(f64_at(bytes, 1795), p.settings.mb_attack);
    EXPECT_EQ(f64_at(bytes, 1851), p.bands[0].gate_threshold_db);
    EXPECT_EQ(f64_at(bytes, 1891), p.bands[5].gate_threshold_db);
    EXPECT_EQ(f64_at(bytes, 8), p.bands[0].limiter_drive_db);
    EXPECT_EQ(f64_at(bytes, 16), p.bands[0].gain_db);
    EXPECT_EQ(u16_at(bytes, 886), u16_at(bytes, 888));
    EXPECT_EQ(f64_at(bytes, 896), 0.0);
    EXPECT_EQ(f64_at(bytes, 588), 0.0);
    // Reserved spans are zeros.
    for (std::size_t o : {272u, 500u, 576u, 626u, 700u, 883u, 890u, 892u}) {
        EXPECT_EQ(bytes[o], 0) << o;
    }
    // Every entry of the field table names the bytes the writer put there.
    for (const ParamField& f : param_fields()) {
        const std::string v = get_param_field(s, f);
        if (f.type == FieldType::Real) {
            EXPECT_EQ(f64_at(bytes, f.offset), std::stod(v)) << f.name;
        } else if (f.type == FieldType::Int) {
            const bool u16 =
                f.name.find("device_index") != std::string::npos || f.name == "onair_rate_choice";
            EXPECT_EQ(u16 ? u16_at(bytes, f.offset) : i32_at(bytes, f.offset), std::stoi(v))
                << f.name;
        } else {
            EXPECT_EQ(std::memcmp(bytes.data() + f.offset, v.data(), v.size()), 0) << f.name;
            EXPECT_EQ(bytes[f.offset + v.size()], 0) << f.name;
        }
    }
}

TEST(SettingsFile, SaveWritesExactlyTheEncodedBytesAndReportsFailure) {
    test::TempDir dir;
    OwnedProgramState a;
    ProgramState s = a.view();
    const auto path = dir.path() / "p.zv3";
    ASSERT_TRUE(save_settings_file(s, path).ok);
    const SettingsBytes expected = encode_settings(s);
    EXPECT_EQ(test::read_bytes(path), std::vector<uint8_t>(expected.begin(), expected.end()));

    // A read-only file is still replaced: the user asked to save over it.
    chmod(path.c_str(), 0444);
    a.processor->params.settings.agc_drive_db = 7.5;
    ASSERT_TRUE(save_settings_file(s, path).ok);
    const SettingsBytes updated = encode_settings(s);
    EXPECT_EQ(test::read_bytes(path), std::vector<uint8_t>(updated.begin(), updated.end()));

    // A link keeps pointing at the file it names, which gets the new content.
    const auto link = dir.path() / "link.zv3";
    std::filesystem::create_symlink(path, link);
    a.processor->params.settings.agc_drive_db = 2.5;
    ASSERT_TRUE(save_settings_file(s, link).ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    const SettingsBytes linked = encode_settings(s);
    EXPECT_EQ(test::read_bytes(path), std::vector<uint8_t>(linked.begin(), linked.end()));
    std::filesystem::remove(link);

    // A target that cannot be replaced: failure is reported, the old entry stays, no
    // temporary file is left behind.
    const auto blocked = dir.path() / "blocked.zv3";
    std::filesystem::create_directory(blocked);
    std::filesystem::create_directory(blocked / "inner");
    const SaveResult r = save_settings_file(s, blocked);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(blocked / "inner"));
    EXPECT_FALSE(save_settings_file(s, dir.path() / "no" / "such" / "dir.zv3").ok);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2);  // p.zv3 and blocked.zv3
}

TEST(SettingsFile, FileCutAfter1051BytesDefaultsTheRest) {
    OwnedProgramState src, dst;
    ProgramState ss = src.view(), ds = dst.view();
    fill_distinct(ss);
    const SettingsBytes bytes = encode_settings(ss);
    dst.export_options.output_mp3 = 0;
    dst.encoder.mp3_bitrate_kbps = 256;
    dst.export_options.normalise_on_export = 0;
    dst.throttle.cpu_throttle_level = 33;
    set_text(dst.encoder.external_encoder_path, "/usr/bin/enc");
    dst.processor->params.settings.final_clip_type = 1.0;
    dst.processor->params.room_size_m = 30.0;

    ASSERT_EQ(decode(ds, cut(bytes, 1051)), LoadResult::Loaded);
    const ProcessorParams& p = dst.processor->params;
    EXPECT_EQ(p.bands[3].gain_db, src.processor->params.bands[3].gain_db);
    EXPECT_EQ(p.bands[0].bass_attack_ms, src.processor->params.bands[0].bass_attack_ms);
    EXPECT_EQ(p.settings.agc_release, src.processor->params.settings.agc_release);
    EXPECT_EQ(dst.export_options.output_mp3, 0);
    EXPECT_EQ(dst.encoder.mp3_bitrate_kbps, 256);
    EXPECT_EQ(dst.export_options.normalise_on_export, 1);
    EXPECT_EQ(dst.throttle.cpu_throttle_level, 10);
    EXPECT_EQ(dst.throttle.cpu_throttle_on, 0);
    EXPECT_EQ(text_of(dst.encoder.external_encoder_path), "");
    EXPECT_EQ(p.settings.final_clip_type, 0.0);
    EXPECT_EQ(p.interaural_delay_cm, 21.5);
    EXPECT_EQ(p.room_size_m, 10.0);
    EXPECT_EQ(p.reverb_level_pct, 35.0);
    EXPECT_EQ(p.settings.mb_attack, p.settings.mb_release) << "ends before offset 1795";
}

TEST(SettingsFile, FileEndingBefore596GivesTheGroupDefaults) {
    OwnedProgramState src, dst;
    ProgramState ss = src.view(), ds = dst.view();
    fill_distinct(ss);
    const SettingsBytes bytes = encode_settings(ss);
    ProcessorParams& p = dst.processor->params;
    p.switches.bass_phase = 0;
    p.switches.bass_eq_off = 1;
    p.switches.stereo_enhance = 0;
    p.settings.stereo_type = 5;
    p.settings.band_clip_knee = 0;
    p.settings.bass_punch = 3;
    p.final_lpf = 4;
    dst.devices.out_device_index = 3;
    dst.devices.in_device_index = 2;
    dst.devices.onair_rate_choice = 2;
    dst.devices.buffer_count = 7;  // "kept" field: stays

    ASSERT_EQ(decode(ds, cut(bytes, 590)), LoadResult::Loaded);
    EXPECT_EQ(p.settings.mb_release, src.processor->params.settings.mb_release);
    EXPECT_EQ(p.switches.bass_phase, 1);
    EXPECT_EQ(p.switches.bass_eq_off, 0);
    EXPECT_EQ(p.switches.stereo_enhance, 1);
    EXPECT_EQ(p.settings.stereo_type, 2.0);
    EXPECT_EQ(p.settings.band_clip_knee, 2.0);
    EXPECT_EQ(p.settings.bass_punch, 0.0);
    EXPECT_EQ(p.final_lpf, 1.0);
    EXPECT_EQ(dst.devices.out_device_index, 0);
    EXPECT_EQ(dst.devices.in_device_index, 0);
    EXPECT_EQ(dst.devices.onair_rate_choice, 1);
    EXPECT_EQ(dst.devices.buffer_count, 7);
    EXPECT_EQ(p.settings.stereo_delay_ms, 10.0);
    EXPECT_EQ(p.settings.hf_threshold_db, -15.0);
    EXPECT_EQ(p.settings.hf_reserved_db, -3.0);
    EXPECT_EQ(p.settings.overshoot_threshold_db, -0.5);
    EXPECT_EQ(text_of(p.preset_name), "");
}

TEST(SettingsFile, ReadThatRunsPastTheEndFillsNothingOfItsField) {
    OwnedProgramState src, dst;
    ProgramState ss = src.view(), ds = dst.view();
    fill_distinct(ss);
    const SettingsBytes bytes = encode_settings(ss);
    const auto before = dst.processor->params.bands;
    // Inside the band block: no band changes.
    ASSERT_EQ(decode(ds, cut(bytes, 100)), LoadResult::Loaded);
    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_EQ(dst.processor->params.bands[b].gain_db, before[b].gain_db);
        EXPECT_EQ(dst.processor->params.bands[b].clip_threshold_db, before[b].clip_threshold_db);
    }
    // Half of the mb_release field: the value in memory stays.
    dst.processor->params.settings.mb_release = 3;
    ASSERT_EQ(decode(ds, cut(bytes, 584)), LoadResult::Loaded);
    EXPECT_EQ(dst.processor->params.settings.mb_release, 3.0);
    EXPECT_EQ(dst.processor->params.settings.mb_attack, 3.0);
}

TEST(SettingsFile, PerFieldRules) {
    OwnedProgramState src;
    ProgramState ss = src.view();
    SettingsBytes bytes = encode_settings(ss);
    put_f64(bytes, 896, 4.0);  // bass_punch of an earlier version
    put_f64(bytes, 1043, 55.0);
    {
        // A punch whose conversion overflows is dropped; the stored attack stays.
        SettingsBytes huge = bytes;
        put_f64(huge, 896, 1e308);
        OwnedProgramState dst;
        ProgramState ds = dst.view();
        ASSERT_EQ(decode(ds, huge), LoadResult::Loaded);
        EXPECT_EQ(dst.processor->params.bands[0].bass_attack_ms, 55.0);
        EXPECT_EQ(dst.processor->params.settings.bass_punch, 0.0);
    }
    put_f64(bytes, 580, 0.0);   // mb_release
    put_f64(bytes, 1795, 0.0);  // mb_attack
    for (int32_t rate : {0, 400, -5}) {
        OwnedProgramState dst;
        ProgramState ds = dst.view();
        put_i32(bytes, 1055, rate);
        ASSERT_EQ(decode(ds, bytes), LoadResult::Loaded);
        EXPECT_EQ(dst.encoder.mp3_bitrate_kbps, 192) << rate;
        EXPECT_EQ(dst.processor->params.bands[0].bass_attack_ms, 20.0);
        EXPECT_EQ(dst.processor->params.settings.bass_punch, 0.0);
        EXPECT_EQ(dst.processor->params.settings.mb_release, 1.0);
        EXPECT_EQ(dst.processor->params.settings.mb_attack, 1.0);
    }
    for (auto [stored, loaded] : {std::pair{-3, 0}, std::pair{41, 40}, std::pair{25, 25}}) {
        OwnedProgramState dst;
        ProgramState ds = dst.view();
        put_i32(bytes, 1267, stored);
        ASSERT_EQ(decode(ds, bytes), LoadResult::Loaded);
        EXPECT_EQ(dst.throttle.cpu_throttle_level, loaded) << stored;
    }
    for (int32_t rate : {1, 320}) {
        OwnedProgramState dst;
        ProgramState ds = dst.view();
        put_i32(bytes, 1055, rate);
        ASSERT_EQ(decode(ds, bytes), LoadResult::Loaded);
        EXPECT_EQ(dst.encoder.mp3_bitrate_kbps, rate);
    }
}

TEST(SettingsFile, ParameterFilesLeaveAffixGateAndThresholdsAlone) {
    OwnedProgramState src;
    ProgramState ss = src.view();
    set_text(src.export_options.name_affix, "zz_");
    src.processor->params.switches.noise_gate = 1;
    for (ProcessorBand& b : src.processor->params.bands) {
        b.gate_threshold_db = -50.0;
    }
    src.processor->params.settings.agc_drive_db = 11.0;
    const SettingsBytes bytes = encode_settings(ss);

    OwnedProgramState dst;
    ProgramState ds = dst.view();
    ASSERT_EQ(decode(ds, bytes, SettingsFileKind::Parameters), LoadResult::Loaded);
    EXPECT_EQ(text_of(dst.export_options.name_affix), "mm_");
    EXPECT_EQ(dst.processor->params.switches.noise_gate, 0);
    EXPECT_EQ(dst.processor->params.bands[2].gate_threshold_db, -36.0);
    EXPECT_EQ(dst.processor->params.settings.agc_drive_db, 11.0);

    ASSERT_EQ(decode(ds, bytes, SettingsFileKind::State), LoadResult::Loaded);
    EXPECT_EQ(text_of(dst.export_options.name_affix), "zz_");
    EXPECT_EQ(dst.processor->params.switches.noise_gate, 1);
    EXPECT_EQ(dst.processor->params.bands[2].gate_threshold_db, -50.0);
}

TEST(SettingsFile, WrongMagicChangesNothingAndBeeps) {
    OwnedProgramState src, dst;
    ProgramState ss = src.view(), ds = dst.view();
    fill_distinct(ss);
    SettingsBytes bytes = encode_settings(ss);
    bytes[7] = 'Q';
    const SettingsBytes before = encode_settings(ds);
    int beeps = 0;
    const BeepHook beep = [&] { ++beeps; };
    EXPECT_EQ(decode_settings(ds, bytes, SettingsFileKind::State, beep), LoadResult::BadMagic);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(encode_settings(ds), before);
    EXPECT_EQ(decode_settings(ds, cut(bytes, 5), SettingsFileKind::State, beep),
              LoadResult::BadMagic);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(decode_settings(ds, {}, SettingsFileKind::State, nullptr), LoadResult::BadMagic);
    EXPECT_EQ(encode_settings(ds), before);
}

TEST(SettingsFile, TextFieldsStayTerminatedInsideTheirArrays) {
    OwnedProgramState src;
    ProgramState ss = src.view();
    SettingsBytes bytes = encode_settings(ss);
    std::memset(bytes.data() + 904, 'n', 63);
    std::memset(bytes.data() + 1059, 'a', 32);
    std::memset(bytes.data() + 1091, 't', 32);
    std::memset(bytes.data() + 1127, 'x', 136);
    std::memset(bytes.data() + 1275, 'p', 260);
    std::memset(bytes.data() + 1535, 'q', 260);
    OwnedProgramState dst;
    ProgramState ds = dst.view();
    ASSERT_EQ(decode(ds, bytes), LoadResult::Loaded);
    EXPECT_EQ(text_of(dst.processor->params.preset_name), std::string(63, 'n'));
    EXPECT_EQ(text_of(dst.export_options.tag_album_prefix), std::string(31, 'a'));
    EXPECT_EQ(text_of(dst.export_options.tag_title_prefix), std::string(31, 't'));
    EXPECT_EQ(text_of(dst.export_options.name_affix), std::string(31, 'x'));
    EXPECT_EQ(text_of(dst.encoder.external_encoder_path), std::string(259, 'p'));
    EXPECT_EQ(text_of(dst.encoder.external_encoder_params), std::string(259, 'q'));
    // The fields that follow the long texts are read from their own offsets.
    EXPECT_EQ(dst.throttle.cpu_throttle_level, src.throttle.cpu_throttle_level.load());

    // A cut never ends inside a UTF-8 sequence: 30 ASCII bytes and a 3-byte character.
    std::memset(bytes.data() + 1127, 0, 136);
    std::memset(bytes.data() + 1127, 'y', 30);
    std::memcpy(bytes.data() + 1127 + 30, "\xE3\x81\x82", 3);
    ASSERT_EQ(decode(ds, bytes), LoadResult::Loaded);
    EXPECT_EQ(text_of(dst.export_options.name_affix), std::string(30, 'y'));
}

TEST(SettingsFile, NonFiniteNumbersAreRefused) {
    OwnedProgramState src;
    ProgramState ss = src.view();
    SettingsBytes bytes = encode_settings(ss);
    put_f64(bytes, 256, std::nan(""));                                      // agc_drive_db
    put_f64(bytes, 967, std::numeric_limits<double>::infinity());           // final_lpf
    put_f64(bytes, 16 + 40 * 2, -std::numeric_limits<double>::infinity());  // band 3 gain
    OwnedProgramState dst;
    ProgramState ds = dst.view();
    dst.processor->params.settings.agc_drive_db = 9.0;
    dst.processor->params.bands[2].gain_db = 5.0;
    ASSERT_EQ(decode(ds, bytes), LoadResult::Loaded);
    EXPECT_EQ(dst.processor->params.settings.agc_drive_db, 9.0);
    EXPECT_EQ(dst.processor->params.final_lpf, 1.0);
    EXPECT_EQ(dst.processor->params.bands[2].gain_db, 5.0);
}

}  // namespace
}  // namespace zv
