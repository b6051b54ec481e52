// zvmp3-cli params: load, change, save and show the values a state or parameter file holds.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/commands.h"
#include "cli/settings_steps.h"
#include "settings/param_fields.h"
#include "settings/settings_file.h"

namespace zv::cli {
namespace {

void print_help() {
    std::printf(
        "Usage: zvmp3-cli params [SETTINGS]... [--save FILE.zv3] [--show]\n"
        "Starts from the program's start-up values, takes the settings options in the order\n"
        "given, then saves a parameter file and prints every stored field as 'name = value'\n"
        "lines in file order.\n"
        "\n"
        "%s"
        "\n"
        "  --save FILE      write the values as a parameter file (1899 bytes)\n"
        "  --show           print every stored field (the default when --save is not given)\n"
        "  -v, --verbose    (no effect here)\n"
        "  -h, --help       show this help\n"
        "\n"
        "A state file also sets the export affix, the noise gate and the gate thresholds; a\n"
        "parameter file leaves those alone.\n"
        "Exit status: 0 success, 1 a file could not be read or written, 2 usage error.\n",
        SETTINGS_OPTIONS_HELP);
}

constexpr int OPT_SAVE = 1;
constexpr int OPT_SHOW = 2;

constexpr OptionRow OPTIONS[] = {
    {OPT_SAVE, "--save", 0, ArgKind::Path},
    {OPT_SHOW, "--show", 0, ArgKind::Flag},
};

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
    const CliOutput out("params");
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS, SETTINGS_OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        print_help();
        return EXIT_OK;
    }
    SettingsSteps steps;
    std::string save_path;
    bool show = false;
    for (const ParsedArg& a : parsed.args) {
        if (const int taken = steps.take(a, out); taken >= 0) {
            if (taken != EXIT_OK) {
                return taken;
            }
        } else if (a.id == OPT_SAVE) {
            if (!save_path.empty()) {
                return out.usage(MSG_GIVE_ONCE, a.name);
            }
            save_path = a.value;
        } else if (a.id == OPT_SHOW) {
            show = true;
        } else {
            return out.usage(MSG_UNEXPECTED_ARGUMENT, a.value);
        }
    }
    if (save_path.empty()) {
        show = true;
    }

    OwnedProgramState owned;
    ProgramState s = owned.view();
    processor_startup(*owned.processor);
    if (const int status = steps.apply(s, out); status != EXIT_OK) {
        return status;
    }
    if (!save_path.empty()) {
        const SaveResult r = save_settings_file(s, save_path);
        if (!r.ok) {
            out.error(r.error);
            return EXIT_FAILED;
        }
    }
    if (show) {
        for (const ParamField& f : param_fields()) {
            std::printf("%s = %s\n", f.name.c_str(), printable(get_param_field(s, f)).c_str());
        }
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            out.error(MSG_CANNOT_WRITE_OUTPUT);
            return EXIT_FAILED;
        }
    }
    return EXIT_OK;
}

}  // namespace zv::cli
