// Writing a whole file so that readers see either the old content or the new one, never a
// half-written file: the bytes go to a temporary name in the same folder, are flushed to the
// disk and renamed over the target.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace zv {

// Returns true on success; on failure the target is untouched, the temporary file is removed
// and error says what went wrong. A read-only target is replaced like any other.
bool write_file_atomically(const std::filesystem::path& target, std::span<const uint8_t> bytes,
                           std::string& error);

}  // namespace zv
