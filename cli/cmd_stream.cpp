// zvmp3-cli stream: pipe mode. 16-bit PCM (raw or WAV) on standard input goes through the
// processor and comes out on standard output in the same form (or the one --output names), a
// block of 4096 frames at a time, for streaming chains that read and write pipes: ffmpeg, sox,
// Liquidsoap's pipe(), which answers WAV only with WAV.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/pcm_stream.h"
#include "cli/settings_steps.h"
#include "settings/program_state.h"
#include "sources/riff_chunks.h"

namespace zv::cli {
namespace {

void print_help() {
    std::printf(
        "Usage: zvmp3-cli stream [SETTINGS]... [--format raw|wav] [--output raw|wav]\n"
        "                        [--rate R] [--channels C] [--trim-latency] <INPUT >OUTPUT\n"
        "Reads 16-bit little-endian PCM on standard input, runs it through the processor as\n"
        "an export does (normalisation off) and writes the processed sound on standard output\n"
        "as 16-bit little-endian PCM at the input's rate and channel count, raw or as a WAV\n"
        "stream as the input came, a block of 4096 frames at a time. The chain's latency is\n"
        "printed on standard error at the start: the output runs that many frames behind the\n"
        "input. When the input ends, the sound still inside the chain is written too, so the\n"
        "output is the input's length plus the latency (or the input's length with\n"
        "--trim-latency); then it waits until a pipe's reader has taken the last bytes.\n"
        "\n"
        "  ffmpeg -i song.mp3 -f s16le - | zvmp3-cli stream --preset 232 |\n"
        "      ffmpeg -f s16le -ar 44100 -ac 2 -i - out.mp3\n"
        "  In Liquidsoap: s = pipe(process=\"zvmp3-cli stream --format wav --trim-latency\", s)\n"
        "\n"
        "%s"
        "\n"
        "      --format F       the input: raw (default) or wav (a WAV header first; its rate\n"
        "                       and channels are used; a data size of 0 or the maximum\n"
        "                       means until the input ends)\n"
        "      --output F       the output: raw or wav (default: as the input). WAV output\n"
        "                       starts with a 44-byte header whose RIFF and data sizes are\n"
        "                       the maximum, 0xFFFFFFFF (until the end; not 0, which sox\n"
        "                       reads as no samples); the raw output's bytes follow it\n"
        "      --rate R         raw input's sampling rate, 32000, 44100 (default) or 48000\n"
        "      --channels C     raw input's channels, 1 or 2 (default 2)\n"
        "      --trim-latency   drop the first latency frames of the output, so that it lines\n"
        "                       up with the input as an exported file does\n"
        "  -h, --help           show this help\n"
        "\n"
        "Exit status: 0 the input ended and all of it was written (a WAV input that ends\n"
        "before the size its header gives is processed to its end with a warning), 1 the\n"
        "input could not be read or the output written (a reader that went away ends the\n"
        "stream quietly with 1), 2 usage error.\n",
        SETTINGS_OPTIONS_HELP);
}

// How long the end waits for a reader that has stopped taking the output's last bytes.
constexpr int READER_IDLE_LIMIT_MS = 10000;

constexpr int OPT_FORMAT = 1;
constexpr int OPT_RATE = 2;
constexpr int OPT_CHANNELS = 3;
constexpr int OPT_TRIM = 4;
constexpr int OPT_OUTPUT = 5;
constexpr OptionRow OPTIONS[] = {
    {OPT_FORMAT, "--format", 0, ArgKind::Value},      // the input's form
    {OPT_OUTPUT, "--output", 0, ArgKind::Value},      // the output's form
    {OPT_RATE, "--rate", 0, ArgKind::Value},          // of raw input
    {OPT_CHANNELS, "--channels", 0, ArgKind::Value},  // of raw input
    {OPT_TRIM, "--trim-latency", 0, ArgKind::Flag},
};

}  // namespace

int run_stream(int argc, char** argv) {
    const CliOutput out("stream");
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS, SETTINGS_OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        print_help();
        return EXIT_OK;
    }
    SettingsSteps steps;
    bool wav = false;
    std::optional<StreamFormat> output;  // as the input unless given
    long rate = 44100;
    long channels = 2;
    std::string layout_option;  // the first of --rate/--channels given, for the WAV warning
    StreamLayout layout;
    for (const ParsedArg& a : parsed.args) {
        if (const int taken = steps.take(a, out); taken >= 0) {
            if (taken != EXIT_OK) {
                return taken;
            }
        } else if (a.id == OPT_FORMAT) {
            if (a.value != "raw" && a.value != "wav") {
                return out.usage(MSG_FORMAT_CHOICES);
            }
            wav = a.value == "wav";
        } else if (a.id == OPT_OUTPUT) {
            if (a.value != "raw" && a.value != "wav") {
                return out.usage(MSG_STREAM_OUTPUT_CHOICES);
            }
            output = a.value == "wav" ? StreamFormat::Wav : StreamFormat::Raw;
        } else if (a.id == OPT_RATE) {
            if (!parse_int(a.value, 32000, 48000, rate) ||
                (rate != 32000 && rate != 44100 && rate != 48000)) {
                return out.usage(MSG_RATE_CHOICES);
            }
            layout_option = layout_option.empty() ? a.name : layout_option;
        } else if (a.id == OPT_CHANNELS) {
            if (!parse_int(a.value, 1, 2, channels)) {
                return out.usage(MSG_CHANNELS_CHOICES);
            }
            layout_option = layout_option.empty() ? a.name : layout_option;
        } else if (a.id == OPT_TRIM) {
            layout.trim_latency = true;
        } else {
            return out.usage(MSG_UNEXPECTED_ARGUMENT, a.value);
        }
    }
    if (::isatty(STDOUT_FILENO) != 0) {
        out.error(MSG_STDOUT_IS_TERMINAL);
        return EXIT_USAGE;
    }

