// zvmp3-cli onair: live input through the processor to the output (ON AIR mode).
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/playback_session.h"
#include "cli/settings_steps.h"
#include "cli/stop_signals.h"
#include "playback/library_messages.h"
#include "playback/portaudio_device.h"

namespace zv::cli {
namespace {

void print_help() {
    std::printf(
        "Usage: zvmp3-cli onair [SETTINGS]... [--rate 32000|44100|48000] [--in N] [--out N]\n"
        "                       [--buffers N | --low-latency] [--seconds S]\n"
        "Processes the sound device's input and plays it on the output (ON AIR mode) until\n"
        "Ctrl-C or for S seconds. The delay from input to output is about N blocks of 4096\n"
        "frames; with --low-latency the chain runs in the device's own callback at its period\n"
        "and the delay is the chain's own (about 22 ms) plus one or two periods. A device that\n"
        "cannot run at the chosen rate runs at its own (a JACK server's rate, for example) when\n"
        "that is one of the three.\n"
        "\n"
        "%s"
        "\n"
        "      --rate R         sampling rate, 32000, 44100 (default) or 48000\n"
        "      --in N           input device N of 'zvmp3-cli devices' (default 0)\n"
        "      --out N          output device N (default 0)\n"
        "      --buffers N      blocks of 16384 bytes, 2..8 (default 4)\n"
        "      --low-latency    run the chain in the device's callback, period by period\n"
        "                       (input and output on the same sound system)\n"
        "      --seconds S      stop after S seconds (default: run until Ctrl-C)\n"
        "  -v, --verbose        show the sound libraries' own messages\n"
        "  -h, --help           show this help\n"
        "\n"
        "Exit status: 0 ran and stopped, 1 the devices could not be opened, 2 usage error.\n",
        SETTINGS_OPTIONS_HELP);
}

constexpr int OPT_RATE = 1;
constexpr int OPT_IN = 2;
constexpr int OPT_OUT = 3;
constexpr int OPT_BUFFERS = 4;
constexpr int OPT_SECONDS = 5;
constexpr int OPT_LOW_LATENCY = 6;
constexpr OptionRow OPTIONS[] = {
    {OPT_RATE, "--rate", 0, ArgKind::Value},
    {OPT_IN, "--in", 0, ArgKind::Value},
    {OPT_OUT, "--out", 0, ArgKind::Value},
    {OPT_BUFFERS, "--buffers", 0, ArgKind::Value},
    {OPT_SECONDS, "--seconds", 0, ArgKind::Value},
    {OPT_LOW_LATENCY, "--low-latency", 0, ArgKind::Flag},
};

}  // namespace

int run_onair(int argc, char** argv) {
    const CliOutput out("onair");
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS, SETTINGS_OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        print_help();
        return EXIT_OK;
    }
    SettingsSteps steps;
    long rate = 44100;
    long in_index = 0;
    long out_index = 0;
    long buffers = 4;
    long seconds = 0;
    bool low_latency = false;
    for (const ParsedArg& a : parsed.args) {
        if (const int taken = steps.take(a, out); taken >= 0) {
            if (taken != EXIT_OK) {
                return taken;
            }
        } else if (a.id == OPT_RATE) {
            if (!parse_int(a.value, 32000, 48000, rate) ||
                (rate != 32000 && rate != 44100 && rate != 48000)) {
                return out.usage(MSG_RATE_CHOICES);
            }
        } else if (a.id == OPT_IN || a.id == OPT_OUT) {
            if (!parse_int(a.value, 0, MAX_DEVICES - 1, a.id == OPT_IN ? in_index : out_index)) {
                return out.usage(MSG_DEVICE_INDEX, a.name);
            }
        } else if (a.id == OPT_BUFFERS) {
            if (!parse_int(a.value, BUFFER_COUNT_MIN, BUFFER_COUNT_MAX, buffers)) {
                return out.usage(MSG_BUFFERS_RANGE);
            }
        } else if (a.id == OPT_LOW_LATENCY) {
            low_latency = true;
        } else if (a.id == OPT_SECONDS) {
            if (!parse_int(a.value, 1, 100000000, seconds)) {
                return out.usage(MSG_SECONDS_RANGE, a.name);
            }
        } else {
            return out.usage(MSG_UNEXPECTED_ARGUMENT, a.value);
        }
    }

    OwnedProgramState owned;
    processor_startup(*owned.processor);
    ProgramState state = owned.view();
    if (const int status = steps.apply(state, out); status != EXIT_OK) {
        return status;
    }
    set_sound_library_messages(parsed.verbose);
    // Before the sound library starts its threads, which inherit the signal mask.
    StopSignals signals;
    PortAudioSession session;
    if (!session.ok()) {
        out.error(MSG_NO_SOUND_SYSTEM, session.error_text());
        return EXIT_FAILED;
    }
    auto playlist = std::make_unique<Playlist>();
    PortAudioDevice device;
    CliHost host;
    auto engine = make_audio_engine(device, *owned.processor, *playlist, host);
    engine->settings.buffer_count = static_cast<int32_t>(buffers);
    engine->settings.low_latency = low_latency ? 1 : 0;
    engine->settings.onair_rate_choice = rate == 32000   ? ONAIR_RATE_32000
                                         : rate == 44100 ? ONAIR_RATE_44100
                                                         : ONAIR_RATE_48000;
    enumerate_devices(engine->lists, engine->settings);
    if (engine->lists.outputs.count == 0 || engine->lists.inputs.count == 0) {
        out.error(engine->lists.outputs.count == 0 ? NO_OUTPUT_DEVICE_TEXT : NO_INPUT_DEVICE_TEXT);
        return EXIT_FAILED;
    }
    if (out_index >= engine->lists.outputs.count || in_index >= engine->lists.inputs.count) {
        const bool output = out_index >= engine->lists.outputs.count;
        out.error(MSG_NO_SUCH_DEVICE, out.tr(output ? MSG_OUTPUT : MSG_INPUT),
                  std::to_string(output ? out_index : in_index));
        return EXIT_FAILED;
    }
    engine->settings.out_device_index = static_cast<uint16_t>(out_index);
    engine->settings.in_device_index = static_cast<uint16_t>(in_index);
    enable_flush_denormals();

    toggle_onair_mode(*engine);
    start_playback(*engine);
    if (!engine_busy(*engine)) {
        out.error(MSG_ONAIR_NOT_OPENED);
        return EXIT_FAILED;
    }
    if (engine->sample_rate != rate) {
        out.error(MSG_DEVICE_RATE, std::to_string(engine->sample_rate));
    }
    const LoopReport report = run_engine_loop(*engine, host, static_cast<double>(seconds), signals);
    char secs[32];
    std::snprintf(secs, sizeof secs, "%.1f", report.seconds);
    if (low_latency) {
        out.error(MSG_ONAIR_LIVE_STOPPED, secs, std::to_string(engine->live->period_frames()),
                  std::to_string(engine->live->xruns()));
    } else {
        out.error(MSG_ONAIR_STOPPED, secs, std::to_string(device.underflow_count()),
                  std::to_string(device.overflow_count()));
    }
    return EXIT_OK;
}

}  // namespace zv::cli
