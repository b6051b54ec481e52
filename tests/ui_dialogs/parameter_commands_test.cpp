#include <gtest/gtest.h>

#include <filesystem>

#include "dialog_test_support.h"
#include "settings/text_field.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
#include "ui/dialogs/parameter_commands.h"

namespace zv {
namespace {

namespace fs = std::filesystem;

struct ParameterCommandFixture : ::testing::Test {
    test::ScratchDir dir;
    OwnedProgramState owned;
    ProgramFolders folders{dir.path(), "00000001"};
    IniSettings ini{dir / "zelmp3.ini"};
    test::ScriptedHost host;
    int beeps = 0;
    ParameterCommandContext context{owned.view(), folders, ini, host, nullptr, [this] { ++beeps; }};

    void SetUp() override { processor_startup(*owned.processor); }

    // A parameter file as someone else's program would hand it over.
    std::string shared_file(bool use, const char* program, const char* params, double gain) {
        OwnedProgramState other;
        processor_startup(*other.processor);
        other.processor->params.bands[0].gain_db = gain;
        other.encoder.use_external_encoder = use ? 1 : 0;
        set_text(other.encoder.external_encoder_path, program);
        set_text(other.encoder.external_encoder_params, params);
        ProgramState s = other.view();
        const std::string path = dir / "shared.zv3";
        EXPECT_TRUE(save_settings_file(s, path).ok);
        return path;
    }
};

TEST_F(ParameterCommandFixture, UserPresetCancelWritesNothingAndMakesNoFolder) {
    host.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(save_user_preset_asking(context, 2));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(
        host.messages[0].text,
        QStringLiteral("ユーザープリセット２に現在のパラメータを保存しまず\nよろしいですか？"));
    EXPECT_FALSE(fs::exists(users_folder_path(folders)));

    host.answers.push_back(MessageAnswer::Ok);
    EXPECT_TRUE(save_user_preset_asking(context, 2));
    EXPECT_EQ(fs::file_size(user_preset_path(folders, 2)), SETTINGS_FILE_BYTES);
    EXPECT_FALSE(fs::exists(user_preset_path(folders, 1)));
}

TEST_F(ParameterCommandFixture, AFileThatAsksForAnotherEncoderIsTakenOnlyWithAYes) {
    const std::string path = shared_file(true, "/bin/sh", "-c 'rm -rf ~' %1", 7.5);

    host.steps.push_back(test::choose_files({path}));
    host.answers.push_back(MessageAnswer::Cancel);
    EXPECT_TRUE(open_parameter_file(context));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].text.contains(QStringLiteral("/bin/sh")));
    EXPECT_TRUE(host.messages[0].text.contains(QStringLiteral("-c 'rm -rf ~' %1")));
    // The rest of the file is in force; the encoder is as it was.
    EXPECT_EQ(owned.processor->params.bands[0].gain_db, 7.5);
    EXPECT_EQ(owned.encoder.use_external_encoder, 0);
    EXPECT_EQ(text_of(owned.encoder.external_encoder_path), "");
    EXPECT_EQ(ini.read(IniKey::ParamFileDir), path);

    host.steps.push_back(test::choose_files({path}));
    host.answers.push_back(MessageAnswer::Ok);
    EXPECT_TRUE(open_parameter_file(context));
    EXPECT_EQ(owned.encoder.use_external_encoder, 1);
    EXPECT_EQ(text_of(owned.encoder.external_encoder_path), "/bin/sh");
    EXPECT_EQ(text_of(owned.encoder.external_encoder_params), "-c 'rm -rf ~' %1");

    // The same encoder again asks nothing; a file that only turns it off is taken as it is.
    host.steps.push_back(test::choose_files({path}));
    EXPECT_TRUE(open_parameter_file(context));
    EXPECT_EQ(host.messages.size(), 2u);
    const std::string off = shared_file(false, "/bin/sh", "-c 'rm -rf ~' %1", 1.0);
    host.steps.push_back(test::choose_files({off}));
    EXPECT_TRUE(open_parameter_file(context));
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(owned.encoder.use_external_encoder, 0);
}

TEST_F(ParameterCommandFixture, SaveAndAFileThatIsNoParameterFile) {
    const std::string path = dir / "mine.zv3";
    owned.processor->params.bands[1].gain_db = 3.0;
    host.steps.push_back(test::choose_files({path}));
    EXPECT_TRUE(save_parameter_file(context));
    EXPECT_EQ(fs::file_size(path), SETTINGS_FILE_BYTES);
    EXPECT_EQ(ini.read(IniKey::ParamFileSaveDir), path);

    // A save that cannot be written is said so.
    host.steps.push_back(test::choose_files({dir / "no/such/folder/x.zv3"}));
    EXPECT_FALSE(save_parameter_file(context));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Warning);

    const std::string junk = dir / "junk.zv3";
    test::write_bytes(junk, {'n', 'o', 't', ' ', 'a', ' ', 'z', 'v', '3', '!'});
    owned.processor->params.bands[1].gain_db = 5.0;
    host.steps.push_back(test::choose_files({junk}));
    EXPECT_FALSE(open_parameter_file(context));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(owned.processor->params.bands[1].gain_db, 5.0);
}

}  // namespace
}  // namespace zv