    OwnedProgramState owned;
    processor_startup(*owned.processor);
    ProgramState state = owned.view();
    if (const int status = steps.apply(state, out); status != EXIT_OK) {
        return status;
    }

    FdStreamReader input(STDIN_FILENO);
    layout.rate = static_cast<int32_t>(rate);
    layout.channels = static_cast<int>(channels);
    layout.output = output.value_or(wav ? StreamFormat::Wav : StreamFormat::Raw);
    if (wav) {
        const WavHeaderWalk walk = walk_wav_header(input);
        if (walk.status != WavWalkStatus::Ok) {
            out.error(MSG_STDIN_NOT_WAV, walk.status == WavWalkStatus::ReadError
                                             ? read_error_text(input)
                                             : wav_walk_status_text(walk.status));
            return EXIT_FAILED;
        }
        if (!layout_option.empty() && (walk.rate != rate || walk.channels != channels)) {
            out.warning(MSG_WAV_HEADER_DECIDES, layout_option, std::to_string(walk.rate),
                        std::to_string(walk.channels));
        }
        layout.rate = walk.rate;
        layout.channels = walk.channels;
        layout.data_bytes = wav_stream_data_bytes(walk.data_bytes);
    }

    // A reader that goes away shows as EPIPE from write(), not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    enable_flush_denormals();
    Processor& p = *owned.processor;
    const int latency = start_stream_processor(p, layout.rate);
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f", 1000.0 * latency / layout.rate);
    out.error(MSG_STREAM_LATENCY, std::to_string(latency), ms, std::to_string(layout.rate));
    std::fflush(stderr);

    const StreamResult r = run_pcm_stream(p, layout, input, [](const void* data, size_t bytes) {
        return write_fd_fully(STDOUT_FILENO, data, bytes);
    });
    switch (r.end) {
        case StreamEnd::InputEnded:
            // Many pipe writers put a made-up size there: say so, but the stream did end well.
            if (r.missing_bytes != 0) {
                out.warning(MSG_INPUT_SHORT, std::to_string(r.missing_bytes),
                            std::to_string(layout.data_bytes));
            }
            if (r.partial_frame) {
                out.warning(MSG_PARTIAL_FRAME);
            }
            // Standard error stays open until then: Liquidsoap takes its end for the process's
            // end as well.
            std::fflush(stderr);
            switch (wait_for_pipe_drained(STDOUT_FILENO, READER_IDLE_LIMIT_MS)) {
                case DrainEnd::Drained:
                    return EXIT_OK;
                case DrainEnd::ReaderGone:
                    return EXIT_FAILED;  // quietly, as when a write finds the reader gone
                case DrainEnd::ReaderIdle:
                    out.warning(MSG_READER_IDLE, std::to_string(READER_IDLE_LIMIT_MS / 1000));
                    return EXIT_OK;
            }
            return EXIT_OK;
        case StreamEnd::OutputClosed:
            return EXIT_FAILED;  // quietly: whoever read the stream has stopped
        case StreamEnd::ReadFailed:
            out.error(MSG_STDIN_READ_FAILED, std::strerror(r.error));
            return EXIT_FAILED;
        case StreamEnd::WriteFailed:
            out.error(MSG_STDOUT_WRITE_FAILED, std::strerror(r.error));
            return EXIT_FAILED;
    }
    return EXIT_FAILED;
}

}  // namespace zv::cli
