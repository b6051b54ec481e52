// zvmp3-cli export: processed WAV or MP3 files from songs, the way the desktop program's
// export makes them, several songs at once when asked.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "engine/factory_presets.h"
#include "engine/processor.h"
#include "export/export_job.h"
#include "export/export_options.h"
#include "export/export_rules.h"
#include "export/song_entry.h"
#include "export/temp_folder.h"
#include "settings/param_fields.h"
#include "settings/program_state.h"
#include "settings/settings_file.h"

namespace zv::cli {
namespace {

constexpr const char* NAME = "zvmp3-cli export";

void print_export_help() {
    std::printf(
        "Usage: zvmp3-cli export [OPTIONS] SOURCE -o TARGET\n"
        "       zvmp3-cli export [OPTIONS] SOURCE... -d FOLDER\n"
        "       zvmp3-cli export [OPTIONS] --beside-source SOURCE...\n"
        "Runs WAV or MP3 songs through the processor and writes processed WAV or MP3 files,\n"
        "exactly as the desktop program's export does with the same settings.\n"
        "\n"
        "Output:\n"
        "  -o, --output TARGET    the file for a single SOURCE; its extension becomes .wav\n"
        "                         or .mp3 by the format\n"
        "  -d, --folder FOLDER    write every SOURCE into FOLDER, named AFFIX + name\n"
        "      --beside-source    write each output beside its source (affix \"zel_\" when\n"
        "                         empty, so a source is never overwritten)\n"
        "      --affix TEXT       text added to the names with -d or --beside-source\n"
        "                         (default \"mm_\")\n"
        "      --postfix          put the affix after the name (before its extension)\n"
        "      --prefix           put the affix before the name (default)\n"
        "      --wav | --mp3      output format (default MP3)\n"
        "      --bitrate N        MP3 bitrate, 32..320 kbit/s, rounded up to the next\n"
        "                         standard rate (default 128)\n"
        "      --album-prefix T, --title-prefix T\n"
        "                         text put before the album or title of the source's ID3v1\n"
        "                         tag (at most 31 bytes)\n"
        "      --external-encoder PATH --encoder-params TEMPLATE\n"
        "                         encode MP3 with PATH; in TEMPLATE %%1 is the WAV path and\n"
        "                         %%2 the MP3 path, double quotes group words\n"
        "\n"
        "Processing (applied in this order, starting from the program's start-up values):\n"
        "      --state FILE.prf   load a state file (processor and export options)\n"
        "      --preset ID        apply a factory preset (see 'zvmp3-cli presets')\n"
        "      --params FILE.zv3  load a parameter file\n"
        "      --set FIELD=VALUE  set one field by name (repeatable; see\n"
        "                         'zvmp3-cli params --show')\n"
        "      --normalise | --no-normalise\n"
        "                         measure each song's peak and level it (default on)\n"
        "\n"
        "  -j, --jobs N           export N songs at once (default: number of cores); the\n"
        "                         files are the same whatever N is\n"
        "  -q, --quiet            print errors only\n"
        "  -h, --help             show this help\n"
        "\n"
        "A progress bar is drawn on stderr when it is a terminal. Ctrl-C stops the export\n"
        "and leaves no partial file.\n"
        "Exit status: 0 all songs exported, 1 some song failed, 2 usage error.\n");
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", NAME, message.c_str());
    std::fprintf(stderr, "Try 'zvmp3-cli export --help'.\n");
    return EXIT_USAGE;
}

struct CliOptions {
    std::vector<std::string> sources;
    std::string output, folder;
    bool beside_source = false;
    std::string state_path, params_path;
    int preset_id = 0;
    std::vector<std::pair<const ParamField*, std::string>> sets;
    // Explicit choices; unset ones keep what the start values or files gave.
    int output_mp3 = -1, normalise = -1, postfix = -1, bitrate = 0;
    bool have_affix = false, have_album = false, have_title = false;
    std::string affix, album_prefix, title_prefix;
    std::string encoder_path, encoder_params;
    bool have_encoder_params = false;
    int jobs = 0;
    bool quiet = false;
};

template <size_t N>
bool put_text(std::array<char, N>& field, const std::string& text, size_t max_bytes) {
    if (text.size() > max_bytes || text.find('\0') != std::string::npos)
        return false;
    field.fill('\0');
    std::memcpy(field.data(), text.data(), text.size());
    return true;
}

bool parse_int(const std::string& text, int& value) {
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// -1 to go on, else the exit status.
int parse(int argc, char** argv, CliOptions& o) {
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
            o.sources.push_back(arg);
            continue;
        }
        std::string value;
        bool inline_value = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inline_value = true;
        }
        auto need = [&](const char* what) -> bool {
            if (inline_value)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            (void)what;
            return true;
        };
        auto flag_ok = [&]() { return !inline_value; };
        if (arg == "--") {
            options_done = true;
        } else if (arg == "-h" || arg == "--help") {
            print_export_help();
            return EXIT_OK;
        } else if (arg == "-o" || arg == "--output") {
            if (!need("") || value.empty())
                return usage_error(arg + " needs a file");
            o.output = value;
        } else if (arg == "-d" || arg == "--folder") {
            if (!need("") || value.empty())
                return usage_error(arg + " needs a folder");
            o.folder = value;
        } else if (arg == "--beside-source" && flag_ok()) {
            o.beside_source = true;
        } else if (arg == "--affix") {
            if (!need(""))
                return usage_error("--affix needs a text");
            o.have_affix = true;
            o.affix = value;
        } else if (arg == "--postfix" && flag_ok()) {
            o.postfix = 1;
        } else if (arg == "--prefix" && flag_ok()) {
            o.postfix = 0;
        } else if (arg == "--wav" && flag_ok()) {
            o.output_mp3 = 0;
        } else if (arg == "--mp3" && flag_ok()) {
            o.output_mp3 = 1;
        } else if (arg == "--bitrate") {
            int n = 0;
            if (!need("") || !parse_int(value, n) || n < 32 || n > 320)
                return usage_error("--bitrate needs a number from 32 to 320");
            o.bitrate = bitrate_from_entry(value, ExportCommand::ExportAll);
        } else if ((arg == "--normalise" || arg == "--normalize") && flag_ok()) {
            o.normalise = 1;
        } else if ((arg == "--no-normalise" || arg == "--no-normalize") && flag_ok()) {
            o.normalise = 0;
        } else if (arg == "--album-prefix" || arg == "--title-prefix") {
            if (!need(""))
                return usage_error(arg + " needs a text");
            if (value.size() > TAG_PREFIX_BYTES - 1)
                return usage_error(arg + " takes at most 31 bytes");
            (arg == "--album-prefix" ? o.album_prefix : o.title_prefix) = value;
            (arg == "--album-prefix" ? o.have_album : o.have_title) = true;
        } else if (arg == "--external-encoder") {
            if (!need("") || value.empty())
                return usage_error("--external-encoder needs a program");
            o.encoder_path = value;
        } else if (arg == "--encoder-params") {
            if (!need(""))
                return usage_error("--encoder-params needs a template");
            o.encoder_params = value;
            o.have_encoder_params = true;
        } else if (arg == "--state" || arg == "--params") {
            if (!need("") || value.empty())
                return usage_error(arg + " needs a file");
            (arg == "--state" ? o.state_path : o.params_path) = value;
        } else if (arg == "--preset") {
            int id = 0;
            if (!need("") || !parse_int(value, id) || !is_factory_preset_id(id))
                return usage_error("unknown preset id '" + value + "' (see 'zvmp3-cli presets')");
            o.preset_id = id;
        } else if (arg == "--set") {
            size_t eq = need("") ? value.find('=') : std::string::npos;
            if (eq == std::string::npos || eq == 0)
                return usage_error("--set needs FIELD=VALUE");
            const ParamField* f = find_param_field(std::string_view(value).substr(0, eq));
            if (f == nullptr)
                return usage_error("unknown field '" + value.substr(0, eq) +
                                   "' (see 'zvmp3-cli params --show' for the names)");
            o.sets.emplace_back(f, value.substr(eq + 1));
        } else if (arg == "-j" || arg == "--jobs") {
            if (!need("") || !parse_int(value, o.jobs) || o.jobs < 1)
                return usage_error("--jobs needs a number of at least 1");
        } else if ((arg == "-q" || arg == "--quiet") && flag_ok()) {
            o.quiet = true;
        } else {
            return usage_error("unknown option '" + arg + "'");
        }
    }
    if (o.sources.empty())
        return usage_error("no SOURCE given");
    int targets =
        (o.output.empty() ? 0 : 1) + (o.folder.empty() ? 0 : 1) + (o.beside_source ? 1 : 0);
    if (targets != 1)
        return usage_error("give exactly one of -o TARGET, -d FOLDER, --beside-source");
    if (!o.output.empty() && o.sources.size() != 1)
        return usage_error("-o takes one SOURCE; use -d FOLDER for several");
    if (o.have_encoder_params && o.encoder_path.empty())
        return usage_error("--encoder-params needs --external-encoder");
    return -1;
}

