#include "sources/song_tags.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "sources/tag_text.h"

namespace zv {
namespace {

void put_field(Id3v1Tag& slot, size_t offset, const std::string& text) {
    const std::string_view cut = cut_at_width(text, detect_tag_encoding(text), ID3V1_FIELD_BYTES);
    std::memcpy(slot.bytes.data() + offset, cut.data(), cut.size());
}

std::string field_utf8(const Id3v1Tag& slot, size_t offset) {
    std::string_view bytes = slot.field_text(offset);
    while (!bytes.empty() && bytes.back() == ' ') {
        bytes.remove_suffix(1);
    }
    return tag_bytes_to_utf8(bytes, detect_tag_encoding(bytes));
}

}  // namespace

int track_number_of(const std::string& text) {
    int value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop == begin || (stop != end && *stop != '/')) {
        return 0;
    }
    return value >= 1 && value <= 255 ? value : 0;
}

Id3v1Tag id3v1_slot_of(const SongTags& tags) {
    Id3v1Tag slot;
    if (!tags.any()) {
        return slot;
    }
    std::memcpy(slot.bytes.data(), "TAG", 3);
    put_field(slot, ID3V1_TITLE_OFFSET, tags.title);
    put_field(slot, ID3V1_ARTIST_OFFSET, tags.artist);
    put_field(slot, ID3V1_ALBUM_OFFSET, tags.album);
    slot.bytes[ID3V1_TRACK_OFFSET] = static_cast<uint8_t>(std::clamp(tags.track, 0, 255));
    return slot;
}

SongTags tags_of_id3v1(const Id3v1Tag& slot) {
    SongTags tags;
    if (!slot.present()) {
        return tags;
    }
    tags.title = field_utf8(slot, ID3V1_TITLE_OFFSET);
    tags.artist = field_utf8(slot, ID3V1_ARTIST_OFFSET);
    tags.album = field_utf8(slot, ID3V1_ALBUM_OFFSET);
    // ID3v1.1 keeps the track in the comment's last byte after a zero byte.
    if (slot.bytes[ID3V1_TRACK_OFFSET - 1] == 0) {
        tags.track = slot.bytes[ID3V1_TRACK_OFFSET];
    }
    return tags;
}

}  // namespace zv
