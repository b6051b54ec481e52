// ID3v1 tags from arbitrary bytes, and every text operation the view and the export run on
// their fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sources/id3v1.h"
#include "sources/tag_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zv::Id3v1Tag tag;
    zv::read_id3v1(data, size, tag);
    for (size_t offset :
         {zv::ID3V1_TITLE_OFFSET, zv::ID3V1_ARTIST_OFFSET, zv::ID3V1_ALBUM_OFFSET}) {
        const uint8_t* field = tag.bytes.data() + offset;
        std::string shown = zv::tag_field_display_text(field, zv::ID3V1_FIELD_BYTES);
        if (!zv::is_valid_utf8(shown)) {
            std::abort();
        }
        zv::escape_tag_field(field, zv::ID3V1_FIELD_BYTES);
        if (tag.field_text(offset).size() > zv::ID3V1_FIELD_BYTES) {
            std::abort();
        }
    }
    // The raw input as text to store in each encoding, cut at every width.
    std::string_view text(reinterpret_cast<const char*>(data), size < 200 ? size : 200);
    for (zv::TagEncoding enc :
         {zv::TagEncoding::Utf8, zv::TagEncoding::Cp932, zv::TagEncoding::Latin1}) {
        std::string stored = zv::utf8_to_tag_encoding(text, enc);
        if (enc == zv::TagEncoding::Utf8 && !zv::is_valid_utf8(stored)) {
            std::abort();
        }
        for (size_t width = 0; width <= 31 && width <= stored.size(); ++width) {
            std::string_view cut = zv::cut_at_width(stored, enc, width);
            if (cut.size() > width || (enc == zv::TagEncoding::Utf8 && !zv::is_valid_utf8(cut))) {
                std::abort();
            }
        }
    }
    return 0;
}