// A one-line bar on stderr, drawn by whichever worker finishes a block, at most 10 times a
// second.
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

class CliObserver : public ExportObserver {
public:
    CliObserver(ProgressBar& bar, const std::atomic<bool>& stop) : bar_(bar), stop_(stop) {}
    void attach(ExportJob* job) { job_ = job; }
    void set_text(int, const std::string&) override {}
    void set_progress_range(int) override {}
    void step_progress() override {}
    void block_done() override {
        bar_.block();
        if (stop_.load(std::memory_order_relaxed) && job_ != nullptr)
            job_->cancel();
    }
    void finished(const ExportJobResult&) override {}

private:
    ProgressBar& bar_;
    const std::atomic<bool>& stop_;
    ExportJob* job_ = nullptr;
};

struct Song {
    std::string source;
    SongEntry entry;
    Id3v1Tag tag;
    std::string target;  // handed to the job
    std::string output;  // the file the job will write
    bool ok = false;     // probed and named
};

// Ctrl-C and SIGTERM only raise the stop flag: every worker then cancels its job, which
// leaves no partial file, and the private temp folder is removed on the way out.
class SignalWatch {
public:
    explicit SignalWatch(std::atomic<bool>& stop) {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &old_);
        thread_ = std::thread([this, &stop] {
            timespec wait{0, 100 * 1000 * 1000};
            while (!done_.load()) {
                if (sigtimedwait(&set_, nullptr, &wait) > 0)
                    stop.store(true);
            }
        });
    }
    ~SignalWatch() {
        done_.store(true);
        thread_.join();
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t set_{}, old_{};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

std::string absolute(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

}  // namespace

int run_export(int argc, char** argv) {
    CliOptions o;
    if (int status = parse(argc, argv, o); status >= 0)
        return status;

    OwnedProgramState owned;
    ProgramState state = owned.view();
    processor_startup(*owned.processor);
    auto load = [&](const std::string& path, SettingsFileKind kind) {
        bool bad_magic = false;
        LoadResult r = load_settings_file(state, path, kind, [&] { bad_magic = true; });
        if (r == LoadResult::Loaded)
            return true;
        std::fprintf(stderr, "%s: %s: %s\n", NAME, path.c_str(),
                     bad_magic || r == LoadResult::BadMagic ? "not a settings file (wrong magic)"
                                                            : "cannot open it");
        return false;
    };
    if (!o.state_path.empty() && !load(o.state_path, SettingsFileKind::State))
        return EXIT_FAILED;
    if (o.preset_id != 0)
        apply_factory_preset(*owned.processor, o.preset_id);
    if (!o.params_path.empty() && !load(o.params_path, SettingsFileKind::Parameters))
        return EXIT_FAILED;

    ExportOptions& opts = owned.export_options;
    EncoderSettings& enc = owned.encoder;
    if (o.output_mp3 >= 0)
        opts.output_mp3 = o.output_mp3;
    if (o.normalise >= 0)
        opts.normalise_on_export = o.normalise;
    if (o.postfix >= 0)
        opts.affix_is_postfix = o.postfix;
    if (o.bitrate > 0)
        enc.mp3_bitrate_kbps = o.bitrate;
    if (o.have_affix && !put_text(opts.name_affix, o.affix, NAME_AFFIX_BYTES - 1))
        return usage_error("--affix takes at most 31 bytes");
    if (o.have_album)
        put_text(opts.tag_album_prefix, o.album_prefix, TAG_PREFIX_BYTES - 1);
    if (o.have_title)
        put_text(opts.tag_title_prefix, o.title_prefix, TAG_PREFIX_BYTES - 1);
    if (!o.encoder_path.empty()) {
        enc.use_external_encoder = 1;
        if (!put_text(enc.external_encoder_path, o.encoder_path, ENCODER_TEXT_MAX_CHARS) ||
            !put_text(enc.external_encoder_params, o.encoder_params, ENCODER_TEXT_MAX_CHARS))
            return usage_error("--external-encoder and --encoder-params take at most 257 bytes");
    }
    for (const auto& [field, value] : o.sets) {
        std::string error;
        if (!set_param_field(state, *field, value, error))
            return usage_error(error);
    }
    owned.processor->params.test_channels = 1.0;  // what the export commands do
    const bool mp3 = opts.output_mp3 != 0;
    if (std::find(MP3_BITRATES.begin(), MP3_BITRATES.end(), enc.mp3_bitrate_kbps) ==
        MP3_BITRATES.end()) {
        // A state file or --set may hold any number; the encoder takes the list's values, as
        // the option dialogs give them.
        enc.mp3_bitrate_kbps =
            bitrate_from_entry(std::to_string(enc.mp3_bitrate_kbps), ExportCommand::ExportAll);
    }

    if (!o.folder.empty() && !std::filesystem::is_directory(o.folder)) {
        std::fprintf(stderr, "%s: %s: no such folder\n", NAME, o.folder.c_str());
        return EXIT_FAILED;
    }

    // Probe and name every song first, so that name clashes are found before any work.
    std::vector<Song> songs(o.sources.size());
    std::map<std::string, std::string> outputs;  // output -> source
    bool any_failed = false;
    auto song_error = [&](const std::string& source, const std::string& why) {
        std::fprintf(stderr, "%s: %s: %s\n", NAME, source.c_str(), why.c_str());
        any_failed = true;
    };
    std::string affix(opts.name_affix.data(),
                      strnlen(opts.name_affix.data(), opts.name_affix.size()));
    for (size_t k = 0; k < songs.size(); ++k) {
        Song& s = songs[k];
        s.source = o.sources[k];
        std::string error;
        if (!make_song_entry(s.source, s.entry, s.tag, error)) {
            song_error(s.source, error);
            continue;
        }
        std::string target;
        if (!o.output.empty()) {
            target = with_name_extension(o.output);
        } else {
            ExportAllNaming naming{o.folder, affix, opts.affix_is_postfix != 0, o.beside_source,
                                   false};
            target = with_name_extension(export_all_target(s.source, naming));
        }
        s.target = mp3 ? mp3_mode_target(target) : target;
        s.output = final_output_path(s.target, mp3);
        std::string out_abs = absolute(s.output);
        if (out_abs == absolute(s.source)) {
            song_error(s.source, "the output would replace the source itself");
            continue;
        }
        auto [it, fresh] = outputs.emplace(out_abs, s.source);
        if (!fresh) {
            song_error(s.source, "its output " + s.output + " is also the output of " + it->second);
            continue;
        }
        s.ok = true;
    }

    std::vector<size_t> work;
    uint64_t total_blocks = 0;
    for (size_t k = 0; k < songs.size(); ++k) {
        if (!songs[k].ok)
            continue;
        work.push_back(k);
        const SongEntry& e = songs[k].entry;
        total_blocks += static_cast<uint64_t>(e.pcm_bytes) /
                            (static_cast<uint64_t>(e.channels == 1 ? 1 : 2) * 32768u) +
                        1;
    }
    int jobs = o.jobs > 0 ? o.jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::max(1, std::min<int>(jobs, static_cast<int>(work.size())));

    std::atomic<bool> stop{false};
    SignalWatch signals(stop);
    TempFolder temp(make_run_id());
    ProgressBar bar(!o.quiet && ::isatty(STDERR_FILENO) != 0, total_blocks, work.size());
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const Processor& base = *owned.processor;

    auto worker = [&](int slot) {
        enable_flush_denormals();
        auto processor = make_processor();
        for (;;) {
            size_t w = next.fetch_add(1);
            if (w >= work.size() || stop.load())
                break;
            Song& s = songs[work[w]];
            // Every song starts from the same processor, so the bytes never depend on which
            // worker ran which songs before.
            *processor = base;
            ExportJobInputs in;
            in.entry = s.entry;
            in.tag = s.tag;
            in.target_path = s.target;
            in.options = opts;
            in.encoder = enc;
            in.temp_folder = temp.job_path(slot);
            in.run_id = temp.run_id();
            in.keep_cancelled_output = false;
            CliObserver observer(bar, stop);
            ExportJob job(in, *processor, observer, &owned.throttle);
            observer.attach(&job);
            ExportJobResult r = job.run();
            bar.song();
            bar.print([&] {
                if (r.end == ExportEnd::Completed) {
                    if (!o.quiet)
                        std::printf("%s -> %s\n", s.source.c_str(), r.output_path.c_str());
                    std::fflush(stdout);
                } else if (r.end == ExportEnd::Failed) {
                    std::fprintf(stderr, "%s: %s: %s\n", NAME, s.source.c_str(), r.failure.c_str());
                    failed.store(true);
                }
            });
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < jobs; ++j)
        threads.emplace_back(worker, j);
    worker(0);
    for (std::thread& t : threads)
        t.join();
    bar.clear();

    if (stop.load()) {
        std::fprintf(stderr, "%s: stopped; unfinished songs were not written\n", NAME);
        return EXIT_FAILED;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return EXIT_FAILED;
    return any_failed || failed.load() ? EXIT_FAILED : EXIT_OK;
}

}  // namespace zv::cli
