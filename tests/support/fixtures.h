// The songs made by scripts/make-fixtures in the build tree, and their expectations.tsv: what a
// correct reader finds in each.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zv::test {

// The folder of the generated songs (ZV_FIXTURE_DIR in the environment overrides it).
std::string fixture_dir();
std::string fixture(std::string_view name);

// One row of a tab-separated expectations file, by column name. Missing trailing cells read
// as empty texts.
using ExpectationRow = std::map<std::string, std::string>;
std::vector<ExpectationRow> read_expectations(const std::string& path);
// The generated set's rows.
std::vector<ExpectationRow> fixture_expectations();
// The row of one generated file; an empty row when it has none.
ExpectationRow fixture_row(std::string_view name);

}  // namespace zv::test
