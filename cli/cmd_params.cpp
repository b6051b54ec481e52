// zvmp3-cli params: load, change, save and show the values a state or parameter file holds.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_args.h"
#include "cli/commands.h"
#include "engine/factory_presets.h"
#include "settings/param_fields.h"
#include "settings/settings_file.h"

namespace zv::cli {
namespace {

constexpr char NAME[] = "zvmp3-cli params";

void print_help() {
    std::printf(
        "Usage: zvmp3-cli params [--state FILE.prf | --params FILE.zv3] [--preset ID]\n"
        "                        [--set FIELD=VALUE]... [--save FILE.zv3] [--show]\n"
        "Starts from the program's start-up values, then in this order: loads a state file or a\n"
        "parameter file, applies a factory preset, sets fields by name, saves a parameter file\n"
        "and prints every stored field as 'name = value' lines in file order.\n"
        "\n"
        "  --state FILE     load FILE as the state file (export affix, noise gate and gate\n"
        "                   thresholds included)\n"
        "  --params FILE    load FILE as a parameter file (those three are left alone)\n"
        "  --preset ID      apply factory preset ID (see 'zvmp3-cli presets')\n"
        "  --set FIELD=VALUE  set one stored field, e.g. bands[1].gain_db=12 (band 1 is the\n"
        "                   lowest), agc_drive_db=20, noise_gate=1, final_lpf=2,\n"
        "                   mp3_bitrate_kbps=192; values are range-checked; may be repeated\n"
        "  --save FILE      write the values as a parameter file (1899 bytes)\n"
        "  --show           print every stored field (the default when --save is not given)\n"
        "  -h, --help       show this help\n"
        "\n"
        "Exit status: 0 success, 1 a file could not be read or written, 2 usage error.\n");
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry 'zvmp3-cli params --help'.\n", NAME, message.c_str());
    return EXIT_USAGE;
}

struct Options {
    std::string load_path;
    SettingsFileKind load_kind = SettingsFileKind::Parameters;
    int preset_id = 0;
    std::vector<std::pair<const ParamField*, std::string>> sets;
    std::string save_path;
    bool show = false;
};

// Returns -1 when the arguments are fine, else the exit status.
int parse(int argc, char** argv, Options& o) {
    bool have_load = false, have_preset = false, have_save = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            print_help();
            return EXIT_OK;
        }
        if (arg == "--show") {
            o.show = true;
            continue;
        }
        std::string value;
        bool missing = false;
        const char* opt = argv[i];
        if (take_option(argc, argv, i, "--state", value, missing) ||
            take_option(argc, argv, i, "--params", value, missing)) {
            if (missing) {
                return usage_error(std::string(opt) + " needs a file");
            }
            if (have_load) {
                return usage_error("give at most one of --state and --params");
            }
            have_load = true;
            o.load_path = value;
            o.load_kind = std::strncmp(opt, "--state", 7) == 0 ? SettingsFileKind::State
                                                               : SettingsFileKind::Parameters;
        } else if (take_option(argc, argv, i, "--preset", value, missing)) {
            if (missing) {
                return usage_error("--preset needs an id");
            }
            if (have_preset) {
                return usage_error("give --preset once");
            }
            have_preset = true;
            int id = 0;
            const auto r = std::from_chars(value.data(), value.data() + value.size(), id);
            if (r.ec == std::errc() && r.ptr == value.data() + value.size() &&
                is_factory_preset_id(id)) {
                o.preset_id = id;
            }
            if (o.preset_id == 0) {
                return usage_error("unknown preset id '" + value + "' (see 'zvmp3-cli presets')");
            }
        } else if (take_option(argc, argv, i, "--set", value, missing)) {
            const std::size_t eq = value.find('=');
            if (missing || eq == std::string::npos || eq == 0) {
                return usage_error("--set needs FIELD=VALUE");
            }
            const ParamField* f = find_param_field(std::string_view(value).substr(0, eq));
            if (f == nullptr) {
                return usage_error("unknown field '" + value.substr(0, eq) +
                                   "' (see 'zvmp3-cli params --show' for the names)");
            }
            o.sets.emplace_back(f, value.substr(eq + 1));
        } else if (take_option(argc, argv, i, "--save", value, missing)) {
            if (missing) {
                return usage_error("--save needs a file");
            }
            if (have_save) {
                return usage_error("give --save once");
            }
            have_save = true;
            o.save_path = value;
        } else {
            return usage_error("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (!have_save) {
        o.show = true;
    }
    return -1;
}

// One line per field whatever a text holds: control bytes are shown as \xNN.
std::string printable(const std::string& value) {
    std::string out;
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

int run_params(int argc, char** argv) {
    Options o;
    if (const int status = parse(argc, argv, o); status >= 0) {
        return status;
    }

    OwnedProgramState owned;
    ProgramState s = owned.view();
    processor_startup(*owned.processor);

    if (!o.load_path.empty()) {
        const BeepHook warn = [&] {
            std::fprintf(stderr, "%s: warning: %s is not a settings file (wrong magic)\n", NAME,
                         o.load_path.c_str());
        };
        switch (load_settings_file(s, o.load_path, o.load_kind, warn)) {
            case LoadResult::Loaded:
                break;
            case LoadResult::Missing:
                std::fprintf(stderr, "%s: cannot open %s (missing or unreadable)\n", NAME,
                             o.load_path.c_str());
                return EXIT_FAILED;
            case LoadResult::BadMagic:
                std::fprintf(stderr, "%s: nothing loaded\n", NAME);
                return EXIT_FAILED;
        }
    }
    if (o.preset_id != 0) {
        apply_factory_preset(*owned.processor, o.preset_id);
    }
    for (const auto& [field, value] : o.sets) {
        std::string error;
        if (!set_param_field(s, *field, value, error)) {
            return usage_error(error);
        }
    }
    if (!o.save_path.empty()) {
        const SaveResult r = save_settings_file(s, o.save_path);
        if (!r.ok) {
            std::fprintf(stderr, "%s: %s\n", NAME, r.error.c_str());
            return EXIT_FAILED;
        }
    }
    if (o.show) {
        for (const ParamField& f : param_fields()) {
            std::printf("%s = %s\n", f.name.c_str(), printable(get_param_field(s, f)).c_str());
        }
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "%s: cannot write the values\n", NAME);
            return EXIT_FAILED;
        }
    }
    return EXIT_OK;
}

}  // namespace zv::cli
