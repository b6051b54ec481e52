#include "sources/tag_text.h"

#include <gtest/gtest.h>

#include "sources/path_field.h"
#include "sources/text_cut.h"

namespace zv {
namespace {

std::string display(std::string_view bytes, size_t n = 30) {
    std::string field(bytes);
    field.resize(std::max(field.size(), n), '\0');
    return tag_field_display_text(reinterpret_cast<const uint8_t*>(field.data()), n);
}

TEST(TagText, DisplayPrefersUtf8ThenCp932ThenLatin1) {
    EXPECT_EQ(display("Plain ASCII  "), "Plain ASCII  ");
    EXPECT_EQ(display("Caf\xc3\xa9 \xe6\x98\xa5"), "Café 春");
    // 春の海 in CP932 is not valid UTF-8.
    EXPECT_EQ(display("\x8f\x74\x82\xcc\x8a\x43"), "春の海");
    // 0xE9 0x20 is neither UTF-8 nor CP932 (0x20 cannot trail a lead byte): Latin-1.
    EXPECT_EQ(display("Caf\xe9 au lait"), "Café au lait");
    EXPECT_EQ(display("\xff\xfe"), "ÿþ");
    // Only bytes before the first zero count, and never more than n.
    EXPECT_EQ(display(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(display("abcdef", 3), "abc");
}

TEST(TagText, DetectorRejectsMalformedUtf8) {
    EXPECT_NE(detect_tag_encoding("\xc0\xaf"), TagEncoding::Utf8);      // overlong '/'
    EXPECT_NE(detect_tag_encoding("\xed\xa0\x80"), TagEncoding::Utf8);  // surrogate
    EXPECT_EQ(detect_tag_encoding("\xe9 "), TagEncoding::Latin1);
    EXPECT_EQ(detect_tag_encoding("\xe6\x98"), TagEncoding::Cp932);  // cut sequence
    EXPECT_EQ(detect_tag_encoding(""), TagEncoding::Utf8);
}

TEST(TagText, ConversionToTagEncodingMarksWhatItCannotHold) {
    EXPECT_EQ(utf8_to_tag_encoding("Café 春", TagEncoding::Latin1), "Caf\xe9 ?");
    EXPECT_EQ(utf8_to_tag_encoding("春の海 Ω", TagEncoding::Cp932),
              "\x8f\x74\x82\xcc\x8a\x43 \x83\xb6");
    EXPECT_EQ(utf8_to_tag_encoding("é😀", TagEncoding::Cp932), "??");
    EXPECT_EQ(utf8_to_tag_encoding("ok\xff", TagEncoding::Utf8), "ok?");
}

TEST(TagText, CutsNeverSplitACharacter) {
    EXPECT_EQ(cut_at_width("abc\xe6\x98\xa5", TagEncoding::Utf8, 5), "abc");
    EXPECT_EQ(cut_at_width("abc\xe6\x98\xa5", TagEncoding::Utf8, 6), "abc\xe6\x98\xa5");
    EXPECT_EQ(cut_at_width("a\x8f\x74\x82\xcc", TagEncoding::Cp932, 4), "a\x8f\x74");
    EXPECT_EQ(cut_at_width("a\x8f\x74\x82\xcc", TagEncoding::Cp932, 5), "a\x8f\x74\x82\xcc");
    // A half-width katakana (0xB1) is one byte in CP932.
    EXPECT_EQ(cut_at_width("\xb1\xb2\xb3", TagEncoding::Cp932, 2), "\xb1\xb2");
    EXPECT_EQ(cut_at_width("\xe9\xe9\xe9", TagEncoding::Latin1, 2), "\xe9\xe9");
}

TEST(TagText, EscapedFieldKeepsPrintableAsciiAndBlanks) {
    const uint8_t field[30] = {'a', '\\', ' ', 0x8f, '\t', 'z', ' ', ' ', 0, 'x'};
    EXPECT_EQ(escape_tag_field(field, 30), "a\\x5c \\x8f\\x09z  ");
}

TEST(PathField, LongPathsAreRefusedNotCut) {
    EXPECT_TRUE(fits_path_field("/music/song.wav"));
    EXPECT_TRUE(fits_path_field(std::string(255, 'a')));
    EXPECT_FALSE(fits_path_field(std::string(256, 'a')));
    EXPECT_FALSE(fits_path_field(""));
    EXPECT_FALSE(fits_path_field(std::string("a\0b", 3)));
}

// The one UTF-8 cut (settings texts, device names, tag texts): never inside a character.
TEST(TextCut, Utf8CutNeverSplitsACharacter) {
    const std::string s = "a\xc3\xa9\xe6\x98\xa5\xf0\x9f\x8e\xb5";  // a é 春 🎵: 1+2+3+4 bytes
    const size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (size_t max = 0; max < std::size(expected); ++max) {
        EXPECT_EQ(utf8_cut_length(s, max), expected[max]) << "limit " << max;
    }
    EXPECT_EQ(utf8_cut_length("", 5), 0u);
    EXPECT_EQ(utf8_cut_length("abc", 3), 3u);
}

}  // namespace
}  // namespace zv
