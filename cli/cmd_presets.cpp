#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "engine/factory_presets.h"

namespace zv::cli {

int run_presets(int argc, char** argv) {
    bool tsv = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: zvmp3-cli presets [--tsv]\n"
                "Lists the eleven factory presets in menu order: id, menu text, stored text.\n"
                "\n"
                "  --tsv      tab-separated, one preset per line after a header line\n"
                "  -h, --help show this help\n");
            return EXIT_OK;
        }
        if (std::strcmp(argv[i], "--tsv") == 0) {
            tsv = true;
            continue;
        }
        std::fprintf(stderr, "zvmp3-cli presets: unexpected argument '%s'\n", argv[i]);
        std::fprintf(stderr, "Try 'zvmp3-cli presets --help'.\n");
        return EXIT_USAGE;
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
        std::fprintf(stderr, "zvmp3-cli presets: cannot write the list\n");
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

}  // namespace zv::cli
