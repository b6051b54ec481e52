#include "export/id3_tag_build.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zv {
namespace {

Id3v1Tag make_tag(std::string title, std::string album) {
    Id3v1Tag t;
    std::memcpy(t.bytes.data(), "TAG", 3);
    std::memcpy(t.bytes.data() + ID3V1_TITLE_OFFSET, title.data(),
                std::min<size_t>(30, title.size()));
    std::memcpy(t.bytes.data() + ID3V1_ALBUM_OFFSET, album.data(),
                std::min<size_t>(30, album.size()));
    for (size_t i = 0; i < 30; ++i)
        t.bytes[ID3V1_COMMENT_OFFSET + i] = static_cast<uint8_t>('a' + i % 26);
    t.bytes[125] = 0;
    t.bytes[126] = 7;   // track
    t.bytes[127] = 13;  // genre
    return t;
}

std::string field(const Id3v1Tag& t, size_t offset) {
    return std::string(reinterpret_cast<const char*>(t.bytes.data() + offset), 30);
}

TEST(TagBuild, AlbumPrefixIsPutBeforeTheAlbum) {
    Id3v1Tag out = build_export_tag(make_tag("Song", "Greatest Hits"), "Live-", "");
    EXPECT_EQ(out.album(), "Live-Greatest Hits");
    EXPECT_EQ(out.title(), "Song");
}

TEST(TagBuild, LongPrefixIsCutToTheFieldWidth) {
    std::string prefix(31, 'P');
    Id3v1Tag out = build_export_tag(make_tag("T", std::string(30, 'A')), prefix, prefix);
    EXPECT_EQ(field(out, ID3V1_ALBUM_OFFSET), std::string(30, 'P'));
    EXPECT_EQ(field(out, ID3V1_TITLE_OFFSET), std::string(30, 'P'));
    EXPECT_EQ(out.bytes[ID3V1_ARTIST_OFFSET], 0);  // the next field is untouched
}

TEST(TagBuild, Cp932CharacterIsNotSplitAtTheLastByte) {
    // "あい" in CP932 after 29 ASCII bytes: the lead byte would land on byte 29.
    Id3v1Tag src = make_tag("\x82\xA0\x82\xA2", "Album");
    Id3v1Tag out = build_export_tag(src, "", std::string(29, 'x'));
    EXPECT_EQ(field(out, ID3V1_TITLE_OFFSET), std::string(29, 'x') + '\0');
}

TEST(TagBuild, Utf8CharacterIsNotSplit) {
    Id3v1Tag src = make_tag("\xE3\x81\x82\xE3\x81\x84", "Album");  // "あい"
    Id3v1Tag out = build_export_tag(src, "", std::string(28, 'x'));
    EXPECT_EQ(field(out, ID3V1_TITLE_OFFSET), std::string(28, 'x') + std::string(2, '\0'));
    Id3v1Tag out2 = build_export_tag(src, "", std::string(27, 'x'));
    EXPECT_EQ(field(out2, ID3V1_TITLE_OFFSET), std::string(27, 'x') + "\xE3\x81\x82");
}

TEST(TagBuild, PrefixIsConvertedToTheTagsEncoding) {
    Id3v1Tag cp932 = make_tag("\x82\xA0", "x");
    Id3v1Tag out = build_export_tag(cp932, "", "ライブ ");
    EXPECT_EQ(out.title(), "\x83\x89\x83\x43\x83\x75 \x82\xA0");
    Id3v1Tag latin1 = make_tag("Caf\xE9", "x");
    Id3v1Tag out2 = build_export_tag(latin1, "", "Ü日-");
    EXPECT_EQ(out2.title(), "\xDC?-Caf\xE9");
}

TEST(TagBuild, CommentCarriesTheMarkThenTheSourceBytes) {
    Id3v1Tag src = make_tag("T", "A");
    Id3v1Tag out = build_export_tag(src, "", "");
    EXPECT_EQ(std::memcmp(out.bytes.data() + ID3V1_COMMENT_OFFSET, "ZEL_V3.04.03\0", 13), 0);
    for (size_t i = 13; i < 30; ++i)
        EXPECT_EQ(out.bytes[ID3V1_COMMENT_OFFSET + i], src.bytes[ID3V1_COMMENT_OFFSET + i]);
    EXPECT_EQ(out.track(), 7);
    EXPECT_EQ(out.bytes[127], 13);
    EXPECT_EQ(std::memcmp(out.bytes.data() + 93, src.bytes.data() + 93, 4), 0);  // year
}

}  // namespace
}  // namespace zv
