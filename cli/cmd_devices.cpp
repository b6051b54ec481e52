// zvmp3-cli devices: the output and input lists as the sound-device dialog shows them.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "playback/device_list.h"
#include "playback/portaudio_device.h"

namespace zv::cli {

int run_devices(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: zvmp3-cli devices\n"
                "Lists the sound devices that play and ON AIR mode can use (at most eight of\n"
                "each kind, stereo only) as 'INDEX: NAME'. INDEX is what --device, --out and\n"
                "--in take. Devices are found through PortAudio (ALSA, JACK).\n"
                "\nExit status: 0 success, 1 the sound system could not be started, 2 usage "
                "error.\n");
            return EXIT_OK;
        }
        std::fprintf(stderr, "zvmp3-cli devices: unexpected argument '%s'\n", argv[i]);
        return EXIT_USAGE;
    }
    PortAudioSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "zvmp3-cli devices: cannot start the sound system: %s\n",
                     session.error_text());
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
    for (const std::string& text : startup_device_warnings(lists)) {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    return EXIT_OK;
}

}  // namespace zv::cli
