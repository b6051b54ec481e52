// zvmp3-cli export and peak, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "test_media.h"

namespace zv {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
};

// Runs zvmp3-cli with the arguments (quoted for sh) and TMPDIR set; stderr joins stdout.
CliRun cli(const std::string& args, const std::string& tmpdir) {
    std::string cmd = "TMPDIR='" + tmpdir + "' '" + std::string(ZVMP3_CLI) + "' " + args + " 2>&1";
    CliRun r;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class CliExport : public ::testing::Test {
protected:
    void SetUp() override {
        tmp = dir / "tmp";
        ::mkdir(tmp.c_str(), 0700);
        for (int k = 0; k < 4; ++k) {
            test::WavSpec s;
            s.rate = k == 3 ? 48000 : 44100;
            s.channels = k == 2 ? 1 : 2;
            s.samples = test::test_signal(static_cast<size_t>(30000 + 9000 * k), s.channels,
                                          3000 + 4000 * k);
            std::string path = dir / ("s" + std::to_string(k) + ".wav");
            test::write_bytes(path, test::make_wav_bytes(s));
            sources += " '" + path + "'";
        }
    }
    test::ScratchDir dir;
    std::string tmp;
    std::string sources;
};

TEST_F(CliExport, TwoJobsGiveTheSameBytesAsOne) {
    ::mkdir((dir / "one").c_str(), 0755);
    ::mkdir((dir / "two").c_str(), 0755);
    for (const char* fmt : {"--wav", "--mp3"}) {
        CliRun a = cli(
            "export " + std::string(fmt) + " -q --jobs 1 -d '" + dir / "one" + "'" + sources, tmp);
        ASSERT_EQ(a.status, 0) << a.out;
        CliRun b = cli(
            "export " + std::string(fmt) + " -q --jobs 2 -d '" + dir / "two" + "'" + sources, tmp);
        ASSERT_EQ(b.status, 0) << b.out;
        EXPECT_EQ(a.out, "");  // quiet
        const char* ext = std::string(fmt) == "--wav" ? ".wav" : ".mp3";
        for (int k = 0; k < 4; ++k) {
            std::string name = "mm_s" + std::to_string(k) + ext;
            std::vector<uint8_t> x = test::read_bytes(dir / "one" + "/" + name);
            ASSERT_FALSE(x.empty()) << name;
            EXPECT_EQ(x, test::read_bytes(dir / "two" + "/" + name)) << name;
        }
    }
    // The private working folder is gone after each run.
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

// MP3 sources decode through a library whose decoder instances share state: parallel jobs
// once crashed or wrote other samples. Every run of two or four jobs equals one job.
TEST_F(CliExport, ParallelMp3SourcesGiveTheSameBytesAsOneJob) {
    for (const char* d : {"mp3", "one", "many"}) {
        ::mkdir((dir / d).c_str(), 0755);
    }
    CliRun made = cli("export --mp3 -q --no-normalise -d '" + dir / "mp3" + "'" + sources, tmp);
    ASSERT_EQ(made.status, 0) << made.out;
    std::string mp3s;
    for (int k = 0; k < 4; ++k) {
        mp3s += " '" + dir / "mp3" + "/mm_s" + std::to_string(k) + ".mp3'";
    }
    CliRun one = cli("export --wav -q --jobs 1 --affix '' -d '" + dir / "one" + "'" + mp3s, tmp);
    ASSERT_EQ(one.status, 0) << one.out;
    std::vector<std::vector<uint8_t>> want;
    for (int k = 0; k < 4; ++k) {
        want.push_back(test::read_bytes(dir / "one" + "/mm_s" + std::to_string(k) + ".wav"));
        ASSERT_GT(want.back().size(), 44000u);
    }
    for (int run = 0; run < 20; ++run) {
        for (int jobs : {2, 4}) {
            std::filesystem::remove_all(dir / "many");
            ::mkdir((dir / "many").c_str(), 0755);
            CliRun r = cli("export --wav -q --jobs " + std::to_string(jobs) + " --affix '' -d '" +
                               dir / "many" + "'" + mp3s,
                           tmp);
            ASSERT_EQ(r.status, 0) << "run " << run << ", " << jobs << " jobs: " << r.out;
            for (int k = 0; k < 4; ++k) {
                ASSERT_EQ(test::read_bytes(dir / "many" + "/mm_s" + std::to_string(k) + ".wav"),
                          want[static_cast<size_t>(k)])
                    << "song " << k << " of run " << run << " with " << jobs << " jobs";
            }
        }
    }
}

TEST_F(CliExport, NamingOptions) {
    CliRun r = cli("export --wav --beside-source --affix '' '" + dir / "s0.wav" + "'", tmp);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "zel_s0.wav"));
    ::mkdir((dir / "a.b").c_str(), 0755);
    r = cli("export --mp3 -q '" + dir / "s1.wav" + "' -o '" + dir / "a.b/out" + "'", tmp);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "a.b/out.mp3"));
    r = cli("export --wav -q --postfix --affix _x '" + dir / "s1.wav" + "' -d '" +
                dir.path().string() + "'",
            tmp);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "s1_x.wav"));
}

