// The program as a user starts it: zvmp3 under Xvfb with a private JACK server, one song
// played for two seconds, then SIGTERM. The program reports what it does on stderr when given
// its hidden --test-events option.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/integration/jack_server.h"
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

}  // namespace
}  // namespace zv::test
