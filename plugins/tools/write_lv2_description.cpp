// Writes the LV2 bundle's Turtle files into the folder given (run by the build).
#include <cstdio>
#include <string>

#include "plugins/lv2_description.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_lv2_description FOLDER\n");
        return 2;
    }
    std::string why;
    if (!zv::plugin::write_lv2_description(argv[1], why)) {
        std::fprintf(stderr, "write_lv2_description: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
