#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "settings/settings_file.h"
#include "tests/settings/test_support.h"

namespace zv {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun run_params(std::vector<std::string> args) {
    args.insert(args.begin(), "params");
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = cli::run_params(static_cast<int>(argv.size()), argv.data());
    CliRun r{status, testing::internal::GetCapturedStdout(),
             testing::internal::GetCapturedStderr()};
    return r;
}

TEST(ParamsCommand, LoadsAppliesSetsSavesAndShowsInOrder) {
    test::TempDir dir;
    const std::string saved = (dir.path() / "out.zv3").string();
    CliRun r = run_params({"--preset", "335", "--set", "bands[2].gain_db=7.5", "--set",
                           "noise_gate=1", "--save", saved});
    ASSERT_EQ(r.status, cli::EXIT_OK) << r.err;
    EXPECT_EQ(r.out, "") << "--save alone prints nothing";
    EXPECT_EQ(std::filesystem::file_size(saved), 1899u);

    r = run_params({"--params=" + saved, "--show"});
    ASSERT_EQ(r.status, cli::EXIT_OK) << r.err;
    EXPECT_THAT(r.out, testing::StartsWith("bands[1].limiter_drive_db = 16\n"));
    EXPECT_THAT(r.out, testing::HasSubstr("\nbands[2].gain_db = 7.5\n"));
    EXPECT_THAT(r.out, testing::HasSubstr("\nfinal_lpf = 4\n"));
    EXPECT_THAT(r.out, testing::HasSubstr("\nnoise_gate = 0\n")) << "not taken from a .zv3";
    EXPECT_THAT(r.out, testing::EndsWith("bands[6].gate_threshold_db = -36\n"));

    r = run_params({"--set", "tag_title_prefix=a\nb\tc"});
    EXPECT_THAT(r.out, testing::HasSubstr("\ntag_title_prefix = a\\x0Ab\\x09c\n"));

    r = run_params({"--state", saved});
    ASSERT_EQ(r.status, cli::EXIT_OK) << r.err;
    EXPECT_THAT(r.out, testing::HasSubstr("\nnoise_gate = 1\n"));
}

TEST(ParamsCommand, ErrorsAreClearAndWriteNothing) {
    test::TempDir dir;
    const std::string target = (dir.path() / "t.zv3").string();
    const std::string bad = (dir.path() / "bad.zv3").string();
    const uint8_t magic[] = {'Z', 'E', 'L', '0', 'E', 'R', 'S', 'X', 0, 0};
    test::write_bytes(bad, magic);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--set", "nosuch=1", "--save", target}, cli::EXIT_USAGE, "unknown field 'nosuch'"},
        {{"--set", "agc_drive_db=30", "--save", target}, cli::EXIT_USAGE, "outside 0 to 24"},
        {{"--set", "agc_drive_db"}, cli::EXIT_USAGE, "FIELD=VALUE"},
        {{"--preset", "231"}, cli::EXIT_USAGE, "unknown preset id '231'"},
        {{"--params", ""}, cli::EXIT_USAGE, "--params needs a file name, not an empty text"},
        {{"--save="}, cli::EXIT_USAGE, "--save needs a file name, not an empty text"},
        {{"--set", "bypass=2"}, cli::EXIT_USAGE, "bypass: 2 is outside 0 to 1"},
        {{"--set", "test_channels=x"}, cli::EXIT_USAGE, "'x' is not a number"},
        {{"--save"}, cli::EXIT_USAGE, "--save needs a file"},
        {{"extra"}, cli::EXIT_USAGE, "unexpected argument 'extra'"},
        {{"--params", (dir.path() / "none.zv3").string(), "--save", target},
         cli::EXIT_FAILED,
         "cannot open"},
        {{"--params", bad, "--save", target}, cli::EXIT_FAILED, "wrong magic"},
        // The message names the file asked for, never a temporary name beside it.
        {{"--save", (dir.path() / "no" / "x.zv3").string()},
         cli::EXIT_FAILED,
         "cannot write " + (dir.path() / "no" / "x.zv3").string() + ": No such file"},
    };
    for (const Case& c : cases) {
        const CliRun r = run_params(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_THAT(r.err, testing::HasSubstr(c.message));
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(run_params({"--help"}).status, cli::EXIT_OK);
}

// Settings options take effect in the order given: a later one wins.
TEST(ParamsCommand, SettingsApplyInCommandLineOrder) {
    test::TempDir dir;
    const std::string file = (dir.path() / "f.zv3").string();
    ASSERT_EQ(
        run_params({"--preset", "335", "--set", "bands[2].gain_db=7.5", "--save", file}).status,
        cli::EXIT_OK);
    const std::string preset_value = run_params({"--preset", "232"}).out;
    ASSERT_THAT(preset_value, testing::Not(testing::HasSubstr("\nbands[2].gain_db = 7.5\n")));

    CliRun r = run_params({"--preset", "232", "--params", file});
    EXPECT_THAT(r.out, testing::HasSubstr("\nbands[2].gain_db = 7.5\n")) << "the file came last";
    r = run_params({"--params", file, "--preset", "232"});
    EXPECT_EQ(r.out, preset_value) << "the preset came last";
    r = run_params({"--set", "bands[2].gain_db=3", "--params=" + file});
    EXPECT_THAT(r.out, testing::HasSubstr("\nbands[2].gain_db = 7.5\n"));
    r = run_params({"--params=" + file, "--set", "bands[2].gain_db=3"});
    EXPECT_THAT(r.out, testing::HasSubstr("\nbands[2].gain_db = 3\n"));
    // A state file after a parameter file: both are taken, the state file's values last.
    r = run_params({"--params", file, "--state", file, "--show"});
    EXPECT_EQ(r.status, cli::EXIT_OK) << r.err;
}

// A shared parameter file never sets up an external program unless the user trusts it.
TEST(ParamsCommand, ParameterFilesEncoderSettingsNeedTrust) {
    test::TempDir dir;
    const std::string file = (dir.path() / "enc.zv3").string();
    ASSERT_EQ(run_params({"--set", "use_external_encoder=1", "--set",
                          "external_encoder_path=/bin/sh", "--set", "external_encoder_params=-c x",
                          "--set", "mp3_bitrate_kbps=192", "--save", file})
                  .status,
              cli::EXIT_OK);
    CliRun r = run_params({"--params", file});
    ASSERT_EQ(r.status, cli::EXIT_OK);
    EXPECT_THAT(r.out, testing::HasSubstr("\nuse_external_encoder = 0\n"));
    EXPECT_THAT(r.out, testing::HasSubstr("\nexternal_encoder_path = \n"));
    EXPECT_THAT(r.out, testing::HasSubstr("\nmp3_bitrate_kbps = 192\n")) << "the rest is taken";
    EXPECT_THAT(r.err, testing::HasSubstr("warning: " + file +
                                          " asks to run the external encoder '/bin/sh' with "
                                          "the arguments '-c x'"));
    r = run_params({"--trust-encoder", "--params", file});
    EXPECT_THAT(r.out, testing::HasSubstr("\nuse_external_encoder = 1\n"));
    EXPECT_THAT(r.out, testing::HasSubstr("\nexternal_encoder_path = /bin/sh\n"));
    EXPECT_EQ(r.err, "");
    // The state file is the user's own: taken as it is.
    r = run_params({"--state", file});
    EXPECT_THAT(r.out, testing::HasSubstr("\nuse_external_encoder = 1\n"));
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace zv
