#include "cli/cli_args.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "cli/cli_messages.h"

namespace zv::cli {
namespace {

constexpr OptionRow COMMON_OPTIONS[] = {
    {OPT_HELP, "--help", 'h', ArgKind::Flag},
    {OPT_VERBOSE, "--verbose", 'v', ArgKind::Flag},
};

const OptionRow* find_option(std::initializer_list<std::span<const OptionRow>> tables,
                             std::string_view long_name, char short_name) {
    for (std::span<const OptionRow> table : tables) {
        for (const OptionRow& o : table) {
            if (long_name.empty() ? o.short_name != 0 && o.short_name == short_name
                                  : long_name == o.long_name)
                return &o;
        }
    }
    return nullptr;
}

}  // namespace

ParsedArgs parse_args(int argc, char** argv, std::span<const OptionRow> options,
                      std::span<const OptionRow> more) {
    const auto tables = {options, more, std::span<const OptionRow>(COMMON_OPTIONS)};
    ParsedArgs out;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            out.args.push_back({OPERAND, arg, {}});
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        const OptionRow* option = nullptr;
        std::string name;
        std::string value;
        bool have_value = false;
        if (arg[1] == '-') {
            const size_t eq = arg.find('=');
            name = arg.substr(0, eq);
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                have_value = true;
            }
            option = find_option(tables, name, 0);
        } else {
            name = arg.substr(0, 2);
            option = find_option(tables, {}, arg[1]);
            if (arg.size() > 2) {
                value = arg.substr(2);
                have_value = true;
            }
        }
        auto fail = [&](const Message& m) {
            out.error = &m;
            out.error_arg = name;
            return out;
        };
        if (option == nullptr)
            return fail(MSG_UNKNOWN_OPTION);
        if (option->kind == ArgKind::Flag) {
            if (have_value)
                return fail(MSG_TAKES_NO_VALUE);
        } else if (!have_value) {
            if (i + 1 >= argc)
                return fail(option->kind == ArgKind::Path ? MSG_NEEDS_FILE : MSG_NEEDS_VALUE);
            value = argv[++i];
        }
        if (option->kind == ArgKind::Path && value.empty())
            return fail(MSG_EMPTY_PATH);
        if (option->id == OPT_HELP) {
            out.help = true;
        } else if (option->id == OPT_VERBOSE) {
            out.verbose = true;
        } else {
            out.args.push_back({option->id, value, name});
        }
    }
    return out;
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

std::string tsv_field(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace zv::cli
