// The one rule for cutting UTF-8 text to a byte limit (paths, names, tag texts, settings
// texts, device names): never inside a character.
#pragma once

#include <cstddef>
#include <string_view>

namespace zv {

// Length of the longest prefix of text that has at most max_bytes bytes and does not end
// inside a UTF-8 sequence.
std::size_t utf8_cut_length(std::string_view text, std::size_t max_bytes);

}  // namespace zv
