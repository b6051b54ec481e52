#include "cli/cli_args.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zv::cli {

bool take_option(int argc, char** argv, int& i, const char* opt, std::string& value,
                 bool& missing) {
    const size_t n = std::strlen(opt);
    if (std::strncmp(argv[i], opt, n) != 0) {
        return false;
    }
    if (argv[i][n] == '=') {
        value = argv[i] + n + 1;
        missing = value.empty();
        return true;
    }
    if (argv[i][n] != '\0') {
        return false;
    }
    missing = i + 1 >= argc;
    if (!missing) {
        value = argv[++i];
    }
    return true;
}

bool parse_int(const std::string& text, long lo, long hi, long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace zv::cli
