// zvmp3-cli play: plays songs as a playlist through the processor to a sound device.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/playback_session.h"
#include "playback/portaudio_device.h"

namespace zv::cli {
namespace {

constexpr char NAME[] = "zvmp3-cli play";

void print_help() {
    std::printf(
        "Usage: zvmp3-cli play [--preset ID | --params FILE] [--continuous] [--device N]\n"
        "                      [--buffers N] FILE...\n"
        "Plays WAV and MP3 songs (16-bit, 32/44.1/48 kHz, mono or stereo) through the processor\n"
        "to a sound device. The files form a playlist; the first one plays, and with\n"
        "--continuous every following song starts one second after the previous one ends.\n"
        "A status line on stderr shows the song, its time, the output peak meters and the\n"
        "device's underflow count. Ctrl-C stops after the queued blocks (a second Ctrl-C at\n"
        "once).\n"
        "\n"
        "  --preset ID      apply factory preset ID (default: the start-up preset)\n"
        "  --params FILE    load a parameter file (.zv3) first\n"
        "  --continuous     play the songs one after another\n"
        "  --device N       output device N of 'zvmp3-cli devices' (default 0)\n"
        "  --buffers N      blocks of 16384 bytes kept queued, 2..8 (default 4)\n"
        "  -h, --help       show this help\n"
        "\n"
        "Exit status: 0 the songs played (or were stopped), 1 nothing could be played,\n"
        "2 usage error.\n");
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry 'zvmp3-cli play --help'.\n", NAME, message.c_str());
    return EXIT_USAGE;
}

}  // namespace

int run_play(int argc, char** argv) {
    std::string params_path;
    long preset = 0;
    long device_index = 0;
    long buffers = 4;
    bool continuous = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string value;
        bool missing = false;
        if (arg == "-h" || arg == "--help") {
            print_help();
            return EXIT_OK;
        } else if (arg == "--continuous") {
            continuous = true;
        } else if (take_option(argc, argv, i, "--preset", value, missing)) {
            if (missing || !parse_int(value, 1, 99999, preset)) {
                return usage_error("--preset needs a preset id");
            }
        } else if (take_option(argc, argv, i, "--params", value, missing)) {
            if (missing) {
                return usage_error("--params needs a file");
            }
            params_path = value;
        } else if (take_option(argc, argv, i, "--device", value, missing)) {
            if (missing || !parse_int(value, 0, MAX_DEVICES - 1, device_index)) {
                return usage_error("--device needs a device index 0..7");
            }
        } else if (take_option(argc, argv, i, "--buffers", value, missing)) {
            if (missing || !parse_int(value, BUFFER_COUNT_MIN, BUFFER_COUNT_MAX, buffers)) {
                return usage_error("--buffers needs a number from 2 to 8");
            }
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                files.emplace_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option '" + std::string(arg) + "'");
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty()) {
        return usage_error("no song files given");
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
    auto playlist = std::make_unique<Playlist>();
    for (const std::string& file : files) {
        const AddResult r = add_song_file(*playlist, file, true);
        if (!was_added(r)) {
            std::fprintf(stderr, "%s: skipping '%s': %s\n", NAME, file.c_str(),
                         r == AddResult::list_full       ? "the playlist is full"
                         : r == AddResult::not_a_song    ? "not a .wav or .mp3 file"
                         : r == AddResult::path_too_long ? "path longer than 255 bytes"
                                                         : "unreadable or unsupported format");
        }
    }
    if (playlist->song_count == 0) {
        std::fprintf(stderr, "%s: no playable songs\n", NAME);
        return EXIT_FAILED;
    }
    playlist->continuous_playback = continuous ? 1 : 0;

    PortAudioSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "%s: cannot start the sound system: %s\n", NAME, session.error_text());
        return EXIT_FAILED;
    }
    PortAudioDevice device;
    CliHost host;
    auto engine = make_audio_engine(device, *processor, *playlist, host);
    engine->settings.buffer_count = static_cast<int32_t>(buffers);
    enumerate_devices(engine->lists, engine->settings);
    if (engine->lists.outputs.count == 0) {
        std::fprintf(stderr, "%s: %s\n", NAME, NO_OUTPUT_DEVICE_TEXT);
        return EXIT_FAILED;
    }
    if (device_index >= engine->lists.outputs.count) {
        std::fprintf(stderr, "%s: there is no output device %ld (see 'zvmp3-cli devices')\n", NAME,
                     device_index);
        return EXIT_FAILED;
    }
    engine->settings.out_device_index = static_cast<uint16_t>(device_index);
    enable_flush_denormals();
    const int stop_fd = install_stop_signals();

    start_playback(*engine);
    if (!engine_busy(*engine)) {
        std::fprintf(stderr, "%s: cannot play '%s'\n", NAME, playlist->entries[0].path);
        return EXIT_FAILED;
    }
    const LoopReport report = run_engine_loop(*engine, host, 0.0, stop_fd);
    const int played = playlist->current_index + 1;
    if (playlist->song_mark[playlist->current_index] == MARK_FAILED) {
        std::fprintf(stderr, "%s: '%s' could not be decoded\n", NAME,
                     playlist->entries[playlist->current_index].path);
    }
    std::fprintf(stderr, "%s: %s after song %d of %d, %llu underflows\n", NAME,
                 report.interrupted ? "stopped" : "finished", played, playlist->song_count,
                 static_cast<unsigned long long>(device.underflow_count()));
    return EXIT_OK;
}

}  // namespace zv::cli
