#include "export/external_encoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "test_media.h"

namespace zv {
namespace {

using Args = std::vector<std::string>;

TEST(ExternalEncoder, TemplateBecomesTheDesignedLineAndOneArgumentPerPath) {
    EXPECT_EQ(build_encoder_param_line("-V 2 %1 %2", "/t/a.wav", "/t/a.mp3"),
              "-V 2 \"/t/a.wav\" \"/t/a.mp3\"");
    EXPECT_EQ(split_encoder_params("-V 2 %1 %2", "/t/a b.wav", "/t/\"x\" y.mp3"),
              (Args{"-V", "2", "/t/a b.wav", "/t/\"x\" y.mp3"}));
}

TEST(ExternalEncoder, PercentRules) {
    EXPECT_EQ(build_encoder_param_line("%3 -b 128 %1 %2", "w", "m"), " -b 128 \"w\" \"m\"");
    EXPECT_EQ(split_encoder_params("%3 -b 128 %1 %2", "w", "m"), (Args{"-b", "128", "w", "m"}));
    EXPECT_EQ(build_encoder_param_line("a% b%", "w", "m"), "a b");
    EXPECT_EQ(split_encoder_params("a% b%", "w", "m"), (Args{"a", "b"}));
    EXPECT_EQ(split_encoder_params("--out=%2 %%1", "w", "m"), (Args{"--out=m", "1"}));
}

TEST(ExternalEncoder, QuotesGroupWordsAndAreRemoved) {
    EXPECT_EQ(split_encoder_params("--tt \"my song\" \"\" %1", "w", "m"),
              (Args{"--tt", "my song", "", "w"}));
}

TEST(ExternalEncoder, LineLimitIs257Characters) {
    // "%1" adds the path and two quotes.
    std::string tmpl = "%1";
    std::string path257(255, 'p');
    EXPECT_EQ(build_encoder_param_line(tmpl, path257, "m").size(), 257u);
    std::string path258(256, 'p');
    EXPECT_EQ(build_encoder_param_line(tmpl, path258, "m").size(), 258u);
    ExternalEncodeResult r = run_external_encoder("/bin/true", tmpl, path258, "/nonexistent/m.mp3");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.params_too_long);
    EXPECT_EQ(r.error, "the external encoder's parameter line is longer than 257 characters");
    ExternalEncodeResult r2 =
        run_external_encoder("/bin/true", tmpl, path257, "/nonexistent/m.mp3");
    EXPECT_FALSE(r2.params_too_long);
}

class ExternalEncoderRun : public ::testing::Test {
protected:
    std::string script(const std::string& name, const std::string& body) {
        std::string path = dir / name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        ::chmod(path.c_str(), 0755);
        return path;
    }
    test::ScratchDir dir;
};

TEST_F(ExternalEncoderRun, PathsReachTheProgramUntouchedAndNoShellRunsThem) {
    std::string prog =
        script("enc",
               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$2\")/args\"\n"
               "printf x > \"$2\"\n");
    std::string wav = dir / "a $(touch pwned) 'q\".wav";
    std::string mp3 = dir / "a $(touch pwned) 'q\".mp3";
    ExternalEncodeResult r = run_external_encoder(prog, "%1 %2", wav, mp3);
    ASSERT_TRUE(r.ok) << r.error;
    std::ifstream args(dir / "args");
    std::string l1, l2;
    std::getline(args, l1);
    std::getline(args, l2);
    EXPECT_EQ(l1, wav);
    EXPECT_EQ(l2, mp3);
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

TEST_F(ExternalEncoderRun, FailuresAreReported) {
    EXPECT_FALSE(run_external_encoder(dir / "missing", "%1 %2", dir / "a.wav", dir / "a.mp3").ok);
    std::string fails = script("fails", "printf x > \"$2\"; exit 3\n");
    ExternalEncodeResult r = run_external_encoder(fails, "%1 %2", dir / "a.wav", dir / "a.mp3");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("status 3"), std::string::npos);
    std::string silent = script("silent", "exit 0\n");
    ExternalEncodeResult r2 = run_external_encoder(silent, "%1 %2", dir / "b.wav", dir / "b.mp3");
    EXPECT_FALSE(r2.ok);
    EXPECT_NE(r2.error.find("no MP3"), std::string::npos);
}

}  // namespace
}  // namespace zv
