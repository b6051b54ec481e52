// The ID3v1 tag an exported MP3 gets: the source's tag with the album and title prefixes and
// the encoder mark in the comment.
#pragma once

#include <string>
#include <string_view>

#include "sources/id3v1.h"
#include "sources/tag_text.h"

namespace zv {

inline constexpr const char* ENCODER_MARK = "ZEL_V3.04.03";
constexpr size_t ID3V1_COMMENT_OFFSET = 97;

// The encoding the tag's texts use: UTF-8 when title, artist and album are all valid UTF-8,
// else CP932 when all are valid CP932, else Latin-1.
TagEncoding tag_text_encoding(const Id3v1Tag& tag);

// prefix (UTF-8) converted to the tag's encoding ("?" for what it cannot hold), followed by
// the field's text, cut to 30 bytes without splitting a character of that encoding.
void prefix_tag_field(Id3v1Tag& tag, size_t offset, std::string_view prefix_utf8,
                      TagEncoding encoding);

// The exported tag; only meaningful when source.present().
Id3v1Tag build_export_tag(const Id3v1Tag& source, std::string_view album_prefix_utf8,
                          std::string_view title_prefix_utf8);

// Appends the 128 bytes to the file; false when it cannot be opened or written.
bool append_id3v1(const std::string& path, const Id3v1Tag& tag);

}  // namespace zv
