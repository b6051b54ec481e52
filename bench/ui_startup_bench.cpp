// Start of the process to the first paint of the window (target: under 300 ms). Starts the
// desktop program (its test build, which reports its progress: tests/app) on Qt's offscreen
// platform with a fresh program folder, reads its progress lines and takes the time from the spawn
// to the line that reports the first paint, then ends it with SIGTERM. Runs without the splash and
// with it (the About picture must not hold the start up); prints each run and the medians, with
// their ratios against the target.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double TARGET_MS = 300.0;

// Milliseconds from spawn to "first-paint", or a negative value when it never came.
double one_start(const std::string& folder, bool splash) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<std::string> args = {ZV_ZVMP3_PATH, "--folder", folder, "--test-events"};
    if (!splash) {
        args.emplace_back("--no-splash");
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const Clock::time_point begin = Clock::now();
    const int err = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    double ms = -1;
    std::string text;
    while (err == 0) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) {
            break;
        }
        char chunk[1024];
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        text.append(chunk, static_cast<size_t>(n));
        if (text.find("first-paint") != std::string::npos) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
            break;
        }
    }
    ::close(fds[0]);
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return ms;
}

// The median of seven starts, each printed; negative when a start never painted.
double series(const std::filesystem::path& base, bool splash) {
    const char* name = splash ? "with the splash" : "without the splash";
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        const std::string folder =
            (base / (std::to_string(splash) + "_" + std::to_string(i))).string();
        const double ms = one_start(folder, splash);
        if (ms < 0) {
            std::fprintf(stderr, "zvmp3 did not report its first paint (%s)\n", name);
            return -1;
        }
        std::printf("start %d %s: %.1f ms to the first paint\n", i + 1, name, ms);
        runs.push_back(ms);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

}  // namespace

int main() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("zv_startup_" + std::to_string(::getpid()));
    one_start((base / "warm").string(), false);  // the first start pays for cold caches
    const double plain = series(base, false);
    const double splash = series(base, true);
    std::filesystem::remove_all(base);
    if (plain < 0 || splash < 0) {
        return 1;
    }
    std::printf("median without the splash %.1f ms (target %.0f ms, ratio %.2f)\n", plain,
                TARGET_MS, plain / TARGET_MS);
    std::printf("median with the splash %.1f ms (target %.0f ms, ratio %.2f)\n", splash, TARGET_MS,
                splash / TARGET_MS);
    return 0;
}
