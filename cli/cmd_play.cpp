// zvmp3-cli play: plays songs as a playlist through the processor to a sound device.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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
        "Usage: zvmp3-cli play [SETTINGS]... [--continuous] [--device N] [--buffers N] FILE...\n"
        "Plays songs (WAV and MP3 of 16 bits at 32/44.1/48 kHz; FLAC, Ogg Vorbis, Opus and\n"
        "WAV of other depths at 8 to 192 kHz, resampled to 44.1 or 48 kHz; mono or stereo)\n"
        "through the processor to a sound device. The files form a playlist; the first one plays, "
        "and with\n"
        "--continuous every following song starts one second after the previous one ends.\n"
        "A status line on stderr shows the song, its time, the output peak meters and the\n"
        "device's underflow count. Ctrl-C stops after the queued blocks (a second Ctrl-C at\n"
        "once).\n"
        "\n"
        "%s"
        "\n"
        "      --continuous     play the songs one after another\n"
        "      --device N       output device N of 'zvmp3-cli devices' (default 0)\n"
        "      --buffers N      blocks of 16384 bytes kept queued, 2..8 (default 4)\n"
        "  -v, --verbose        show the sound libraries' own messages\n"
        "  -h, --help           show this help\n"
        "\n"
        "Exit status: 0 the songs played (or were stopped), 1 nothing could be played,\n"
        "2 usage error.\n",
        SETTINGS_OPTIONS_HELP);
}

constexpr int OPT_CONTINUOUS = 1;
constexpr int OPT_DEVICE = 2;
constexpr int OPT_BUFFERS = 3;
constexpr OptionRow OPTIONS[] = {
    {OPT_CONTINUOUS, "--continuous", 0, ArgKind::Flag},
    {OPT_DEVICE, "--device", 0, ArgKind::Value},
    {OPT_BUFFERS, "--buffers", 0, ArgKind::Value},
};

}  // namespace

int run_play(int argc, char** argv) {
    const CliOutput out("play");
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS, SETTINGS_OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        print_help();
        return EXIT_OK;
    }
    SettingsSteps steps;
    long device_index = 0;
    long buffers = 4;
    bool continuous = false;
    std::vector<std::string> files;
    for (const ParsedArg& a : parsed.args) {
        if (const int taken = steps.take(a, out); taken >= 0) {
            if (taken != EXIT_OK) {
                return taken;
            }
        } else if (a.id == OPT_CONTINUOUS) {
            continuous = true;
        } else if (a.id == OPT_DEVICE) {
            if (!parse_int(a.value, 0, MAX_DEVICES - 1, device_index)) {
                return out.usage(MSG_DEVICE_INDEX, a.name);
            }
        } else if (a.id == OPT_BUFFERS) {
            if (!parse_int(a.value, BUFFER_COUNT_MIN, BUFFER_COUNT_MAX, buffers)) {
                return out.usage(MSG_BUFFERS_RANGE);
            }
        } else {
            files.push_back(a.value);
        }
    }
    if (files.empty()) {
        return out.usage(MSG_NO_FILE_GIVEN);
    }

    OwnedProgramState owned;
    processor_startup(*owned.processor);
    ProgramState state = owned.view();
    if (const int status = steps.apply(state, out); status != EXIT_OK) {
        return status;
    }
    auto playlist = std::make_unique<Playlist>();
    for (const std::string& file : files) {
        const AddResult r = add_song_file(*playlist, file, true);
        if (!was_added(r)) {
            out.error(MSG_SKIPPING, file, out.tr(add_refusal_message(r)));
        }
    }
    if (playlist->song_count == 0) {
        out.error(MSG_NO_PLAYABLE_SONGS);
        return EXIT_FAILED;
    }
    playlist->continuous_playback = continuous ? 1 : 0;

    set_sound_library_messages(parsed.verbose);
    // Before the sound library starts its threads, which inherit the signal mask.
    StopSignals signals;
    PortAudioSession session;
    if (!session.ok()) {
        out.error(MSG_NO_SOUND_SYSTEM, session.error_text());
        return EXIT_FAILED;
    }
    PortAudioDevice device;
    CliHost host;
    auto engine = make_audio_engine(device, *owned.processor, *playlist, host);
    engine->settings.buffer_count = static_cast<int32_t>(buffers);
    enumerate_devices(engine->lists, engine->settings);
    if (engine->lists.outputs.count == 0) {
        out.error(NO_OUTPUT_DEVICE_TEXT);
        return EXIT_FAILED;
    }
    if (device_index >= engine->lists.outputs.count) {
        out.error(MSG_NO_SUCH_DEVICE, out.tr(MSG_OUTPUT), std::to_string(device_index));
        return EXIT_FAILED;
    }
    engine->settings.out_device_index = static_cast<uint16_t>(device_index);
    enable_flush_denormals();

    start_playback(*engine);
    if (!engine_busy(*engine)) {
        out.error(MSG_CANNOT_PLAY, playlist->entries[0].path);
        return EXIT_FAILED;
    }
    const LoopReport report = run_engine_loop(*engine, host, 0.0, signals);
    const int played = playlist->current_index + 1;
    if (playlist->song_mark[playlist->current_index] == MARK_FAILED) {
        out.error(MSG_NOT_DECODED, playlist->entries[playlist->current_index].path);
    }
    out.error(report.interrupted ? MSG_PLAY_STOPPED : MSG_PLAY_FINISHED, std::to_string(played),
              std::to_string(playlist->song_count), std::to_string(device.underflow_count()));
    return EXIT_OK;
}

}  // namespace zv::cli
