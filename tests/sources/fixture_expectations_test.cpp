// Every row of the public media set: what a correct reader finds in each file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sources/id3v1.h"
#include "sources/mp3_source.h"
#include "sources/tag_text.h"
#include "sources/wav_source.h"
#include "tests/sources/source_test_util.h"

namespace zv {
namespace {

using Row = std::map<std::string, std::string>;

std::vector<Row> read_expectations() {
    std::ifstream in(test::media_dir() + "/expectations.tsv");
    std::vector<Row> rows;
    std::vector<std::string> head;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) {
            cells.push_back(cell);
        }
        if (head.empty()) {
            head = cells;
            continue;
        }
        Row row;
        for (size_t i = 0; i < head.size() && i < cells.size(); ++i) {
            row[head[i]] = cells[i];
        }
        // Trailing empty tag cells vanish from getline's split.
        for (const std::string& h : head) {
            row.try_emplace(h, "");
        }
        rows.push_back(row);
    }
    return rows;
}

std::string time_text(int64_t pcm_bytes, int32_t channels, int32_t rate) {
    int64_t s = pcm_bytes / 2 / channels / rate;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return buf;
}

// Compares one expected cell; '-' and '*' are not checked.
void expect_cell(const Row& row, const char* column, const std::string& got) {
    const std::string& want = row.at(column);
    if (want == "-" || want == "*") {
        return;
    }
    EXPECT_EQ(got, want) << row.at("file") << " column " << column;
}

TEST(MediaSet, EveryFileProbesAsExpected) {
    std::vector<Row> rows = read_expectations();
    ASSERT_GE(rows.size(), 17u) << "expectations.tsv not found in " << test::media_dir();
    for (const Row& row : rows) {
        std::string path = test::media_dir() + "/" + row.at("file");
        int32_t rate = 0, channels = 0;
        int64_t pcm = 0;
        int result;
        if (row.at("kind") == "wav") {
            uint32_t data = 0;
            result = probe_wav(path, rate, channels, data);
            pcm = data;
            // The memory form of the probe must agree with the file form.
            std::vector<uint8_t> bytes = test::read_bytes(path);
            int32_t r2 = 0, c2 = 0;
            uint32_t d2 = 0;
            EXPECT_EQ(probe_wav(bytes.data(), bytes.size(), r2, c2, d2), result) << path;
        } else {
            result = probe_mp3(path, rate, channels, pcm);
            std::vector<uint8_t> bytes = test::read_bytes(path);
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
        if (row.at("kind") == "mp3") {
            Id3v1Tag tag;
            ASSERT_TRUE(read_id3v1(path, tag));
            expect_cell(row, "id3_title", escape_tag_field(tag.title_field(), ID3V1_FIELD_BYTES));
            expect_cell(row, "id3_artist", escape_tag_field(tag.artist_field(), ID3V1_FIELD_BYTES));
            expect_cell(row, "id3_album", escape_tag_field(tag.album_field(), ID3V1_FIELD_BYTES));
            expect_cell(row, "id3_track", std::to_string(tag.track()));
        }
    }
}

TEST(MediaSet, ShiftJisTagIsShownAsJapaneseText) {
    Id3v1Tag tag;
    ASSERT_TRUE(read_id3v1(test::media_dir() + "/p17_sjis_id3v1_no_info.mp3", tag));
    EXPECT_EQ(detect_tag_encoding(tag.title()), TagEncoding::Cp932);
    // Trailing blanks are part of the stored field and stay.
    EXPECT_EQ(tag_field_display_text(tag.title_field(), ID3V1_FIELD_BYTES),
              "春の海ソナタ                  ");
    EXPECT_EQ(tag_field_display_text(tag.artist_field(), ID3V1_FIELD_BYTES).substr(0, 15),
              "テスト奏者");
}

}  // namespace
}  // namespace zv
