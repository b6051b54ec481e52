// zvmp3-cli: the headless front end of ZelvonicMP3.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "zv_version.h"

namespace zv::cli {
namespace {

const Command COMMANDS[] = {
    {"presets", "list the eleven factory presets", run_presets},
    {"peak", "measure songs' peak levels and the normalisation gain", run_peak},
    {"loudness", "measure songs' loudness (EBU R128 LUFS, range, true peak)", run_loudness},
    {"export", "write processed WAV or MP3 files from songs", run_export},
    {"probe", "show how WAV/MP3 files enter the playlist, or why not", run_probe},
    {"params", "load, set, save and show state or parameter file values", run_params},
    {"playlist", "show a playlist file's songs, or make one from songs and folders", run_playlist},
    {"devices", "list the sound devices that play and onair can use", run_devices},
    {"play", "play songs through the processor to a sound device", run_play},
    {"onair", "process live input to the output (ON AIR mode)", run_onair},
    {"stream", "process 16-bit PCM from standard input to standard output", run_stream},
};

void print_usage(FILE* out) {
    std::fprintf(out,
                 "Usage: zvmp3-cli COMMAND [OPTIONS] [ARGS]\n"
                 "ZelvonicMP3 sound processor, headless front end.\n\nCommands:\n");
    for (const Command& c : COMMANDS) {
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    }
    std::fprintf(out,
                 "\nEvery command takes -h/--help and -v/--verbose. Run 'zvmp3-cli COMMAND\n"
                 "--help' for a command's options. 'zvmp3-cli --version' shows the version.\n"
                 "Messages are in Japanese when the locale (LC_ALL, LC_MESSAGES, LANG) is.\n"
                 "Exit status: 0 success, 1 the work failed, 2 usage error.\n");
}

}  // namespace
}  // namespace zv::cli

int main(int argc, char** argv) {
    using namespace zv::cli;
    if (argc < 2) {
        print_usage(stderr);
        return EXIT_USAGE;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        print_usage(stdout);
        return EXIT_OK;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("zvmp3-cli (ZelvonicMP3) %s\n", ZV_VERSION_TEXT);
        return EXIT_OK;
    }
    for (const Command& c : COMMANDS) {
        if (std::strcmp(argv[1], c.name) == 0) {
            return c.run(argc - 1, argv + 1);
        }
    }
    return CliOutput("").usage(MSG_UNKNOWN_COMMAND, argv[1]);
}
