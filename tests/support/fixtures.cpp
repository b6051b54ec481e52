#include "tests/support/fixtures.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zv::test {

std::string fixture_dir() {
    const char* env = std::getenv("ZV_FIXTURE_DIR");
    return env != nullptr && *env != '\0' ? env : ZV_FIXTURE_DIR;
}

std::string fixture(std::string_view name) {
    return fixture_dir() + "/" + std::string(name);
}

std::vector<ExpectationRow> read_expectations(const std::string& path) {
    std::ifstream in(path);
    std::vector<ExpectationRow> rows;
    std::vector<std::string> head;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) {
            cells.push_back(cell);
        }
        if (head.empty()) {
            head = cells;
            continue;
        }
        ExpectationRow row;
        for (size_t i = 0; i < head.size(); ++i) {
            row[head[i]] = i < cells.size() ? cells[i] : std::string();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ExpectationRow> fixture_expectations() {
    return read_expectations(fixture("expectations.tsv"));
}

ExpectationRow fixture_row(std::string_view name) {
    for (ExpectationRow& row : fixture_expectations()) {
        if (row["file"] == name) {
            return row;
        }
    }
    return {};
}

}  // namespace zv::test
