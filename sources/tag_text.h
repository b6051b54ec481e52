// Text of ID3v1 fields. Tags keep the bytes as stored; for display they are read as UTF-8
// when valid, else as CP932 when valid, else as Latin-1. The export writes tag texts back in
// the encoding the source tag used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zv {

enum class TagEncoding { Utf8, Cp932, Latin1 };

bool is_valid_utf8(std::string_view bytes);
bool is_valid_cp932(std::string_view bytes);
TagEncoding detect_tag_encoding(std::string_view bytes);

// The field's bytes up to the first zero (at most n), as UTF-8 text for display.
std::string tag_field_display_text(const uint8_t* field, size_t n);
// Stored bytes of the given encoding as UTF-8 text.
std::string tag_bytes_to_utf8(std::string_view bytes, TagEncoding encoding);
// UTF-8 text in the given encoding; each character it cannot represent (and each invalid
// UTF-8 byte) becomes "?".
std::string utf8_to_tag_encoding(std::string_view utf8, TagEncoding encoding);
// The longest prefix of at most `width` bytes that ends on a character boundary of the
// encoding (a CP932 double-byte character or a UTF-8 sequence is never split).
std::string_view cut_at_width(std::string_view bytes, TagEncoding encoding, size_t width);

// The tab-separated form of a field: bytes up to the first zero (at most n), printable ASCII
// as is (blanks included), a backslash and every other byte as \xNN.
std::string escape_tag_field(const uint8_t* field, size_t n);

}  // namespace zv
