// Zero-terminated text in fixed arrays, cut without splitting a UTF-8 sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "sources/text_cut.h"  // utf8_cut_length

namespace zv {

// Copies at most N - 1 bytes of text (stopping at its first zero byte) and zero-fills the rest,
// so the array is always terminated inside itself.
template <std::size_t N>
void set_text(std::array<char, N>& field, std::string_view text) {
    static_assert(N > 0);
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos) {
        text = text.substr(0, zero);
    }
    const std::size_t len = utf8_cut_length(text, N - 1);
    field.fill('\0');
    std::memcpy(field.data(), text.data(), len);
}

// The text of a field up to its first zero byte, never past the array's end.
template <std::size_t N>
std::string_view text_of(const std::array<char, N>& field) {
    return std::string_view(field.data(), strnlen(field.data(), N));
}

}  // namespace zv
