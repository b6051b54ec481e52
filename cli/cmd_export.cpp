// zvmp3-cli export: processed WAV, MP3, FLAC or Opus files from songs, the way the desktop
// program's export makes them, several songs at once when asked. The songs form a playlist and go
// through the same export runner as the window's Export Song (-o) and Export All (-d,
// --beside-source).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/settings_steps.h"
#include "cli/stop_signals.h"
#include "engine/processor.h"
#include "export/export_options.h"
#include "export/export_rules.h"
#include "export/export_runner.h"
#include "export/song_entry.h"
#include "export/temp_folder.h"
#include "settings/program_state.h"
#include "sources/song_rates.h"

namespace zv::cli {
namespace {

void print_export_help() {
    std::printf(
        "Usage: zvmp3-cli export [OPTIONS] SOURCE -o TARGET\n"
        "       zvmp3-cli export [OPTIONS] SOURCE... -d FOLDER\n"
        "       zvmp3-cli export [OPTIONS] --beside-source SOURCE...\n"
        "Runs songs (WAV, MP3, FLAC, Ogg Vorbis, Opus) through the processor and writes\n"
        "processed WAV, MP3, FLAC or Opus files, exactly as the desktop program's export does\n"
        "with the same settings. A song at a rate other than 32000, 44100 or 48000 Hz is\n"
        "resampled to 44100 Hz (11025, 22050, 88200, 176400 Hz) or 48000 Hz (any other rate)\n"
        "before the processor.\n"
        "\n"
        "Output:\n"
        "  -o, --output TARGET    the file for a single SOURCE; its extension becomes .wav,\n"
        "                         .mp3, .flac or .opus by the format\n"
        "  -d, --folder FOLDER    write every SOURCE into FOLDER, named AFFIX + name\n"
        "      --beside-source    write each output beside its source (affix \"zel_\" when\n"
        "                         empty, so a source is never overwritten)\n"
        "A target never replaces a source, and two songs never write one file: such a song\n"
        "is refused and the others go on.\n"
        "\n"
        "%s"
        "Export settings (taken in the same order as the options above):\n"
        "      --affix TEXT       text added to the names with -d or --beside-source\n"
        "                         (default \"mm_\"; a plain part of a name: no \"/\", no \"..\")\n"
        "      --postfix          put the affix after the name (before its extension)\n"
        "      --prefix           put the affix before the name (default)\n"
        "      --wav | --mp3 | --flac | --opus\n"
        "                         output format (default MP3); FLAC is 16-bit at compression\n"
        "                         level 5, Opus is Ogg Opus at 48 kHz (songs processed at\n"
        "                         44100 or 32000 Hz are resampled after the processor)\n"
        "      --bitrate N        MP3 bitrate, 32..320 kbit/s, rounded up to the next\n"
        "                         standard rate (default 128); with --opus the Opus bitrate,\n"
        "                         12..256 kbit/s (default 128)\n"
        "      --album-prefix T, --title-prefix T\n"
        "                         text put before the album or title of the source's tag\n"
        "                         (ID3v1 in an MP3, Vorbis comments in FLAC and Opus; at\n"
        "                         most 31 bytes)\n"
        "      --external-encoder PATH --encoder-params TEMPLATE\n"
        "                         encode MP3 with PATH; in TEMPLATE %%1 is the WAV path and\n"
        "                         %%2 the MP3 path, double quotes group words\n"
        "      --normalise | --no-normalise\n"
        "                         measure each song's peak and level it (default on)\n"
        "The export sets test_channels to 1 (both channels), as the window's commands do.\n"
        "\n"
        "      --encoder-timeout S  stop an external encoder that runs longer than S seconds\n"
        "                         (default: no limit); the song fails\n"
        "  -j, --jobs N           export N songs at once (default: number of cores); the\n"
        "                         files are the same whatever N is\n"
        "      --inline-stages    run each song's reading, processing, encoding and\n"
        "                         measuring on one thread (by default a song with two or\n"
        "                         more cores to itself runs them on threads of their own)\n"
        "  -q, --quiet            print errors only\n"
        "  -v, --verbose          also print what an external encoder printed\n"
        "  -h, --help             show this help\n"
        "\n"
        "Each song written is followed by a line with the loudness of the file (EBU R128:\n"
        "integrated LUFS, range LU, true peak dBTP; an MP3 or Opus file as it decodes), as the "
        "loudness\n"
        "command measures it.\n"
        "A progress bar is drawn on stderr when it is a terminal. Ctrl-C or SIGTERM stops the\n"
        "export (an external encoder is ended too) and leaves no partial file. When the MP3\n"
        "encoder fails, that song is not written and the rest are written as WAV.\n"
        "Exit status: 0 all songs exported, 1 some song failed or was refused, 2 usage error.\n",
        SETTINGS_OPTIONS_HELP);
}

enum Opt {
    OPT_OUTPUT = 1,
    OPT_FOLDER,
    OPT_BESIDE,
    OPT_AFFIX,
    OPT_POSTFIX,
    OPT_PREFIX,
    OPT_WAV,
    OPT_MP3,
    OPT_FLAC,
    OPT_OPUS,
    OPT_BITRATE,
    OPT_ALBUM,
    OPT_TITLE,
    OPT_ENCODER,
    OPT_ENCODER_PARAMS,
    OPT_NORMALISE,
    OPT_NO_NORMALISE,
    OPT_TIMEOUT,
    OPT_JOBS,
    OPT_INLINE_STAGES,
    OPT_QUIET,
};

constexpr OptionRow OPTIONS[] = {
    {OPT_OUTPUT, "--output", 'o', ArgKind::Path},
    {OPT_FOLDER, "--folder", 'd', ArgKind::Path},
    {OPT_BESIDE, "--beside-source", 0, ArgKind::Flag},
    {OPT_AFFIX, "--affix", 0, ArgKind::Value},
    {OPT_POSTFIX, "--postfix", 0, ArgKind::Flag},
    {OPT_PREFIX, "--prefix", 0, ArgKind::Flag},
    {OPT_WAV, "--wav", 0, ArgKind::Flag},
    {OPT_MP3, "--mp3", 0, ArgKind::Flag},
    {OPT_FLAC, "--flac", 0, ArgKind::Flag},
    {OPT_OPUS, "--opus", 0, ArgKind::Flag},
    {OPT_BITRATE, "--bitrate", 0, ArgKind::Value},
    {OPT_ALBUM, "--album-prefix", 0, ArgKind::Value},
    {OPT_TITLE, "--title-prefix", 0, ArgKind::Value},
    {OPT_ENCODER, "--external-encoder", 0, ArgKind::Path},
    {OPT_ENCODER_PARAMS, "--encoder-params", 0, ArgKind::Value},
    {OPT_NORMALISE, "--normalise", 0, ArgKind::Flag},
    {OPT_NORMALISE, "--normalize", 0, ArgKind::Flag},
    {OPT_NO_NORMALISE, "--no-normalise", 0, ArgKind::Flag},
    {OPT_NO_NORMALISE, "--no-normalize", 0, ArgKind::Flag},
    {OPT_TIMEOUT, "--encoder-timeout", 0, ArgKind::Value},
    {OPT_JOBS, "--jobs", 'j', ArgKind::Value},
    {OPT_INLINE_STAGES, "--inline-stages", 0, ArgKind::Flag},
    {OPT_QUIET, "--quiet", 'q', ArgKind::Flag},
};

struct CliOptions {
    std::vector<std::string> sources;
    std::string output, folder;
    bool beside_source = false;
    int jobs = 0;
    bool inline_stages = false;
    int encoder_timeout = 0;
    bool quiet = false;
    bool verbose = false;
    long bitrate = 0;  // the last --bitrate, checked against the format once it is known
};

template <size_t N>
void put_text(std::array<char, N>& field, const std::string& text) {
    field.fill('\0');
    std::memcpy(field.data(), text.data(), std::min(text.size(), N - 1));
}

// A step that sets one export or encoder value at its place in the order.
template <typename F>
void add_step(SettingsSteps& steps, F set) {
    steps.add([set](ProgramState& s, const CliOutput&) {
        set(s);
        return EXIT_OK;
    });
}

// Returns -1 to go on, else the exit status.
int parse(int argc, char** argv, CliOptions& o, SettingsSteps& steps, const CliOutput& out) {
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS, SETTINGS_OPTIONS);
    if (parsed.error != nullptr)
        return out.usage(*parsed.error, parsed.error_arg);
    if (parsed.help) {
        print_export_help();
        return EXIT_OK;
    }
    o.verbose = parsed.verbose;
    for (const ParsedArg& a : parsed.args) {
        if (const int taken = steps.take(a, out); taken >= 0) {
            if (taken != EXIT_OK)
                return taken;
            continue;
        }
        const std::string& v = a.value;
        long n = 0;
        switch (a.id) {
            case OPERAND:
                o.sources.push_back(v);
                break;
            case OPT_OUTPUT:
                o.output = v;
                break;
            case OPT_FOLDER:
                o.folder = v;
                break;
            case OPT_BESIDE:
                o.beside_source = true;
                break;
            case OPT_AFFIX:
                if (v.size() > NAME_AFFIX_BYTES - 1)
                    return out.usage(MSG_TEXT_TOO_LONG, a.name, "31");
                if (!is_plain_name_part(v))
                    return out.usage(MSG_AFFIX_NOT_PLAIN, v);
                add_step(steps, [v](ProgramState& s) { put_text(s.export_options.name_affix, v); });
                break;
            case OPT_POSTFIX:
            case OPT_PREFIX:
                add_step(steps, [post = a.id == OPT_POSTFIX](ProgramState& s) {
                    s.export_options.affix_is_postfix = post ? 1 : 0;
                });
                break;
            case OPT_WAV:
            case OPT_MP3:
            case OPT_FLAC:
            case OPT_OPUS: {
                const ExportFormat format = a.id == OPT_MP3    ? ExportFormat::Mp3
                                            : a.id == OPT_FLAC ? ExportFormat::Flac
                                            : a.id == OPT_OPUS ? ExportFormat::Opus
                                                               : ExportFormat::Wav;
                add_step(steps, [format](ProgramState& s) {
                    set_export_format(s.export_options, format);
                });
                break;
            }
            case OPT_BITRATE:
                // The range depends on the format, which a later option may still choose.
                if (!parse_int(v, 1, 1000000, n))
                    return out.usage(MSG_BITRATE_RANGE);
                o.bitrate = n;
                add_step(steps, [n](ProgramState& s) {
                    if (n >= 32 && n <= 320)
                        s.encoder.mp3_bitrate_kbps =
                            bitrate_from_entry(std::to_string(n), ExportCommand::ExportAll);
                    if (n >= OPUS_MIN_KBPS && n <= OPUS_MAX_KBPS)
                        s.encoder.opus_bitrate_kbps = static_cast<int32_t>(n);
                });
                break;
            case OPT_ALBUM:
            case OPT_TITLE:
                if (v.size() > TAG_PREFIX_BYTES - 1 || v.find('\0') != std::string::npos)
                    return out.usage(MSG_TEXT_TOO_LONG, a.name, "31");
                add_step(steps, [v, album = a.id == OPT_ALBUM](ProgramState& s) {
                    put_text(album ? s.export_options.tag_album_prefix
                                   : s.export_options.tag_title_prefix,
                             v);
                });
                break;
            case OPT_ENCODER:
            case OPT_ENCODER_PARAMS:
                if (v.size() > ENCODER_TEXT_MAX_CHARS)
                    return out.usage(MSG_TEXT_TOO_LONG, a.name, "257");
                add_step(steps, [v, program = a.id == OPT_ENCODER](ProgramState& s) {
                    if (program) {
                        s.encoder.use_external_encoder = 1;
                        put_text(s.encoder.external_encoder_path, v);
                    } else {
                        put_text(s.encoder.external_encoder_params, v);
                    }
                });
                break;
            case OPT_NORMALISE:
            case OPT_NO_NORMALISE:
                add_step(steps, [on = a.id == OPT_NORMALISE](ProgramState& s) {
                    s.export_options.normalise_on_export = on ? 1 : 0;
                });
                break;
            case OPT_TIMEOUT:
                if (!parse_int(v, 1, 1000000, n))
                    return out.usage(MSG_TIMEOUT_RANGE);
                o.encoder_timeout = static_cast<int>(n);
                break;
            case OPT_JOBS:
                if (!parse_int(v, 1, 1024, n))
                    return out.usage(MSG_JOBS_RANGE);
                o.jobs = static_cast<int>(n);
                break;
            case OPT_INLINE_STAGES:
                o.inline_stages = true;
                break;
            case OPT_QUIET:
                o.quiet = true;
                break;
            default:
                return out.usage(MSG_UNEXPECTED_ARGUMENT, v);
        }
    }
    if (o.sources.empty())
        return out.usage(MSG_NO_SOURCE_GIVEN);
    const int targets =
        (o.output.empty() ? 0 : 1) + (o.folder.empty() ? 0 : 1) + (o.beside_source ? 1 : 0);
    if (targets != 1)
        return out.usage(MSG_ONE_TARGET);
    if (!o.output.empty() && o.sources.size() != 1)
        return out.usage(MSG_ONE_SOURCE_FOR_O);
    if (o.sources.size() > static_cast<size_t>(MAX_SONGS))
        return out.usage(MSG_TOO_MANY_SOURCES);
    return -1;
}

class ProgressBar {
public:
    ProgressBar(bool enabled, uint64_t total_blocks, size_t songs)
        : enabled_(enabled), total_(total_blocks == 0 ? 1 : total_blocks), songs_(songs) {}
    void block() {
        done_.fetch_add(1, std::memory_order_relaxed);
        draw(false);
    }
    void song() {
        songs_done_.fetch_add(1, std::memory_order_relaxed);
        draw(true);
    }
    // Runs f (which prints) with the bar out of the way.
    template <typename F>
    void print(F f) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (enabled_ && drawn_)
            std::fputs("\r\033[K", stderr);
        f();
        drawn_ = false;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (enabled_ && drawn_)
            std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

private:
    void draw(bool force) {
        if (!enabled_)
            return;
        std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock())
            return;
        auto now = std::chrono::steady_clock::now();
        if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        uint64_t done = std::min(done_.load(std::memory_order_relaxed), total_);
        int width = 30;
        int fill = static_cast<int>(done * static_cast<uint64_t>(width) / total_);
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%  %zu/%zu songs", fill,
                     "##############################", width - fill, "",
                     static_cast<int>(done * 100 / total_),
                     songs_done_.load(std::memory_order_relaxed), songs_);
        std::fflush(stderr);
        drawn_ = true;
    }
    bool enabled_;
    uint64_t total_;
    size_t songs_;
    std::atomic<uint64_t> done_{0};
    std::atomic<size_t> songs_done_{0};
    std::mutex mutex_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// What the export runner shows and asks, for a terminal: no questions (the command line is
