#include "tests/support/file_bytes.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zv::test {

std::vector<uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

void write_bytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    write_bytes(path, std::span<const uint8_t>(bytes));
}

void write_text(const std::filesystem::path& path, std::string_view text) {
    write_bytes(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

}  // namespace zv::test
