// Running the reference tools (sox, lame, mpg123, ...) from a test.
#pragma once

#include <string>

namespace zv::test {

bool tool_available(const std::string& name);
// Runs a shell command quietly; true when it exits with 0.
bool run(const std::string& command);
// Runs a command whose standard output goes to out_path.
bool run_to_file(const std::string& command, const std::string& out_path);
// The text in single quotes for a shell command line.
std::string shell_quote(const std::string& text);

}  // namespace zv::test
