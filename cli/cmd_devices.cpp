// zvmp3-cli devices: the output and input lists as the sound-device dialog shows them.
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/fact_texts.h"
#include "playback/device_list.h"
#include "playback/library_messages.h"
#include "playback/portaudio_device.h"

namespace zv::cli {

int run_devices(int argc, char** argv) {
    const CliOutput out("devices");
    const ParsedArgs parsed = parse_args(argc, argv, {});
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        std::printf(
            "Usage: zvmp3-cli devices [--verbose]\n"
            "Lists the sound devices that play and ON AIR mode can use (at most eight of\n"
            "each kind, stereo only) as 'INDEX: NAME'. INDEX is what --device, --out and\n"
            "--in take. Devices are found through PortAudio (ALSA, JACK).\n"
            "\n"
            "  -v, --verbose  show the sound libraries' own messages\n"
            "  -h, --help     show this help\n"
            "\nExit status: 0 success, 1 the sound system could not be started, 2 usage "
            "error.\n");
        return EXIT_OK;
    }
    if (!parsed.args.empty()) {
        return out.usage(MSG_UNEXPECTED_ARGUMENT, parsed.args.front().value);
    }
    set_sound_library_messages(parsed.verbose);
    PortAudioSession session;
    if (!session.ok()) {
        out.error(MSG_NO_SOUND_SYSTEM, session.error_text());
        return EXIT_FAILED;
    }
    DeviceLists lists;
    DeviceSettings settings;
    enumerate_devices(lists, settings);
    std::printf("Output devices:\n");
    for (int i = 0; i < lists.outputs.count; ++i) {
        std::printf("  %s\n", device_combo_line(i, lists.outputs.devices[i]).c_str());
    }
    std::printf("Input devices:\n");
    for (int i = 0; i < lists.inputs.count; ++i) {
        std::printf("  %s\n", device_combo_line(i, lists.inputs.devices[i]).c_str());
    }
    for (const DeviceProblem problem : startup_device_problems(lists)) {
        std::fprintf(stderr, "%s\n", out.tr(device_problem_message(problem)).c_str());
    }
    return EXIT_OK;
}

}  // namespace zv::cli
