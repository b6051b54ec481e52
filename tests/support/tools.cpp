#include "tests/support/tools.h"

#include <cstdlib>

namespace zv::test {

bool tool_available(const std::string& name) {
    return std::system(("command -v " + shell_quote(name) + " >/dev/null 2>&1").c_str()) == 0;
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool run_to_file(const std::string& command, const std::string& out_path) {
    return std::system((command + " > " + shell_quote(out_path) + " 2>/dev/null").c_str()) == 0;
}

std::string shell_quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace zv::test
