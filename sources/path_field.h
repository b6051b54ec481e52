// Paths are stored in 256-byte fields (the playlist and its file). A path that does not fit
// is refused, never cut: a cut path would name another file.
#pragma once

#include <cstddef>
#include <string_view>

namespace zv {

constexpr size_t PATH_FIELD_BYTES = 256;

// True when the path and its terminating zero fit the field and it holds no zero byte.
bool fits_path_field(std::string_view path);

}  // namespace zv
