// The subcommands of zvmp3-cli. Each takes the arguments after its own name and returns the
// exit status: 0 success, 1 the work failed, 2 a usage error.
#pragma once

namespace zv::cli {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);  // argv[0] is the subcommand's name
};

int run_presets(int argc, char** argv);
int run_peak(int argc, char** argv);
int run_loudness(int argc, char** argv);
int run_export(int argc, char** argv);
int run_probe(int argc, char** argv);
int run_params(int argc, char** argv);
int run_playlist(int argc, char** argv);
int run_devices(int argc, char** argv);
int run_play(int argc, char** argv);
int run_onair(int argc, char** argv);
int run_stream(int argc, char** argv);

}  // namespace zv::cli
