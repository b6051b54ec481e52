// The program as a user starts it: zvmp3 under Xvfb with a private JACK server. One test plays
// a song for two seconds and ends with SIGTERM; one drops two songs on the window, plays them
// with continuous play on, exports one song and then the list to MP3 through the dialogs and
// quits (the exported files equal zvmp3-cli's from the state file the program saved, byte for
// byte); one ends the program with SIGTERM in the middle of an export.
// The program runs as its test build (zvmp3-test, tests/app: the same run as zvmp3's), which
// reports what it does on stderr when given --test-events and takes the user's actions from
// the test through its --test-control FIFO.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/integration/jack_server.h"
#include "tests/support/file_bytes.h"
#include "tests/support/tools.h"
#include "tests/ui/ui_test_support.h"

extern char** environ;

namespace zv::test {
namespace {

using Clock = std::chrono::steady_clock;

// A child process whose stderr the test reads line by line.
class Program {
public:
    explicit Program(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        std::vector<std::string> copy = args;
        for (std::string& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        fd_ = fds[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool started() const { return pid_ > 0; }

    // Reads until a line containing `text` has arrived (perhaps already); false after
    // `seconds`.
    bool wait_for(const std::string& text, double seconds) {
        if (log_.find(text) != std::string::npos) {
            return true;
        }
        const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(seconds));
        for (;;) {
            size_t pos = 0;
            while ((pos = buffer_.find('\n')) != std::string::npos) {
                const std::string line = buffer_.substr(0, pos);
                buffer_.erase(0, pos + 1);
                log_ += line + "\n";
                if (line.find(text) != std::string::npos) {
                    return true;
                }
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) {
                return false;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
                continue;
            }
            char chunk[4096];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) {
                return false;  // the program has gone
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    // Waits for the process to end; its exit status, or -1.
    int wait_exit(double seconds) {
        const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(seconds));
        while (Clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            wait_for("\x01", 0.05);  // keep reading what it says meanwhile
        }
        return -1;
    }
    const std::string& log() const { return log_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string buffer_;
    std::string log_;
};

// The write end of the program's control FIFO.
class Control {
public:
    explicit Control(const std::filesystem::path& path) : path_(path) {
        ::mkfifo(path.c_str(), 0600);
    }
    ~Control() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    // Sends one line (the program has the FIFO open once it reported its first paint).
    bool send(const std::string& line) {
        if (fd_ < 0) {
            fd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        }
        const std::string text = line + "\n";
        return fd_ >= 0 &&
               ::write(fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

// The pid the program reports in its first line.
pid_t reported_pid(const std::string& log) {
    const size_t at = log.find("pid ");
    return at == std::string::npos ? -1 : static_cast<pid_t>(std::stol(log.substr(at + 4)));
}

TEST(WindowEndToEnd, PlaysUnderXvfbAndQuitsCleanlyOnSigterm) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xvfb-run is not installed";
    }
    JackServer server(44100);
    if (!server.ok()) {
        GTEST_SKIP() << "no JACK server: " << server.why_not();
    }
    ScratchDir dir;
    const auto folder = dir.path() / "program";
    std::filesystem::create_directories(folder / "tempwav");
    std::ofstream(folder / "tempwav" / "left-over.wav") << "x";
    write_tone_wav(dir.path() / "song.wav", 44100, 2, 6.0);

    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    Program zvmp3({"xvfb-run", "-a", "-s", "-screen 0 1024x768x24", ZV_ZVMP3_PATH, "--folder",
                   folder.string(), "--no-splash", "--test-events", "--test-autoplay",
                   (dir.path() / "song.wav").string()});
    ASSERT_TRUE(zvmp3.started());
    ASSERT_TRUE(zvmp3.wait_for("zvmp3-test: folder", 30)) << zvmp3.log();
    const pid_t pid = reported_pid(zvmp3.log());
    ASSERT_GT(pid, 0) << zvmp3.log();
    ASSERT_TRUE(zvmp3.wait_for("window ZelvonicMP3 V3.04 | 745", 30)) << zvmp3.log();
    ASSERT_TRUE(zvmp3.wait_for("zvmp3-test: playing", 10)) << zvmp3.log();
    // Two seconds of the song, as the time display shows them.
    ASSERT_TRUE(zvmp3.wait_for("time 00:02", 10)) << zvmp3.log();

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_TRUE(zvmp3.wait_for("state saved", 15)) << zvmp3.log();
    EXPECT_EQ(zvmp3.wait_exit(15), 0) << zvmp3.log();
    EXPECT_EQ(std::filesystem::file_size(folder / "zvmp3.prf"), 1899u);
    EXPECT_FALSE(std::filesystem::exists(folder / "tempwav" / "left-over.wav"));
}

TEST(WindowEndToEnd, DropsPlaysTwoSongsOnAndQuits) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xvfb-run is not installed";
    }
    JackServer server(44100);
    if (!server.ok()) {
        GTEST_SKIP() << "no JACK server: " << server.why_not();
    }
    ScratchDir dir;
    const auto folder = dir.path() / "program";
    const auto songs = dir.path() / "songs";
    std::filesystem::create_directories(songs);
    write_tone_wav(songs / "a.wav", 44100, 2, 1.5, 440.0);
    write_tone_wav(songs / "b.wav", 44100, 1, 1.5, 660.0);
    Control control(dir.path() / "control");

    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    Program zvmp3({"xvfb-run", "-a", "-s", "-screen 0 1024x768x24", ZV_ZVMP3_PATH, "--folder",
                   folder.string(), "--test-events", "--test-control", control.path().string()});
    ASSERT_TRUE(zvmp3.started());
    ASSERT_TRUE(zvmp3.wait_for("first-paint", 30)) << zvmp3.log();

    // Two songs dropped on the window; CONT. PLAY pressed on the panel; Space in the list.
    ASSERT_TRUE(
        control.send("drop " + (songs / "a.wav").string() + "\t" + (songs / "b.wav").string()));
    ASSERT_TRUE(zvmp3.wait_for("control done: drop", 10)) << zvmp3.log();
    ASSERT_TRUE(control.send("panel 576 132"));
    ASSERT_TRUE(zvmp3.wait_for("control done: panel", 10)) << zvmp3.log();
    ASSERT_TRUE(control.send("key Space"));
    ASSERT_TRUE(zvmp3.wait_for("time 00:01 state 1 row 0", 10)) << zvmp3.log();
    // The first song ends and, a second later, the second one plays on.
    ASSERT_TRUE(zvmp3.wait_for("time 00:01 state 1 row 1", 10)) << zvmp3.log();
    ASSERT_TRUE(zvmp3.wait_for("state 0 row 1", 10)) << zvmp3.log();

    // Export Song of the selected (second) song to MP3 at 160 kbit/s: the option dialog, the
    // save dialog and the confirmation answered; the progress dialog runs the job.
    const auto out = dir.path() / "out";
    std::filesystem::create_directories(out);
    for (const std::string& line : std::vector<std::string>{
             "answer export mp3 160", "answer file " + (out / "song.mp3").string(), "answer ok",
             "menu 323"}) {
        ASSERT_TRUE(control.send(line));
    }
    ASSERT_TRUE(zvmp3.wait_for("control done: menu 323", 30)) << zvmp3.log();
    EXPECT_NE(zvmp3.log().find("dialog zv::ExportProgressDialog ended 1"), std::string::npos)
        << zvmp3.log();
    // Export All of the list into the folder, the same way.
    for (const std::string& line :
         {std::string("answer export mp3 160"), "answer file " + out.string(),
          std::string("answer ok"), std::string("menu 324")}) {
        ASSERT_TRUE(control.send(line));
    }
    ASSERT_TRUE(zvmp3.wait_for("control done: menu 324", 30)) << zvmp3.log();

    ASSERT_TRUE(control.send("quit"));
    EXPECT_TRUE(zvmp3.wait_for("state saved", 15)) << zvmp3.log();
    EXPECT_EQ(zvmp3.wait_exit(15), 0) << zvmp3.log();
    EXPECT_EQ(std::filesystem::file_size(folder / "zvmp3.prf"), 1899u);

    // The INI file remembers the export's file and folder.
    const std::vector<uint8_t> ini = read_bytes(folder / "zelmp3.ini");
    const std::string ini_text(ini.begin(), ini.end());
    EXPECT_NE(ini_text.find("SoundFileExportDir=" + (out / "song.mp3").string()), std::string::npos)
        << ini_text;
    EXPECT_NE(ini_text.find("SelectFolderPath=" + out.string()), std::string::npos) << ini_text;

    // The state file holds the options chosen in the export dialogs.
    const auto shown = dir.path() / "state.txt";
    ASSERT_TRUE(run_to_file(std::string(ZV_CLI_PATH) + " params --show --state " +
                                shell_quote((folder / "zvmp3.prf").string()),
                            shown.string()));
    const std::vector<uint8_t> fields = read_bytes(shown);
    const std::string fields_text(fields.begin(), fields.end());
    for (const char* line :
         {"output_mp3 = 1\n", "mp3_bitrate_kbps = 160\n", "name_affix = mm_\n"}) {
        EXPECT_NE(fields_text.find(line), std::string::npos) << line << fields_text;
    }

    // The command-line program with the state file the window saved writes the same bytes.
    const auto cli = dir.path() / "cli";
    std::filesystem::create_directories(cli);
    const std::string state = shell_quote((folder / "zvmp3.prf").string());
    ASSERT_TRUE(run(std::string(ZV_CLI_PATH) + " export -q --state " + state + " " +
                    shell_quote((songs / "b.wav").string()) + " -o " +
                    shell_quote((cli / "song.mp3").string())));
    ASSERT_TRUE(run(std::string(ZV_CLI_PATH) + " export -q --state " + state + " " +
                    shell_quote((songs / "a.wav").string()) + " " +
                    shell_quote((songs / "b.wav").string()) + " -d " + shell_quote(cli.string())));
    for (const char* name : {"song.mp3", "mm_a.mp3", "mm_b.mp3"}) {
        const std::vector<uint8_t> window_bytes = read_bytes(out / name);
        EXPECT_GT(window_bytes.size(), 10000u) << name;  // 1.5 s at 160 kbit/s
        EXPECT_TRUE(window_bytes == read_bytes(cli / name)) << name;
    }
}

// SIGTERM while a song is being exported: the song is stopped, nothing half-written is left
// in the target folder or the temp folder, and the program saves its state and ends cleanly.
TEST(WindowEndToEnd, SigtermDuringAnExportStopsItAndQuits) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xvfb-run is not installed";
    }
    JackServer server(44100);
    if (!server.ok()) {
        GTEST_SKIP() << "no JACK server: " << server.why_not();
    }
    ScratchDir dir;
    const auto folder = dir.path() / "program";
    const auto out = dir.path() / "out";
    const auto tmp = dir.path() / "tmp";
    std::filesystem::create_directories(out);
    std::filesystem::create_directories(tmp);
    write_tone_wav(dir.path() / "long.wav", 44100, 2, 120.0);
    Control control(dir.path() / "control");

    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    Program zvmp3({"env", "TMPDIR=" + tmp.string(), "xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
                   ZV_ZVMP3_PATH, "--folder", folder.string(), "--no-splash", "--test-events",
                   "--test-control", control.path().string()});
    ASSERT_TRUE(zvmp3.started());
    ASSERT_TRUE(zvmp3.wait_for("first-paint", 30)) << zvmp3.log();
    const pid_t pid = reported_pid(zvmp3.log());
    ASSERT_GT(pid, 0) << zvmp3.log();
    for (const std::string& line : std::vector<std::string>{
             "drop " + (dir.path() / "long.wav").string(), "answer export mp3 320",
             "answer file " + out.string(), "answer ok", "menu 324"}) {
        ASSERT_TRUE(control.send(line));
    }
    ASSERT_TRUE(zvmp3.wait_for("dialog zv::ExportProgressDialog runs", 30)) << zvmp3.log();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_TRUE(zvmp3.wait_for("dialog zv::ExportProgressDialog ended 0", 30)) << zvmp3.log();
    EXPECT_TRUE(zvmp3.wait_for("state saved", 15)) << zvmp3.log();
    EXPECT_EQ(zvmp3.wait_exit(15), 0) << zvmp3.log();
    for (const auto& e : std::filesystem::directory_iterator(out)) {
        ADD_FAILURE() << "left in the target folder: " << e.path() << ", "
                      << std::filesystem::file_size(e.path()) << " bytes";
    }
    for (const auto& e : std::filesystem::directory_iterator(tmp)) {
        EXPECT_NE(e.path().filename().string().rfind("zvmp3-", 0), 0u) << e.path();
    }
}

}  // namespace
}  // namespace zv::test
