#include "cli/file_list_args.h"

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/commands.h"

namespace zv::cli {
namespace {

constexpr int OPT_TSV = 1;
constexpr OptionRow OPTIONS[] = {{OPT_TSV, "--tsv", 0, ArgKind::Flag}};

}  // namespace

std::optional<int> parse_file_list_args(int argc, char** argv, const CliOutput& out,
                                        void (*print_help)(), FileListArgs& args) {
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        print_help();
        return EXIT_OK;
    }
    for (const ParsedArg& a : parsed.args) {
        if (a.id == OPT_TSV) {
            args.tsv = true;
        } else {
            args.files.push_back(a.value);
        }
    }
    if (args.files.empty()) {
        return out.usage(MSG_NO_FILE_GIVEN);
    }
    return std::nullopt;
}

}  // namespace zv::cli