// the confirmation), a line per song, the bar, and the encoder's output for the log.
class ExportCliHost : public ExportRunnerHost {
public:
    ExportCliHost(const CliOutput& out, ProgressBar& bar, const CliOptions& o)
        : out_(out), bar_(bar), o_(o) {}
    ExportAgainAnswer ask_export_again(const std::string&) override {
        return ExportAgainAnswer::ExportAll;
    }
    bool confirm(const std::string&) override { return true; }
    void job_block_done(int, const ExportJob&) override { bar_.block(); }
    void song_done(const SongReport& r) override {
        bar_.song();
        bar_.print([&] {
            if (!r.encoder_output.empty() && (o_.verbose || r.outcome == SongOutcome::Failed)) {
                out_.error(MSG_ENCODER_SAID, r.source, r.encoder_output);
            }
            switch (r.outcome) {
                case SongOutcome::Exported:
                    if (!o_.quiet) {
                        std::printf("%s -> %s\n", r.source.c_str(), r.output.c_str());
                        if (r.loudness) {
                            std::printf("    loudness %s\n", loudness_text(*r.loudness).c_str());
                        }
                        std::fflush(stdout);
                    }
                    break;
                case SongOutcome::Failed:
                case SongOutcome::Refused:
                    out_.error(MSG_SOURCE_FAILED, r.source, r.reason);
                    failed_ = true;
                    break;
                case SongOutcome::Cancelled:
                    break;
            }
            if (r.switched_to_wav) {
                out_.warning(MSG_SWITCHED_TO_WAV);
            }
        });
    }
    bool failed() const { return failed_; }

private:
    const CliOutput& out_;
    ProgressBar& bar_;
    const CliOptions& o_;
    bool failed_ = false;  // song_done calls come one at a time
};

}  // namespace

