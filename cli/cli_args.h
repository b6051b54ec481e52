// Option parsing shared by the subcommands.
#pragma once

#include <string>

namespace zv::cli {

// Takes "--opt VALUE" or "--opt=VALUE"; false when argv[i] is not opt. missing: no value.
bool take_option(int argc, char** argv, int& i, const char* opt, std::string& value, bool& missing);
// A whole decimal number in lo..hi.
bool parse_int(const std::string& text, long lo, long hi, long& value);

}  // namespace zv::cli
