// The one option parser of every zvmp3-cli command. A command lists its options; the parser
// gives back options and operands in command-line order, so that options which change
// settings can take effect in the order they were given.
//
// Spellings: "--name VALUE", "--name=VALUE", "-n VALUE", "-nVALUE" ("-j1"); "--" ends the
// options; "-" alone is an operand. Every command also takes -h/--help and -v/--verbose.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/language.h"

namespace zv::cli {

enum class ArgKind {
    Flag,   // takes no value
    Value,  // takes a value, which may be empty ("--affix ''")
    Path    // takes a file or folder name, never empty
};

struct OptionRow {
    int id;                 // the command's own number for it (>= 0)
    const char* long_name;  // "--jobs"
    char short_name;        // 'j', or 0
    ArgKind kind;
};

// Ids of the options every command takes.
constexpr int OPT_HELP = -1;
constexpr int OPT_VERBOSE = -2;
constexpr int OPERAND = -100;

struct ParsedArg {
    int id = OPERAND;
    std::string value;  // the option's value, or the operand
    std::string name;   // the option as spelled ("--jobs", "-j")
};

struct ParsedArgs {
    std::vector<ParsedArg> args;  // in command-line order
    bool help = false;
    bool verbose = false;
    const Message* error = nullptr;  // a usage error, with error_arg in its "%s"
    std::string error_arg;
};

// argv[0] is the command's name and is skipped. more: a second table (SETTINGS_OPTIONS).
ParsedArgs parse_args(int argc, char** argv, std::span<const OptionRow> options,
                      std::span<const OptionRow> more = {});

// A whole decimal number in lo..hi.
bool parse_int(const std::string& text, long lo, long hi, long& value);

// A text for one field of a tab-separated line: tab, newline, carriage return and backslash
// written as \t, \n, \r and \\.
std::string tsv_field(std::string_view text);

}  // namespace zv::cli
