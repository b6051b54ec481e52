// zvmp3-cli onair: live input through the processor to the output (ON AIR mode).
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/playback_session.h"
#include "playback/portaudio_device.h"

namespace zv::cli {
namespace {

constexpr char NAME[] = "zvmp3-cli onair";

void print_help() {
    std::printf(
        "Usage: zvmp3-cli onair [--rate 32000|44100|48000] [--in N] [--out N] [--buffers N]\n"
        "                       [--seconds S] [--preset ID | --params FILE]\n"
        "Processes the sound device's input and plays it on the output (ON AIR mode) until\n"
        "Ctrl-C or for S seconds. The delay from input to output is about N blocks of 4096\n"
        "frames. A device that cannot run at the chosen rate runs at its own (a JACK server's\n"
        "rate, for example) when that is one of the three.\n"
        "\n"
        "  --rate R         sampling rate, 32000, 44100 (default) or 48000\n"
        "  --in N           input device N of 'zvmp3-cli devices' (default 0)\n"
        "  --out N          output device N (default 0)\n"
        "  --buffers N      blocks of 16384 bytes, 2..8 (default 4)\n"
        "  --seconds S      stop after S seconds (default: run until Ctrl-C)\n"
        "  --preset ID      apply factory preset ID\n"
        "  --params FILE    load a parameter file (.zv3) first\n"
        "  -h, --help       show this help\n"
        "\n"
        "Exit status: 0 ran and stopped, 1 the devices could not be opened, 2 usage error.\n");
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry 'zvmp3-cli onair --help'.\n", NAME, message.c_str());
    return EXIT_USAGE;
}

}  // namespace

int run_onair(int argc, char** argv) {
    std::string params_path;
    long preset = 0;
    long rate = 44100;
    long in_index = 0;
    long out_index = 0;
    long buffers = 4;
    long seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string value;
        bool missing = false;
        if (arg == "-h" || arg == "--help") {
            print_help();
            return EXIT_OK;
        } else if (take_option(argc, argv, i, "--rate", value, missing)) {
            if (missing || !parse_int(value, 32000, 48000, rate) ||
                (rate != 32000 && rate != 44100 && rate != 48000)) {
                return usage_error("--rate takes 32000, 44100 or 48000");
            }
        } else if (take_option(argc, argv, i, "--in", value, missing)) {
            if (missing || !parse_int(value, 0, MAX_DEVICES - 1, in_index)) {
                return usage_error("--in needs a device index 0..7");
            }
        } else if (take_option(argc, argv, i, "--out", value, missing)) {
            if (missing || !parse_int(value, 0, MAX_DEVICES - 1, out_index)) {
                return usage_error("--out needs a device index 0..7");
            }
        } else if (take_option(argc, argv, i, "--buffers", value, missing)) {
            if (missing || !parse_int(value, BUFFER_COUNT_MIN, BUFFER_COUNT_MAX, buffers)) {
                return usage_error("--buffers needs a number from 2 to 8");
            }
        } else if (take_option(argc, argv, i, "--seconds", value, missing)) {
            if (missing || !parse_int(value, 1, 100000000, seconds)) {
                return usage_error("--seconds needs a whole number of seconds, 1 or more");
            }
        } else if (take_option(argc, argv, i, "--preset", value, missing)) {
            if (missing || !parse_int(value, 1, 99999, preset)) {
                return usage_error("--preset needs a preset id");
            }
        } else if (take_option(argc, argv, i, "--params", value, missing)) {
            if (missing) {
                return usage_error("--params needs a file");
            }
            params_path = value;
        } else {
            return usage_error("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (preset != 0 && !params_path.empty()) {
        return usage_error("--preset and --params exclude each other");
    }

    auto processor = make_processor();
    DeviceSettings settings;
    std::string error;
    if (!setup_processor(*processor, settings, params_path, static_cast<int>(preset), error)) {
        std::fprintf(stderr, "%s: %s\n", NAME, error.c_str());
        return EXIT_FAILED;
    }
    PortAudioSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "%s: cannot start the sound system: %s\n", NAME, session.error_text());
        return EXIT_FAILED;
    }
    auto playlist = std::make_unique<Playlist>();
    PortAudioDevice device;
    CliHost host;
    auto engine = make_audio_engine(device, *processor, *playlist, host);
    engine->settings.buffer_count = static_cast<int32_t>(buffers);
    engine->settings.onair_rate_choice = rate == 32000   ? ONAIR_RATE_32000
                                         : rate == 44100 ? ONAIR_RATE_44100
                                                         : ONAIR_RATE_48000;
    enumerate_devices(engine->lists, engine->settings);
    if (engine->lists.outputs.count == 0 || engine->lists.inputs.count == 0) {
        std::fprintf(
            stderr, "%s: %s\n", NAME,
            engine->lists.outputs.count == 0 ? NO_OUTPUT_DEVICE_TEXT : NO_INPUT_DEVICE_TEXT);
        return EXIT_FAILED;
    }
    if (out_index >= engine->lists.outputs.count || in_index >= engine->lists.inputs.count) {
        std::fprintf(stderr, "%s: there is no %s device %ld (see 'zvmp3-cli devices')\n", NAME,
                     out_index >= engine->lists.outputs.count ? "output" : "input",
                     out_index >= engine->lists.outputs.count ? out_index : in_index);
        return EXIT_FAILED;
    }
    engine->settings.out_device_index = static_cast<uint16_t>(out_index);
    engine->settings.in_device_index = static_cast<uint16_t>(in_index);
    enable_flush_denormals();
    const int stop_fd = install_stop_signals();

    toggle_onair_mode(*engine);
    start_playback(*engine);
    if (!engine_busy(*engine)) {
        std::fprintf(stderr, "%s: the sound devices could not be opened for ON AIR mode\n", NAME);
        return EXIT_FAILED;
    }
    if (engine->sample_rate != rate) {
        std::fprintf(stderr, "%s: the device runs at %d Hz; ON AIR mode uses that rate\n", NAME,
                     engine->sample_rate);
    }
    const LoopReport report = run_engine_loop(*engine, host, static_cast<double>(seconds), stop_fd);
    std::fprintf(stderr, "%s: stopped after %.1f s, %llu underflows, %llu overflows\n", NAME,
                 report.seconds, static_cast<unsigned long long>(device.underflow_count()),
                 static_cast<unsigned long long>(device.overflow_count()));
    return EXIT_OK;
}

}  // namespace zv::cli
