// Whole files as bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace zv::test {

// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> read_bytes(const std::filesystem::path& path);
// Creates or replaces the file; aborts the test program when it cannot be written.
void write_bytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);
void write_bytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void write_text(const std::filesystem::path& path, std::string_view text);

}  // namespace zv::test