int run_export(int argc, char** argv) {
    const CliOutput out("export");
    CliOptions o;
    SettingsSteps steps;
    if (const int status = parse(argc, argv, o, steps, out); status >= 0) {
        return status;
    }

    OwnedProgramState owned;
    ProgramState state = owned.view();
    processor_startup(*owned.processor);
    if (const int status = steps.apply(state, out); status != EXIT_OK) {
        return status;
    }
    ExportOptions& opts = owned.export_options;
    EncoderSettings& enc = owned.encoder;
    if (o.bitrate != 0) {
        if (export_format(opts) == ExportFormat::Opus) {
            if (o.bitrate < OPUS_MIN_KBPS || o.bitrate > OPUS_MAX_KBPS)
                return out.usage(MSG_OPUS_BITRATE_RANGE);
        } else if (o.bitrate < 32 || o.bitrate > 320) {
            return out.usage(MSG_BITRATE_RANGE);
        }
    }
    if (std::find(MP3_BITRATES.begin(), MP3_BITRATES.end(), enc.mp3_bitrate_kbps) ==
        MP3_BITRATES.end()) {
        // A state file or --set may hold any number; the encoder takes the list's values, as
        // the option dialogs give them.
        enc.mp3_bitrate_kbps =
            bitrate_from_entry(std::to_string(enc.mp3_bitrate_kbps), ExportCommand::ExportAll);
    }
    if (!o.output.empty()) {
        opts.save_to_source_folder = 0;
    } else {
        opts.save_to_source_folder = o.beside_source ? 1 : 0;
    }
    if (!o.folder.empty() && !std::filesystem::is_directory(o.folder)) {
        out.error(MSG_NO_SUCH_FOLDER, o.folder);
        return EXIT_FAILED;
    }

    // The songs enter a playlist as the window's would; unreadable ones are named here.
    auto playlist = std::make_unique<Playlist>();
    bool any_failed = false;
    uint64_t total_blocks = 0;
    for (const std::string& source : o.sources) {
        SongEntry entry;
        Id3v1Tag tag;
        std::string error;
        if (!make_song_entry(source, entry, tag, error)) {
            out.error(MSG_SOURCE_FAILED, source, error);
            any_failed = true;
            continue;
        }
        const size_t i = static_cast<size_t>(playlist->song_count++);
        playlist->entries[i] = entry;
        playlist->tags[i] = tag;
        // Blocks of the chain, at the rate it runs the song at.
        const uint64_t frames = chain_rate_frames(
            static_cast<uint64_t>(entry.pcm_bytes) / (2u * static_cast<uint64_t>(entry.channels)),
            entry.sample_rate);
        total_blocks += frames / 16384u + 1;
    }
    if (playlist->song_count == 0) {
        return EXIT_FAILED;
    }

    // Working folders of runs that were killed go first.
    remove_stale_temp_folders();
    TempFolder temp(make_run_id());
    ProgressBar bar(!o.quiet && ::isatty(STDERR_FILENO) != 0, total_blocks,
                    static_cast<size_t>(playlist->song_count));
    ExportCliHost host(out, bar, o);
    ExportRunnerConfig config;
    config.jobs = o.jobs > 0 ? o.jobs : static_cast<int>(std::thread::hardware_concurrency());
    config.inline_stages = o.inline_stages;
    config.keep_cancelled_output = false;
    config.encoder_timeout_seconds = o.encoder_timeout;
    config.language = out.language();
    ExportRunner runner(ExportContext{*playlist, *owned.processor, opts, enc, owned.throttle, temp},
                        host, config);
    ExportRunReport report;
    {
        StopSignals signals;
        signals.watch([&runner](int) { runner.cancel(); });
        report = o.output.empty() ? runner.export_all(o.folder) : runner.export_song(o.output);
    }
    bar.clear();
    if (!report.refusal.empty()) {
        out.error(report.refusal);
        return EXIT_FAILED;
    }
    if (report.cancelled) {
        out.error(MSG_EXPORT_STOPPED);
        return EXIT_FAILED;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return EXIT_FAILED;
    }
    return any_failed || host.failed() ? EXIT_FAILED : EXIT_OK;
}

}  // namespace zv::cli
