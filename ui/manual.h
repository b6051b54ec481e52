// Where the user's manual is found: help/index.html in the program folder (a portable set-up
// keeps it there), beside the program, in the installed copy, and, for a program run from its
// build folder, in the source tree.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "text/language.h"

namespace zv {

// The places searched, in order.
std::vector<std::filesystem::path> manual_candidates(const std::filesystem::path& program_folder,
                                                     const std::filesystem::path& program_dir);
// The first place that holds the manual.
std::optional<std::filesystem::path> find_manual(const std::filesystem::path& program_folder,
                                                 const std::filesystem::path& program_dir);

// The page to open for the window's language: the English edition (index_en.html beside the
// found index.html) when the window speaks English and it is there, else the page itself.
std::filesystem::path manual_page_for(const std::filesystem::path& index, Language language);

}  // namespace zv
