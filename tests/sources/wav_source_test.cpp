#include "sources/wav_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

using test::ramp_samples;
using test::RiffBuilder;

struct Probe {
    int result = 99;
    int32_t rate = -7;
    int32_t channels = -7;
    uint32_t data_bytes = 7;
};

Probe probe(const std::vector<uint8_t>& b) {
    Probe p;
    p.result = probe_wav(b.data(), b.size(), p.rate, p.channels, p.data_bytes);
    return p;
}

TEST(WavProbe, OddSizedChunksAreFollowedByTheirPadByte) {
    // A walker that forgets the pad byte lands one byte off and never sees "fmt ".
    auto b = RiffBuilder()
                 .chunk("junk", {1, 2, 3})
                 .fmt(2, 44100, 16)
                 .chunk("LIST", {'a', 'b', 'c', 'd', 'e'})
                 .chunk("data", ramp_samples(8))
                 .bytes();
    Probe p = probe(b);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.rate, 44100);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.data_bytes, 16u);
}

TEST(WavProbe, DataBeforeFmtIsUnsupportedAndLeavesOutValuesAlone) {
    auto b = RiffBuilder().chunk("data", ramp_samples(8)).fmt(2, 44100, 16).bytes();
    Probe p = probe(b);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.rate, -7);
    EXPECT_EQ(p.data_bytes, 7u);
}

TEST(WavProbe, UnsupportedFormatsGiveZero) {
    EXPECT_EQ(probe(RiffBuilder().fmt(2, 44100, 24).chunk("data", {}).bytes()).result, 0);
    EXPECT_EQ(probe(RiffBuilder().fmt(2, 22050, 16).chunk("data", {}).bytes()).result, 0);
    EXPECT_EQ(probe(RiffBuilder().fmt(3, 48000, 16).chunk("data", {}).bytes()).result, 0);
    EXPECT_EQ(probe(RiffBuilder().fmt(0, 48000, 16).chunk("data", {}).bytes()).result, 0);
    // A "fmt " shorter than 16 bytes reads as zeros: 0 bits.
    EXPECT_EQ(probe(RiffBuilder().chunk("fmt ", {1, 0, 2, 0}).chunk("data", {}).bytes()).result, 0);
}

TEST(WavProbe, UnreadableOrCutFilesGiveMinusOne) {
    EXPECT_EQ(probe({}).result, -1);
    EXPECT_EQ(probe(RiffBuilder("AVI ").fmt(2, 44100, 16).chunk("data", {}).bytes()).result, -1);
    // The walk runs out before "data".
    EXPECT_EQ(probe(RiffBuilder().fmt(2, 44100, 16).bytes()).result, -1);
    // A "fmt " that claims more bytes than the file holds.
    auto b = RiffBuilder().fmt(2, 44100, 16).bytes();
    b[16] = 0xFF;
    EXPECT_EQ(probe(b).result, -1);
    int32_t r = 0, c = 0;
    uint32_t d = 0;
    EXPECT_EQ(probe_wav("/nonexistent/zv/none.wav", r, c, d), -1);
}

TEST(WavProbe, CaseOfFormTypeAndChunkIdsDoesNotMatter) {
    auto b = RiffBuilder("wAvE").fmt(1, 32000, 16, "FMT ").chunk("DaTa", ramp_samples(4)).bytes();
    Probe p = probe(b);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.rate, 32000);
    EXPECT_EQ(p.channels, 1);
    EXPECT_EQ(p.data_bytes, 8u);
}

class WavReaderTest : public ::testing::Test {
protected:
    std::string put(const std::vector<uint8_t>& bytes, const char* name = "song.wav") {
        std::string path = dir_ / name;
        test::write_bytes(path, bytes);
        return path;
    }
    test::ScratchDir dir_;
};

TEST_F(WavReaderTest, StopsAtTheEndOfTheDataChunk) {
    auto b = RiffBuilder()
                 .fmt(2, 48000, 16)
                 .chunk("data", ramp_samples(100))
                 .chunk("LIST", std::vector<uint8_t>(64, 0x7F))
                 .bytes();
    WavReader reader;
    ASSERT_TRUE(reader.open(put(b))) << reader.error();
    EXPECT_EQ(reader.header_bytes(), 44u);
    EXPECT_EQ(reader.data_bytes(), 200u);
    std::vector<uint8_t> got(1000);
    size_t n = 0, total = 0;
    while ((n = reader.read(got.data() + total, 64)) > 0) {
        total += n;
    }
    ASSERT_EQ(total, 200u);
    got.resize(total);
    EXPECT_EQ(got, ramp_samples(100));
}