TEST_F(CliExport, ErrorsAndExitStatus) {
    EXPECT_EQ(cli("export", tmp).status, 2);
    EXPECT_EQ(cli("export --bitrate 500 a.wav -o b.wav", tmp).status, 2);
    EXPECT_EQ(cli("export --set no_such_field=1 a.wav -o b.wav", tmp).status, 2);
    EXPECT_EQ(cli("export --preset 1 a.wav -o b.wav", tmp).status, 2);
    EXPECT_EQ(cli("export a.wav b.wav -o c.wav", tmp).status, 2);
    EXPECT_EQ(cli("export --help", tmp).status, 0);
    // One bad source fails the run but the others are still exported.
    test::write_bytes(dir / "bad.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    ::mkdir((dir / "o").c_str(), 0755);
    CliRun r = cli("export --wav -d '" + dir / "o" + "' '" + dir / "bad.wav" + "' '" +
                       dir / "s0.wav" + "' '" + dir / "missing.wav" + "'",
                   tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("bad.wav: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing.wav: cannot open it"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "o/mm_s0.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "o/mm_bad.wav"));
}

TEST_F(CliExport, ExternalEncoderGetsThePathsAsArguments) {
    std::string prog = dir / "enc";
    std::ofstream(prog) << "#!/bin/sh\n[ \"$1\" = -b ] && [ \"$2\" = \"1 2\" ] || exit 9\n"
                           "cp \"$3\" \"$4\"\n";
    ::chmod(prog.c_str(), 0755);
    ::mkdir((dir / "with space").c_str(), 0755);
    CliRun r = cli("export --mp3 -q --external-encoder '" + prog +
                       "' --encoder-params '-b \"1 2\" %1 %2' '" + dir / "s0.wav" + "' -o '" +
                       dir / "with space/x.mp3" + "'",
                   tmp);
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<uint8_t> out = test::read_bytes(dir / "with space/x.mp3");
    ASSERT_GT(out.size(), 4u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "RIFF");  // the processed WAV, copied
    CliRun bad =
        cli("export --mp3 -q --external-encoder '" + prog + "' --encoder-params '%1 %2' '" +
                dir / "s0.wav" + "' -o '" + dir / "with space/y.mp3" + "'",
            tmp);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("status 9"), std::string::npos) << bad.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "with space/y.mp3"));
}

TEST_F(CliExport, PeakPrintsLevelAndGain) {
    std::vector<int16_t> s(1000, 0);
    s[5] = 16384;
    test::WavSpec wav;
    wav.samples = s;
    test::write_bytes(dir / "p.wav", test::make_wav_bytes(wav));
    CliRun r = cli("peak --tsv '" + dir / "p.wav" + "'", tmp);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "file\tpeak\tgain\n" + dir / "p.wav" + "\t16384\t1.99994\n");
}

// Writes a little-endian double into a file at offset.
void patch_f64(const std::string& path, long offset, double v) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    uint64_t raw;
    std::memcpy(&raw, &v, sizeof raw);
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>(raw >> (8 * i));
    f.seekp(offset);
    f.write(bytes, 8);
}

// A parameter file of values no panel allows (an unstable bass EQ, a huge band gain and mix,
// choices of 1e308) loads brought within the panel's bounds: the export is the song processed,
// not full-scale DC or noise.
TEST_F(CliExport, WildParameterFileGivesNoFullScaleDcOrNoise) {
    const std::string params = dir / "wild.zv3";
    CliRun made = cli("params --save '" + params + "'", tmp);
    ASSERT_EQ(made.status, 0) << made.out;
    patch_f64(params, 560, -1.0);      // bass_eq_q
    patch_f64(params, 544, 30000.0);   // bass_eq_freq_hz
    patch_f64(params, 16 + 80, 1e6);   // band 3 gain_db
    patch_f64(params, 24 + 200, 500);  // band 6 out_mix_db
    patch_f64(params, 264, 300.0);     // stereo_level_db
    patch_f64(params, 248, -1e9);      // agc_threshold_db
    patch_f64(params, 967, 1e308);     // final_lpf
    patch_f64(params, 987, 1e308);     // preemphasis
    ::mkdir((dir / "wild").c_str(), 0755);
    CliRun r = cli("export --wav -q --no-normalise --params '" + params + "' -d '" + dir / "wild" +
                       "' '" + dir / "s0.wav" + "'",
                   tmp);
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<uint8_t> out = test::read_bytes(dir / "wild/mm_s0.wav");
    ASSERT_GT(out.size(), 44000u);
    double sum = 0.0;
    size_t loud = 0, n = 0;
    for (size_t i = 44; i + 1 < out.size(); i += 2, ++n) {
        const int v = static_cast<int16_t>(out[i] | out[i + 1] << 8);
        sum += v;
        loud += std::abs(v) >= 32000 ? 1 : 0;
    }
    EXPECT_LT(std::abs(sum / static_cast<double>(n)), 500.0);
    EXPECT_LT(loud, n / 100) << "full-scale samples";
}

// A shared parameter file that asks for an external encoder does not get it by loading: the
// built-in encoder writes the MP3 and the file's program never runs.
TEST_F(CliExport, ParameterFileDoesNotStartItsOwnEncoder) {
    const std::string marker = dir / "ran";
    const std::string prog = dir / "evil";
    std::ofstream(prog) << "#!/bin/sh\ntouch '" << marker << "'\ncp \"$1\" \"$2\"\n";
    ::chmod(prog.c_str(), 0755);
    const std::string params = dir / "shared.zv3";
    CliRun made = cli("params --set use_external_encoder=1 --set external_encoder_path='" + prog +
                          "' --set 'external_encoder_params=%1 %2' --save '" + params + "'",
                      tmp);
    ASSERT_EQ(made.status, 0) << made.out;
    CliRun r = cli("export --mp3 -q --params '" + params + "' '" + dir / "s0.wav" + "' -o '" +
                       dir / "shared.mp3" + "'",
                   tmp);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the file's program ran";
    std::vector<uint8_t> out = test::read_bytes(dir / "shared.mp3");
    ASSERT_GT(out.size(), 4u);
    EXPECT_NE(std::string(out.begin(), out.begin() + 4), "RIFF");  // encoded, not copied
}

}  // namespace
}  // namespace zv
