// zvmp3-cli export and peak, run as a user runs them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "test_media.h"

extern char** environ;

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

struct CliResult {
    int status = -1;
    std::string out, err;
    double seconds = 0;
};

std::string text_of_file(const std::string& path) {
    std::vector<uint8_t> b = test::read_bytes(path);
    return std::string(b.begin(), b.end());
}

// Runs zvmp3-cli directly (no shell) with TMPDIR set and extra NAME=VALUE environment
// entries; stdout and stderr apart. With interrupt_when set, a SIGINT follows as soon as that
// file exists.
CliResult run_cli(const std::vector<std::string>& args, const std::string& tmpdir,
                  std::vector<std::string> env = {}, const std::string& interrupt_when = {}) {
    test::ScratchDir io;
    std::vector<std::string> argv_s = {ZVMP3_CLI};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    env.push_back("TMPDIR=" + tmpdir);
    env.push_back("LC_ALL=C");
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (entry.rfind("TMPDIR=", 0) != 0 && entry.rfind("LC_ALL=", 0) != 0)
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = io / "out", err = io / "err";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CliResult r;
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return r;
    if (!interrupt_when.empty()) {
        for (int i = 0; i < 600 && !std::filesystem::exists(interrupt_when); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(pid, SIGINT);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = text_of_file(out);
    r.err = text_of_file(err);
    return r;
}

class CliExport : public ::testing::Test {
protected:
    void SetUp() override {
        tmp = dir / "tmp";
        ::mkdir(tmp.c_str(), 0700);
        for (int k = 0; k < 4; ++k) {
            test::WavContent s;
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
        // One job with its stages on one thread.
        std::filesystem::remove_all(dir / "inline");
        ::mkdir((dir / "inline").c_str(), 0755);
        CliRun c = cli("export " + std::string(fmt) + " -q --jobs 1 --inline-stages -d '" +
                           dir / "inline" + "'" + sources,
                       tmp);
        ASSERT_EQ(c.status, 0) << c.out;
        EXPECT_EQ(a.out, "");  // quiet
        const char* ext = std::string(fmt) == "--wav" ? ".wav" : ".mp3";
        for (int k = 0; k < 4; ++k) {
            std::string name = "mm_s" + std::to_string(k) + ext;
            std::vector<uint8_t> x = test::read_bytes(dir / "one" + "/" + name);
            ASSERT_FALSE(x.empty()) << name;
            EXPECT_EQ(x, test::read_bytes(dir / "two" + "/" + name)) << name;
            EXPECT_EQ(x, test::read_bytes(dir / "inline" + "/" + name)) << name;
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
    test::WavContent wav;
    wav.samples = s;
    test::write_bytes(dir / "p.wav", test::make_wav_bytes(wav));
    CliRun r = cli("peak --tsv '" + dir / "p.wav" + "'", tmp);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "file\tpeak\tgain\n" + dir / "p.wav" + "\t16384\t1.99994\n");
}

bool alive(const std::string& pid_file) {
    const long pid = std::atol(text_of_file(pid_file).c_str());
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

std::string write_script(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), 0755);
    return path;
}

// A process id that is surely gone: a child that has ended and been reaped.
long dead_pid() {
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// Settings options take effect in the order given, export options among them.
TEST_F(CliExport, SettingsApplyInCommandLineOrder) {
    const std::string f = dir / "f.zv3";
    ASSERT_EQ(
        run_cli({"params", "--preset", "335", "--set", "bands[3].gain_db=12", "--save", f}, tmp)
            .status,
        0);
    const std::string src = dir / "s1.wav";
    auto exported = [&](std::vector<std::string> settings, const std::string& name) {
        // The parameter file holds an output format too: --wav after it decides.
        std::vector<std::string> args = {"export", "-q"};
        args.insert(args.end(), settings.begin(), settings.end());
        args.insert(args.end(), {"--wav", "--no-normalise", src, "-o", dir / name});
        CliResult r = run_cli(args, tmp);
        EXPECT_EQ(r.status, 0) << r.err;
        return test::read_bytes(dir / name);
    };
    const auto preset_then_file = exported({"--preset", "232", "--params", f}, "a.wav");
    const auto file_then_preset = exported({"--params", f, "--preset", "232"}, "b.wav");
    EXPECT_EQ(preset_then_file, exported({"--params", f}, "c.wav"));
    EXPECT_EQ(file_then_preset, exported({"--preset", "232"}, "d.wav"));
    EXPECT_NE(preset_then_file, file_then_preset);

    // The format is a setting like any other: the state file after --mp3 wins.
    const std::string wav_state = dir / "wav.prf";
    ASSERT_EQ(run_cli({"params", "--set", "output_mp3=0", "--save", wav_state}, tmp).status, 0);
    CliResult r =
        run_cli({"export", "-q", "--mp3", "--state", wav_state, src, "-o", dir / "e"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "e.wav"));
    r = run_cli({"export", "-q", "--state", wav_state, "--mp3", src, "-o", dir / "g"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "g.mp3"));
}

TEST_F(CliExport, OneOptionLanguage) {
    const std::string src = dir / "s0.wav";
    CliResult r = run_cli({"export", "-q", "--wav", "-j1", src, "-o" + dir / "j1"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "j1.wav"));
    r = run_cli({"export", "--wav", src, "-o", ""}, tmp);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("-o needs a file name, not an empty text"), std::string::npos) << r.err;
    EXPECT_EQ(run_cli({"export", "--params=", src, "-o", dir / "x"}, tmp).status, 2);
    EXPECT_EQ(run_cli({"export", "--jobs=0", src, "-o", dir / "x"}, tmp).status, 2);
    EXPECT_EQ(run_cli({"export", "--quiet=1", src, "-o", dir / "x"}, tmp).status, 2);
    r = run_cli({"--version"}, tmp);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("zvmp3-cli (ZelvonicMP3) ", 0), 0u) << r.out;
    // Messages follow the locale.
    r = run_cli({"export", "--jobs", "0", src, "-o", dir / "x"}, tmp, {"LC_ALL=ja_JP.UTF-8"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--jobs には 1 以上の数が必要です"), std::string::npos) << r.err;
}

// An affix is a plain part of a name, from the command line or from a state file.
TEST_F(CliExport, AffixesThatLeaveTheFolderAreRefused) {
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string src = dir / "s0.wav";
    CliResult r = run_cli({"export", "--wav", "--affix", "../x_", src, "-d", dir / "out"}, tmp);
    EXPECT_EQ(r.status, 2);
    const std::string state = dir / "affix.prf";
    ASSERT_EQ(run_cli({"params", "--set", "name_affix=../x_", "--save", state}, tmp).status, 0);
    r = run_cli({"export", "--wav", "--state", state, src, "-d", dir / "out"}, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a plain part of a file name"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x_s0.wav"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

TEST_F(CliExport, SpecialTargetsAreRefusedAndLinksWrittenThrough) {
    const std::string src = dir / "s0.wav";
    const std::string fifo = dir / "fifo.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    CliResult r = run_cli({"export", "--wav", src, "-o", fifo}, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(", not a regular file"), std::string::npos) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A character device too; only the superuser may make one (a copy of /dev/null here).
    const std::string device = dir / "dev.wav";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        r = run_cli({"export", "--wav", src, "-o", device}, tmp);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(", not a regular file"), std::string::npos) << r.err;
        ASSERT_EQ(::lstat(device.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }

    const std::string real = dir / "real.wav", link = dir / "link.wav";
    std::ofstream(real) << "old";
    ::chmod(real.c_str(), 0600);
    ASSERT_EQ(::symlink("real.wav", link.c_str()), 0);
    r = run_cli({"export", "-q", "--wav", src, "-o", link}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a replaced file keeps its mode";
    EXPECT_EQ(text_of_file(real).substr(0, 4), "RIFF");
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

TEST_F(CliExport, SongsWithoutSamplesAndUnwritableFoldersFail) {
    test::WavContent empty;
    test::write_bytes(dir / "empty.wav", test::make_wav_bytes(empty));
    ::mkdir((dir / "out").c_str(), 0755);
    CliResult r = run_cli({"export", "--wav", dir / "empty.wav", "-d", dir / "out"}, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("empty.wav: it holds no samples"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));

    // A folder nobody may write in, the superuser included.
    r = run_cli({"export", "--wav", dir / "s0.wav", "-d", "/proc"}, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("s0.wav: cannot write /proc/mm_s0.wav: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("$$temp"), std::string::npos) << "no private working file is named";
}

TEST_F(CliExport, TsvEscapesNames) {
    const std::string odd = dir / "a\tb\\c\nd.wav";
    std::filesystem::copy_file(dir / "s0.wav", odd);
    const std::string escaped = dir / "a\\tb\\\\c\\nd.wav";
    CliResult r = run_cli({"probe", "--tsv", odd}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n" + escaped + "\t1\t44100\t"), std::string::npos) << r.out;
    r = run_cli({"peak", "--tsv", odd}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n" + escaped + "\t"), std::string::npos) << r.out;
    r = run_cli({"loudness", "--tsv", odd}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n" + escaped + "\t"), std::string::npos) << r.out;
}

// Every exported song gets a loudness line after its own line, in WAV and MP3 mode and with
// several jobs; the figures are those `loudness` finds in the file written.
TEST_F(CliExport, ExportReportsLoudnessPerSong) {
    for (const char* fmt : {"--wav", "--mp3"}) {
        const std::string out_dir = dir / (std::string("out") + fmt);
        ::mkdir(out_dir.c_str(), 0755);
        CliResult r = run_cli(
            {"export", fmt, "-j2", "-d", out_dir, dir / "s0.wav", dir / "s2.wav", dir / "s3.wav"},
            tmp);
        ASSERT_EQ(r.status, 0) << r.err;
        const char* ext = std::string(fmt) == "--wav" ? ".wav" : ".mp3";
        for (int k : {0, 2, 3}) {
            const std::string output = out_dir + "/mm_s" + std::to_string(k) + ext;
            const std::string lead = " -> " + output + "\n    loudness ";
            const size_t at = r.out.find(lead);
            ASSERT_NE(at, std::string::npos) << r.out;
            const size_t start = at + lead.size();
            const std::string figures = r.out.substr(start, r.out.find('\n', start) - start);
            EXPECT_NE(figures.find(" LUFS, range "), std::string::npos) << figures;
            EXPECT_NE(figures.find(" LU, true peak "), std::string::npos) << figures;
            EXPECT_NE(figures.find(" dBTP"), std::string::npos) << figures;
            CliResult m = run_cli({"loudness", output}, tmp);
            ASSERT_EQ(m.status, 0) << m.err;
            const std::string integrated = figures.substr(0, figures.find(' '));
            EXPECT_NE(m.out.find(" " + integrated + " "), std::string::npos)
                << m.out << " vs " << figures;
        }
    }
}

// The loudness command measures what it can and names what it cannot.
TEST_F(CliExport, LoudnessCommandNamesFailures) {
    const std::string fifo = dir / "pipe.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CliResult r = run_cli({"loudness", dir / "missing.mp3", fifo, dir / "s1.wav"}, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir / "missing.mp3" + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(fifo + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(" LUFS "), std::string::npos) << r.out;  // the header
    EXPECT_NE(r.out.find(dir / "s1.wav"), std::string::npos) << r.out;
    EXPECT_EQ(run_cli({"loudness"}, tmp).status, 2);
    EXPECT_EQ(run_cli({"loudness", "--bogus", dir / "s1.wav"}, tmp).status, 2);
}

// What a killed run left behind is removed when the next one starts; nothing of a running
// process, and nothing that is not ours.
TEST_F(CliExport, LeftoversOfDeadRunsAreRemoved) {
    const std::string dead = std::to_string(dead_pid());
    const std::string live = std::to_string(::getpid());
    const std::string dead_temp = tmp + "/zvmp3-" + dead + "-a1b2c3";
    const std::string live_temp = tmp + "/zvmp3-" + live + "-a1b2c3";
    const std::string foreign = tmp + "/zvmp3-other-" + dead;
    for (const std::string& d : {dead_temp, live_temp, foreign}) {
        std::filesystem::create_directories(d + "/job0");
        std::ofstream(d + "/job0/$$temp_zel_12345678.wav") << "x";
    }
    ::mkdir((dir / "out").c_str(), 0755);
    const std::string dead_part = dir / "out/.zvpart-" + dead + "-Xy12Zq";
    const std::string live_part = dir / "out/.zvpart-" + live + "-Xy12Zq";
    std::ofstream(dead_part) << "x";
    std::ofstream(live_part) << "x";

    CliResult r = run_cli({"export", "-q", "--wav", dir / "s0.wav", "-d", dir / "out"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dead_temp));
    EXPECT_TRUE(std::filesystem::exists(live_temp));
    EXPECT_TRUE(std::filesystem::exists(foreign));
    EXPECT_FALSE(std::filesystem::exists(dead_part));
    EXPECT_TRUE(std::filesystem::exists(live_part));

    std::filesystem::create_directories(dead_temp);
    r = run_cli({"peak", dir / "s0.wav"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dead_temp));
}

// The external encoder runs with default signals in its own process group; its output goes
// to our log, never to our standard output.
TEST_F(CliExport, ExternalEncoderRunsApartAndQuietly) {
    // The shell's own mask and dispositions, read with builtins before it starts a child.
    const std::string enc = write_script(
        dir / "enc",
        "wav=$1; mp3=$2\n"
        "while read -r k v; do case $k in SigBlk:) blk=$v;; SigIgn:) ign=$v;; esac; done "
        "< /proc/$$/status\n"
        "blk=${blk#${blk%????}}; ign=${ign#${ign%????}}\n"
        "[ $((0x$blk & 0x4002)) = 0 ] || exit 7  # SIGINT, SIGTERM not blocked\n"
        "[ $((0x$ign & 0x4002)) = 0 ] || exit 8  # nor ignored\n"
        "read -r stat < /proc/$$/stat; set -- $stat; [ \"$5\" = $$ ] || exit 9\n"
        "echo ENCODER NOISE\n"
        "cp \"$wav\" \"$mp3\"\n");
    const std::vector<std::string> base = {"export",           "--mp3", "--external-encoder", enc,
                                           "--encoder-params", "%1 %2", dir / "s0.wav",       "-o"};
    std::vector<std::string> args = base;
    args.push_back(dir / "a.mp3");
    CliResult r = run_cli(args, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("ENCODER NOISE"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("ENCODER NOISE"), std::string::npos);
    args = base;
    args.insert(args.begin() + 1, "--verbose");
    args.push_back(dir / "b.mp3");
    r = run_cli(args, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("ENCODER NOISE"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("ENCODER NOISE"), std::string::npos);
}

TEST_F(CliExport, CtrlCEndsAHungExternalEncoder) {
    const std::string pid_file = dir / "enc.pid";
    const std::string enc =
        write_script(dir / "enc", "echo $$ > '" + pid_file + "'\nexec sleep 60\n");
    CliResult r = run_cli({"export", "--mp3", "--external-encoder", enc, "--encoder-params",
                           "%1 %2", dir / "s0.wav", "-o", dir / "x.mp3"},
                          tmp, {}, pid_file);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(r.seconds, 30.0);
    EXPECT_NE(r.err.find("stopped"), std::string::npos) << r.err;
    EXPECT_FALSE(alive(pid_file));
    EXPECT_FALSE(std::filesystem::exists(dir / "x.mp3"));
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

// An encoder past its time limit that ignores SIGTERM is killed; that song fails and the rest
// are written as WAV.
TEST_F(CliExport, EncoderTimeoutFailsTheSong) {
    const std::string pid_file = dir / "enc.pid";
    const std::string enc = write_script(
        dir / "enc", "trap '' TERM\necho $$ > '" + pid_file + "'\nwhile :; do sleep 1; done\n");
    ::mkdir((dir / "out").c_str(), 0755);
    CliResult r =
        run_cli({"export", "--mp3", "-j1", "--encoder-timeout", "1", "--external-encoder", enc,
                 "--encoder-params", "%1 %2", dir / "s0.wav", dir / "s1.wav", "-d", dir / "out"},
                tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("s0.wav: the external encoder did not finish within 1 s"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("remaining songs are written as WAV"), std::string::npos) << r.err;
    EXPECT_FALSE(alive(pid_file));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_s0.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/mm_s1.wav"));
}

// A read error in the middle of a source fails that song with the system's word for it.
TEST_F(CliExport, ReadErrorFailsTheSong) {
    std::filesystem::copy_file(dir / "s3.wav", dir / "eio-source.wav");
    ::mkdir((dir / "out").c_str(), 0755);
    CliResult r =
        run_cli({"export", "--wav", dir / "eio-source.wav", dir / "s0.wav", "-d", dir / "out"}, tmp,
                {std::string("LD_PRELOAD=") + ZV_EIO_SHIM, "ZV_EIO_PATH=eio-source",
                 "ZV_EIO_AFTER=70000", "ASAN_OPTIONS=verify_asan_link_order=0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("eio-source.wav: cannot read it: Input/output error"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_eio-source.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/mm_s0.wav"));

    // The peak command reads the song itself: no level from half a song.
    r = run_cli({"peak", dir / "eio-source.wav"}, tmp,
                {std::string("LD_PRELOAD=") + ZV_EIO_SHIM, "ZV_EIO_PATH=eio-source",
                 "ZV_EIO_AFTER=70000", "ASAN_OPTIONS=verify_asan_link_order=0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("eio-source.wav: read error: Input/output error"), std::string::npos)
        << r.err;

    // The export's own peak pass reads the working copy: a failing temp disk fails the song
    // too, and the message names the temp folder, not the private file.
    std::filesystem::remove_all(dir / "out");
    ::mkdir((dir / "out").c_str(), 0755);
    r = run_cli({"export", "--wav", "--normalise", dir / "s3.wav", "-d", dir / "out"}, tmp,
                {std::string("LD_PRELOAD=") + ZV_EIO_SHIM, "ZV_EIO_PATH=$$temp_zel_",
                 "ZV_EIO_AFTER=70000", "ASAN_OPTIONS=verify_asan_link_order=0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("s3.wav: cannot read its working copy in the temporary folder " + tmp +
                         ": read error: Input/output error"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

// The chain's reader of the working copy, on a thread of its own and inline: a temp disk that
// fails in the middle of a song fails that song with the temp folder named and leaves nothing.
// A read error is no encoder failure: the next song is still written as MP3.
TEST_F(CliExport, WorkingCopyReadErrorInTheChainFailsTheSongInEveryStageLayout) {
    for (const char* layout : {"-q", "--inline-stages"}) {
        std::filesystem::remove_all(dir / "out");
        ::mkdir((dir / "out").c_str(), 0755);
        // s3's copy fails at its third block; s0's copy is shorter than that.
        CliResult r = run_cli({"export", "--mp3", layout, "--jobs", "1", dir / "s3.wav",
                               dir / "s0.wav", "-d", dir / "out"},
                              tmp,
                              {std::string("LD_PRELOAD=") + ZV_EIO_SHIM, "ZV_EIO_PATH=$$temp_zel_",
                               "ZV_EIO_AFTER=150000", "ASAN_OPTIONS=verify_asan_link_order=0"});
        EXPECT_EQ(r.status, 1) << layout;
        EXPECT_NE(r.err.find("s3.wav: cannot read its working copy in the temporary folder " + tmp +
                             ": read error: Input/output error"),
                  std::string::npos)
            << layout << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_s3.mp3")) << layout;
        EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_s3.wav")) << layout;
        EXPECT_TRUE(std::filesystem::exists(dir / "out/mm_s0.mp3")) << layout;
        EXPECT_TRUE(std::filesystem::is_empty(tmp)) << layout;
    }
}

// A full temp folder is named as such, never the private working file that did not fit.
TEST_F(CliExport, FullTempFolderIsNamed) {
    CliResult r = run_cli({"export", "--wav", dir / "s0.wav", "-o", dir / "out.wav"}, tmp,
                          {std::string("LD_PRELOAD=") + ZV_EIO_SHIM, "ZV_ENOSPC_PATH=$$temp_zel",
                           "ASAN_OPTIONS=verify_asan_link_order=0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("s0.wav: the temporary folder " + tmp + " is full"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("$$temp"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

// A disk that fills up half-way through the processed song: the stage that writes it fails
// the song with the temp folder named, every other stage stops, and nothing is left. The
// encoder's failure turns the rest of the run to WAV, as any encoder failure does. Both with
// the stages on threads of their own and inline.
TEST_F(CliExport, DiskFullHalfWayFailsTheSongInEveryStageLayout) {
    for (const char* layout : {"-q", "--inline-stages"}) {
        std::filesystem::remove_all(dir / "out");
        ::mkdir((dir / "out").c_str(), 0755);
        CliResult r =
            run_cli({"export", "--mp3", layout, "--jobs", "1", dir / "s0.wav", dir / "s1.wav", "-d",
                     dir / "out"},
                    tmp,
                    {std::string("LD_PRELOAD=") + ZV_EIO_SHIM, "ZV_ENOSPC_PATH=$$temp_zel_dst",
                     "ZV_ENOSPC_AFTER=5000", "ASAN_OPTIONS=verify_asan_link_order=0"});
        EXPECT_EQ(r.status, 1) << layout;
        EXPECT_NE(r.err.find("s0.wav: the temporary folder " + tmp + " is full (encoding)"),
                  std::string::npos)
            << layout << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_s0.mp3")) << layout;
        // The second song is written as WAV: its processed file fills the disk too.
        EXPECT_NE(r.err.find("s1.wav: the temporary folder " + tmp +
                             " is full (writing the processed song)"),
                  std::string::npos)
            << layout << ": " << r.err;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "out")) << layout;
        EXPECT_TRUE(std::filesystem::is_empty(tmp)) << layout;
    }
}

// Temporary names do not grow with the target's: a name of 250 bytes is written.
TEST_F(CliExport, LongTargetNamesWork) {
    const std::string name = std::string(246, 'n') + ".wav";
    CliResult r = run_cli({"export", "-q", "--wav", dir / "s0.wav", "-o", dir / name}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / name));
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
    // Settings apply in order: the file's own output format is overridden by --wav after it.
    CliRun r = cli("export --params '" + params + "' --wav -q --no-normalise -d '" + dir / "wild" +
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