TEST_F(WavReaderTest, FindsDataThroughCaseVariantsAndPadBytes) {
    auto b = RiffBuilder("Wave")
                 .fmt(1, 44100, 16, "Fmt ")
                 .chunk("odd ", {9, 9, 9})
                 .chunk("DATA", ramp_samples(10))
                 .bytes();
    WavReader reader;
    ASSERT_TRUE(reader.open(put(b)));
    EXPECT_FALSE(reader.headerless());
    EXPECT_EQ(reader.rate(), 44100);
    EXPECT_EQ(reader.channels(), 1);
    uint8_t first[4];
    ASSERT_EQ(reader.read(first, 4), 4u);
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(first[2], 1);
    // Seeking is inside the data and clamped to its end.
    ASSERT_TRUE(reader.seek_data(10));
    ASSERT_EQ(reader.read(first, 2), 2u);
    EXPECT_EQ(first[0], 5);
    ASSERT_TRUE(reader.seek_data(1000));
    EXPECT_EQ(reader.read(first, 2), 0u);
}

TEST_F(WavReaderTest, DataSizeBeyondTheFileEndsAtTheFile) {
    auto b = RiffBuilder().fmt(2, 44100, 16).chunk("data", ramp_samples(10)).bytes();
    b[40] = 0xFF;  // data size now 255 + ...
    WavReader reader;
    ASSERT_TRUE(reader.open(put(b)));
    std::vector<uint8_t> got(4096);
    EXPECT_EQ(reader.read(got.data(), got.size()), 20u);
    EXPECT_EQ(reader.read(got.data(), got.size()), 0u);
}

TEST_F(WavReaderTest, FileWithoutWaveMarkIsHeaderlessPcm) {
    std::vector<uint8_t> raw = ramp_samples(50);
    WavReader reader;
    ASSERT_TRUE(reader.open(put(raw, "raw.wav")));
    EXPECT_TRUE(reader.headerless());
    EXPECT_EQ(reader.header_bytes(), 0u);
    EXPECT_EQ(reader.data_bytes(), 100u);
    std::vector<uint8_t> got(100);
    EXPECT_EQ(reader.read(got.data(), got.size()), 100u);
    EXPECT_EQ(got, raw);
}

TEST_F(WavReaderTest, RefusesFilesItCannotPlay) {
    WavReader reader;
    EXPECT_FALSE(reader.open(dir_ / "missing.wav"));
    EXPECT_FALSE(reader.error().empty());
    EXPECT_FALSE(reader.open(put(RiffBuilder().fmt(2, 44100, 16).bytes())));
    EXPECT_FALSE(reader.open(put(RiffBuilder().chunk("data", {}).fmt(2, 44100, 16).bytes())));
    EXPECT_FALSE(reader.is_open());
}

TEST_F(WavReaderTest, FoldersAndFifosAreRefusedWithoutWaiting) {
    std::string fifo = dir_ / "pipe.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int32_t r = 0, c = 0;
    uint32_t d = 0;
    EXPECT_EQ(probe_wav(fifo, r, c, d), -1);
    ASSERT_EQ(mkdir((dir_ / "folder.wav").c_str(), 0700), 0);
    EXPECT_EQ(probe_wav(dir_ / "folder.wav", r, c, d), -1);
    WavReader reader;
    EXPECT_FALSE(reader.open(fifo));
}

TEST_F(WavReaderTest, HeaderBytesAreEverythingUpToTheFirstSample) {
    auto b = RiffBuilder()
                 .fmt(2, 44100, 16)
                 .chunk("LIST", {1, 2, 3, 4, 5})
                 .chunk("data", ramp_samples(6))
                 .bytes();
    std::string path = put(b);
    std::vector<uint8_t> header;
    std::string error;
    ASSERT_TRUE(read_wav_header_bytes(path, header, error)) << error;
    ASSERT_EQ(header.size(), b.size() - 12);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), b.begin()));
    WavReader reader;
    ASSERT_TRUE(reader.open(path));
    EXPECT_EQ(reader.header_bytes(), header.size());

    EXPECT_FALSE(read_wav_header_bytes(put(ramp_samples(30), "raw.wav"), header, error));
    EXPECT_TRUE(header.empty());
    EXPECT_FALSE(error.empty());
}

TEST_F(WavReaderTest, MovedReaderKeepsItsPlace) {
    auto b = RiffBuilder().fmt(2, 44100, 16).chunk("data", ramp_samples(8)).bytes();
    WavReader a;
    ASSERT_TRUE(a.open(put(b)));
    uint8_t two[2];
    ASSERT_EQ(a.read(two, 2), 2u);
    WavReader moved = std::move(a);
    ASSERT_EQ(moved.read(two, 2), 2u);
    EXPECT_EQ(two[0], 1);
    EXPECT_EQ(moved.data_position(), 4u);
}

}  // namespace
}  // namespace zv
