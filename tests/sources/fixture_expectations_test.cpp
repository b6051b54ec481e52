// Every generated song: what a correct reader finds in it, as scripts/make-fixtures wrote it
// into expectations.tsv from what it asked the encoders to make.
#include <gtest/gtest.h>

#include "sources/id3v1.h"
#include "sources/mp3_source.h"
#include "sources/sndfile_source.h"
#include "sources/song_rates.h"
#include "sources/tag_text.h"
#include "sources/wav_source.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"

namespace zv {
namespace {

std::string time_text(int64_t pcm_bytes, int32_t channels, int32_t rate) {
    int64_t s = pcm_bytes / 2 / channels / rate;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return buf;
}

// Compares one expected cell; '-' is not checked.
void expect_cell(const test::ExpectationRow& row, const char* column, const std::string& got) {
    const std::string& want = row.at(column);
    if (want == "-") {
        return;
    }
    EXPECT_EQ(got, want) << row.at("file") << " column " << column;
}

TEST(FixtureSongs, EveryFileProbesAsExpected) {
    std::vector<test::ExpectationRow> rows = test::fixture_expectations();
    ASSERT_GE(rows.size(), 17u) << "expectations.tsv not found in " << test::fixture_dir();
    for (const test::ExpectationRow& row : rows) {
        std::string path = test::fixture(row.at("file"));
        int32_t rate = 0, channels = 0;
        int64_t pcm = 0;
        int result;
        std::vector<uint8_t> bytes = test::read_bytes(path);
        const std::string kind = row.at("kind");
        Id3v1Tag tag;
        if (kind == "flac" || kind == "ogg" || kind == "opus" || kind == "sndfile") {
            SndfileSongInfo info;
            result = probe_sndfile(path, info) ? 1 : 0;
            SndfileSongInfo from_memory;
            EXPECT_EQ(probe_sndfile(bytes.data(), bytes.size(), path, from_memory), result == 1)
                << path;
            rate = info.rate;
            channels = info.channels;
            pcm = static_cast<int64_t>(info.frames) * info.channels * 2;
            tag = id3v1_slot_of(info.tags);
            const char* codec = kind == "flac"   ? "FLAC"
                                : kind == "ogg"  ? "Ogg Vorbis"
                                : kind == "opus" ? "Ogg Opus"
                                                 : "WAV";
            if (result == 1) {
                EXPECT_STREQ(sndfile_codec_text(info.codec), codec) << path;
            }
        } else if (kind == "wav") {
            uint32_t data = 0;
            result = probe_wav(path, rate, channels, data);
            pcm = data;
            // The memory form of the probe must agree with the file form.
            int32_t r2 = 0, c2 = 0;
            uint32_t d2 = 0;
            EXPECT_EQ(probe_wav(bytes.data(), bytes.size(), r2, c2, d2), result) << path;
        } else {
            result = probe_mp3(path, rate, channels, pcm);
            int32_t r2 = 0, c2 = 0;
            int64_t p2 = 0;
            EXPECT_EQ(probe_mp3(bytes.data(), bytes.size(), r2, c2, p2), result) << path;
            EXPECT_EQ(p2, pcm) << path;
        }
        expect_cell(row, "probe_result", std::to_string(result));
        if (result != 1) {
            continue;
        }
        expect_cell(row, "rate", std::to_string(rate));
        expect_cell(row, "channels", std::to_string(channels));
        expect_cell(row, "pcm_bytes", std::to_string(pcm));
        expect_cell(row, "time_text", time_text(pcm, channels, rate));
        expect_cell(row, "chain_rate", std::to_string(chain_rate_for(rate)));
        if (kind == "mp3" || (kind != "wav" && tag.present())) {
            if (kind == "mp3") {
                ASSERT_TRUE(read_id3v1(path, tag));
            }
            expect_cell(row, "id3_title", escape_tag_field(tag.title_field(), ID3V1_FIELD_BYTES));
            expect_cell(row, "id3_artist", escape_tag_field(tag.artist_field(), ID3V1_FIELD_BYTES));
            expect_cell(row, "id3_album", escape_tag_field(tag.album_field(), ID3V1_FIELD_BYTES));
            expect_cell(row, "id3_track", std::to_string(tag.track()));
        }
    }
}

TEST(FixtureSongs, ShiftJisTagIsShownAsJapaneseText) {
    Id3v1Tag tag;
    ASSERT_TRUE(read_id3v1(test::fixture("sjis_tag_no_info.mp3"), tag));
    EXPECT_EQ(detect_tag_encoding(tag.title()), TagEncoding::Cp932);
    // Trailing blanks are part of the stored field and stay; 0x5C second bytes stay inside
    // their characters.
    EXPECT_EQ(tag_field_display_text(tag.title_field(), ID3V1_FIELD_BYTES),
              "ソフト表示" + std::string(20, ' '));
    EXPECT_EQ(tag_field_display_text(tag.artist_field(), ID3V1_FIELD_BYTES), "山田花子");
    EXPECT_EQ(tag_field_display_text(tag.album_field(), ID3V1_FIELD_BYTES),
              "十色の歌" + std::string(22, ' '));
}

}  // namespace
}  // namespace zv
