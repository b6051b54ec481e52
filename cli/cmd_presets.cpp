// zvmp3-cli presets: the eleven factory presets in menu order.
#include <cstdio>
#include <cstring>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "engine/factory_presets.h"

namespace zv::cli {
namespace {

constexpr int OPT_TSV = 1;
constexpr OptionRow OPTIONS[] = {{OPT_TSV, "--tsv", 0, ArgKind::Flag}};

}  // namespace

int run_presets(int argc, char** argv) {
    const CliOutput out("presets");
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        std::printf(
            "Usage: zvmp3-cli presets [--tsv]\n"
            "Lists the eleven factory presets in menu order: id, menu text, stored text.\n"
            "\n"
            "  --tsv      tab-separated, one preset per line after a header line\n"
            "  -h, --help show this help\n");
        return EXIT_OK;
    }
    bool tsv = false;
    for (const ParsedArg& a : parsed.args) {
        if (a.id != OPT_TSV) {
            return out.usage(MSG_UNEXPECTED_ARGUMENT, a.value);
        }
        tsv = true;
    }

    const auto& list = factory_preset_list();
    if (tsv) {
        std::printf("id\tmenu_text\tstored_text\n");
        for (const FactoryPresetInfo& p : list) {
            std::printf("%d\t%s\t%s\n", p.id, p.menu_text, p.stored_text);
        }
    } else {
        int menu_width = static_cast<int>(std::strlen("MENU TEXT"));
        for (const FactoryPresetInfo& p : list) {
            const int w = static_cast<int>(std::strlen(p.menu_text));
            menu_width = w > menu_width ? w : menu_width;
        }
        std::printf("%-4s  %-*s  %s\n", "ID", menu_width, "MENU TEXT", "STORED TEXT");
        for (const FactoryPresetInfo& p : list) {
            std::printf("%-4d  %-*s  %s\n", p.id, menu_width, p.menu_text, p.stored_text);
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        out.error(MSG_CANNOT_WRITE_OUTPUT);
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

}  // namespace zv::cli
