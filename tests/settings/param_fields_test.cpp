#include <gtest/gtest.h>

#include <cstdlib>

#include "settings/param_fields.h"
#include "settings/settings_file.h"
#include "tests/settings/test_support.h"

namespace zv {
namespace {

TEST(ParamFields, NamesAndOffsetsFollowTheFile) {
    const auto& fields = param_fields();
    ASSERT_EQ(fields.front().name, "bands[1].limiter_drive_db");
    EXPECT_EQ(fields.front().offset, 8u);
    EXPECT_EQ(fields.back().name, "bands[6].gate_threshold_db");
    EXPECT_EQ(fields.back().offset, 1891u);
    const std::pair<const char*, std::size_t> expected[] = {
        {"bands[1].gain_db", 16},
        {"bands[6].clip_threshold_db", 240},
        {"agc_drive_db", 256},
        {"bass_eq_rate_hz", 552},
        {"mb_release", 580},
        {"onair_rate_choice", 888},
        {"preset_name", 904},
        {"final_lpf", 967},
        {"stereo_delay_ms", 975},
        {"bands[1].bass_attack_ms", 1043},
        {"mp3_bitrate_kbps", 1055},
        {"name_affix", 1127},
        {"external_encoder_params", 1535},
        {"mb_attack", 1795},
        {"noise_gate", 1847},
        {"bands[1].gate_threshold_db", 1851},
    };
    for (auto [name, offset] : expected) {
        const ParamField* f = find_param_field(name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f->offset, offset) << name;
    }
    for (std::size_t i = 1; i < fields.size(); ++i) {
        EXPECT_LT(fields[i - 1].offset, fields[i].offset) << fields[i].name;
    }
    EXPECT_EQ(find_param_field("bands[0].gain_db"), nullptr);
    EXPECT_EQ(find_param_field("test_channels"), nullptr) << "not stored";
    EXPECT_TRUE(find_param_field("name_affix")->state_file_only);
    EXPECT_FALSE(find_param_field("agc_drive_db")->state_file_only);
}

TEST(ParamFields, BadValuesAreRefusedAndChangeNothing) {
    OwnedProgramState st;
    ProgramState s = st.view();
    std::string error;
    const char* bad[][2] = {
        {"bands[1].gain_db", "25"},
        {"bands[1].gain_db", "abc"},
        {"bands[1].gain_db", "nan"},
        {"agc_drive_db", "1e400"},
        {"bands[2].gain_db", "3x"},
        {"noise_gate", "2"},
        {"noise_gate", "0.5"},
        {"buffer_count", "9"},
        {"mp3_bitrate_kbps", "100"},
        {"out_device_index", "8"},
        {"name_affix", "12345678901234567890123456789012"},
    };
    const SettingsBytes before = encode_settings(s);
    for (auto& [name, value] : bad) {
        error.clear();
        EXPECT_FALSE(set_param_field(s, *find_param_field(name), value, error)) << name << value;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    EXPECT_EQ(encode_settings(s), before);

    ASSERT_TRUE(set_param_field(s, *find_param_field("bands[6].out_mix_db"), "-96", error));
    ASSERT_TRUE(set_param_field(s, *find_param_field("agc_drive_db"), "+12.25", error));
    ASSERT_TRUE(set_param_field(s, *find_param_field("cpu_throttle_level"), "40", error));
    ASSERT_TRUE(set_param_field(s, *find_param_field("name_affix"), "live_", error));
    EXPECT_EQ(st.processor->params.bands[5].out_mix_db, -96.0);
    EXPECT_EQ(get_param_field(s, *find_param_field("agc_drive_db")), "12.25");
    EXPECT_EQ(st.throttle.cpu_throttle_level, 40);
    EXPECT_EQ(get_param_field(s, *find_param_field("name_affix")), "live_");
}

TEST(ParamFields, SettingReleaseRecomputesLikeThePanel) {
    OwnedProgramState st;
    ProgramState s = st.view();
    processor_startup(*st.processor);
    std::string error;
    ASSERT_TRUE(set_param_field(s, *find_param_field("mb_release"), "2", error));
    EXPECT_EQ(st.processor->params.bands[3].lookahead_len, 440);
    ASSERT_TRUE(set_param_field(s, *find_param_field("mb_release"), "4", error));
    EXPECT_EQ(st.processor->params.bands[3].lookahead_len, 110);
}

// A parameter file saved after each factory preset loads back to the preset's values. The
// saved bytes are kept as golden files; ZV_UPDATE_GOLDEN=1 rewrites them.
TEST(ParamFields, FactoryPresetsRoundTripThroughParameterFiles) {
    const int ids[] = {232, 343, 340, 342, 341, 339, 336, 338, 337, 335, 334};
    const std::filesystem::path golden_dir =
        std::filesystem::path(ZV_SOURCE_DIR) / "tests" / "settings" / "golden";
    const bool update = std::getenv("ZV_UPDATE_GOLDEN") != nullptr;
    for (int id : ids) {
        OwnedProgramState applied;
        ProgramState as = applied.view();
        processor_startup(*applied.processor);
        apply_factory_preset(*applied.processor, id);
        const SettingsBytes bytes = encode_settings(as);
        const auto golden = golden_dir / ("preset_" + std::to_string(id) + ".zv3");
        if (update) {
            std::filesystem::create_directories(golden_dir);
            ASSERT_TRUE(save_settings_file(as, golden).ok);
        }
        const std::vector<uint8_t> stored = test::read_bytes(golden);
        ASSERT_TRUE(stored == std::vector<uint8_t>(bytes.begin(), bytes.end()))
            << golden << " differs from what the preset saves (ZV_UPDATE_GOLDEN=1 rewrites it)";

        OwnedProgramState loaded;
        ProgramState ls = loaded.view();
        processor_startup(*loaded.processor);
        apply_factory_preset(*loaded.processor, id == 232 ? 334 : 232);  // start elsewhere
        ASSERT_EQ(load_settings_file(ls, golden, SettingsFileKind::Parameters, nullptr),
                  LoadResult::Loaded);
        for (const ParamField& f : param_fields()) {
            EXPECT_EQ(get_param_field(ls, f), get_param_field(as, f)) << id << " " << f.name;
        }
    }
}

}  // namespace
}  // namespace zv
