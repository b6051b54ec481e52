// The ID3v1 tag of an MP3 song: the raw 128 bytes at the end of the file, kept as stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zv {

constexpr size_t ID3V1_BYTES = 128;
constexpr size_t ID3V1_FIELD_BYTES = 30;
constexpr size_t ID3V1_TITLE_OFFSET = 3;
constexpr size_t ID3V1_ARTIST_OFFSET = 33;
constexpr size_t ID3V1_ALBUM_OFFSET = 63;
constexpr size_t ID3V1_TRACK_OFFSET = 126;

struct Id3v1Tag {
    std::array<uint8_t, ID3V1_BYTES> bytes{};

    bool present() const { return bytes[0] == 'T' && bytes[1] == 'A' && bytes[2] == 'G'; }
    const uint8_t* title_field() const { return bytes.data() + ID3V1_TITLE_OFFSET; }
    const uint8_t* artist_field() const { return bytes.data() + ID3V1_ARTIST_OFFSET; }
    const uint8_t* album_field() const { return bytes.data() + ID3V1_ALBUM_OFFSET; }
    // A field's stored bytes up to the first zero, at most 30; trailing blanks kept.
    std::string_view title() const { return field_text(ID3V1_TITLE_OFFSET); }
    std::string_view artist() const { return field_text(ID3V1_ARTIST_OFFSET); }
    std::string_view album() const { return field_text(ID3V1_ALBUM_OFFSET); }
    uint8_t track() const { return bytes[ID3V1_TRACK_OFFSET]; }

    std::string_view field_text(size_t offset) const;
};

// Reads the last 128 bytes of the file into the slot when they begin with "TAG", else fills
// the slot with zeros (also for a file shorter than 128 bytes). When the file cannot be
// opened or read the slot is left as it was and false is returned.
bool read_id3v1(const std::string& path, Id3v1Tag& slot);
void read_id3v1(const uint8_t* data, size_t size, Id3v1Tag& slot);

}  // namespace zv
