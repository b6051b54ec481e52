// The arguments of the commands that look at files one by one (probe, peak, loudness):
// FILE... and --tsv.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_output.h"

namespace zv::cli {

struct FileListArgs {
    bool tsv = false;
    std::vector<std::string> files;
};

// Parses them. Returns the exit status when the command ends here (its help printed, or a
// usage error told), nothing when there are files to look at.
std::optional<int> parse_file_list_args(int argc, char** argv, const CliOutput& out,
                                        void (*print_help)(), FileListArgs& args);

}  // namespace zv::cli
