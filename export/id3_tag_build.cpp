#include "export/id3_tag_build.h"

#include <cstdio>
#include <cstring>

namespace zv {

TagEncoding tag_text_encoding(const Id3v1Tag& tag) {
    const std::string_view texts[] = {tag.title(), tag.artist(), tag.album()};
    bool utf8 = true;
    bool cp932 = true;
    for (std::string_view t : texts) {
        utf8 = utf8 && is_valid_utf8(t);
        cp932 = cp932 && is_valid_cp932(t);
    }
    if (utf8)
        return TagEncoding::Utf8;
    if (cp932)
        return TagEncoding::Cp932;
    return TagEncoding::Latin1;
}

void prefix_tag_field(Id3v1Tag& tag, size_t offset, std::string_view prefix_utf8,
                      TagEncoding encoding) {
    if (prefix_utf8.empty())
        return;
    std::string text = utf8_to_tag_encoding(prefix_utf8, encoding);
    text += tag.field_text(offset);
    std::string_view cut = cut_at_width(text, encoding, ID3V1_FIELD_BYTES);
    std::memset(tag.bytes.data() + offset, 0, ID3V1_FIELD_BYTES);
    std::memcpy(tag.bytes.data() + offset, cut.data(), cut.size());
}

Id3v1Tag build_export_tag(const Id3v1Tag& source, std::string_view album_prefix_utf8,
                          std::string_view title_prefix_utf8) {
    Id3v1Tag tag = source;
    TagEncoding encoding = tag_text_encoding(source);
    prefix_tag_field(tag, ID3V1_ALBUM_OFFSET, album_prefix_utf8, encoding);
    prefix_tag_field(tag, ID3V1_TITLE_OFFSET, title_prefix_utf8, encoding);
    // The mark and its terminating zero cover the first 13 comment bytes; the rest (with an
    // ID3v1.1 track number) stays the source's.
    std::memcpy(tag.bytes.data() + ID3V1_COMMENT_OFFSET, ENCODER_MARK,
                std::strlen(ENCODER_MARK) + 1);
    return tag;
}

bool append_id3v1(const std::string& path, const Id3v1Tag& tag) {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(tag.bytes.data(), 1, tag.bytes.size(), f) == tag.bytes.size();
    if (std::fclose(f) != 0)
        ok = false;
    return ok;
}

}  // namespace zv
