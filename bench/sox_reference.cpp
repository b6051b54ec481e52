#include "bench/sox_reference.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

namespace zv::bench {

std::vector<std::string> sox_reference_effects() {
    // One band's compander: attack and decay in seconds, then the transfer function in dB.
    const std::string band = "0.005,0.1 -47,-40,-34,-34,-17,-33";
    return {"highpass", "10",
            // slow, in the AGC's place
            "compand", "0.3,1", "6:-70,-60,-20", "-5", "-90", "0.2",
            // six bands, split at the chain's band edges
            "mcompand", band, "150", band, "425", band, "1100", band, "2400", band, "5900", band,
            // fast, in the clippers' place
            "compand", "0.001,0.05", "-6,-6,0,-3", "0", "-90", "0.002",
            //
            "lowpass", "15000", "dither"};
}

ProgramRun run_program_timed(const std::vector<std::string>& args) {
    ProgramRun run;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return run;
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

ProgramRun run_sox_reference(const std::string& in_wav, const std::string& out_wav) {
    // -R: the same dither every run; -V1: errors only.
    std::vector<std::string> args = {"sox", "-R", "-q", "-V1", in_wav, out_wav};
    for (const std::string& e : sox_reference_effects()) {
        args.push_back(e);
    }
    return run_program_timed(args);
}

bool write_stereo_wav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
    uint8_t header[44] = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                          ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0,   0,   0,   0,   0,   0,
                          0,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
    auto put32 = [&header](int at, uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            header[at + k] = static_cast<uint8_t>(v >> (8 * k));
        }
    };
    put32(4, 36 + data_bytes);
    put32(24, static_cast<uint32_t>(rate));
    put32(28, static_cast<uint32_t>(rate) * 4);
    put32(40, data_bytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header &&
              std::fwrite(samples.data(), sizeof(int16_t), samples.size(), f) == samples.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace zv::bench
