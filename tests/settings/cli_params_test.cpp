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
        {{"--state", "a.prf", "--params", "b.zv3"}, cli::EXIT_USAGE, "at most one"},
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

}  // namespace
}  // namespace zv
