// A private folder under the system temp folder for one test, removed with everything in it
// when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zv::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of an entry inside the folder, as the string the readers and writers take.
    std::string operator/(std::string_view name) const;

private:
    std::filesystem::path path_;
};

// The names of a folder's entries, sorted.
std::vector<std::string> folder_listing(const std::filesystem::path& folder);

// The old name of the settings tests.
using TempDir = ScratchDir;

}  // namespace zv::test
