#include "cli/cli_output.h"

#include <cstdio>

#include "cli/cli_messages.h"
#include "cli/commands.h"

namespace zv::cli {

CliOutput::CliOutput(std::string command, Language language)
    : command_(std::move(command)),
      name_(command_.empty() ? "zvmp3-cli" : "zvmp3-cli " + command_),
      language_(language) {}

void CliOutput::error(const std::string& text) const {
    std::fprintf(stderr, "%s: %s\n", name_.c_str(), text.c_str());
}

void CliOutput::warning(const std::string& text) const {
    std::fprintf(stderr, "%s: %s%s\n", name_.c_str(), zv::text(MSG_WARNING_PREFIX, language_),
                 text.c_str());
}

int CliOutput::usage(const std::string& text) const {
    std::fprintf(stderr, "%s: %s\n%s\n", name_.c_str(), text.c_str(),
                 tr(MSG_TRY_HELP,
                    command_.empty() ? "zvmp3-cli --help" : "zvmp3-cli " + command_ + " --help")
                     .c_str());
    return EXIT_USAGE;
}

}  // namespace zv::cli
