#include <cstdio>
#include <cstring>

#include "cli/commands.h"

namespace zv::cli {

int run_presets(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: zvmp3-cli presets\nLists the factory presets: id, menu text, "
                "stored text.\n");
            return EXIT_OK;
        }
        std::fprintf(stderr, "zvmp3-cli presets: unexpected argument '%s'\n", argv[i]);
        return EXIT_USAGE;
    }
    // Filled in by the engine's preset table.
    return EXIT_OK;
}

}  // namespace zv::cli
