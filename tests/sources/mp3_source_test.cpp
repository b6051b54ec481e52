#include "sources/mp3_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "sources/id3v1.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/tools.h"

namespace zv {
namespace {

using test::run;
using test::ScratchDir;
using test::tool_available;

struct Decoded {
    std::vector<int16_t> left, right;
    int result = 0;  // the last read_frame result
    int frames = 0;
};

Decoded decode_all(Mp3Decoder& dec) {
    Decoded d;
    int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
    for (;;) {
        int n = dec.read_frame(l, r);
        d.result = n;
        if (n <= 0) {
            return d;
        }
        EXPECT_LE(n, MP3_FRAME_SAMPLES);
        ++d.frames;
        d.left.insert(d.left.end(), l, l + n);
        d.right.insert(d.right.end(), r, r + n);
    }
}

// Frames decoded by the hip decoder agree with an independent decoder that, like ours, keeps
// the encoder delay and padding.
class DecoderAgreesWithReference : public ::testing::TestWithParam<const char*> {};

TEST_P(DecoderAgreesWithReference, SameSampleCountAndNearlySameSamples) {
    if (!tool_available("mpg123")) {
        GTEST_SKIP() << "mpg123 not installed";
    }
    ScratchDir dir;
    std::string mp3 = test::fixture(GetParam());
    std::string raw = dir / "ref.raw";
    ASSERT_TRUE(test::run_to_file("mpg123 -q --no-gapless -s '" + mp3 + "'", raw));
    std::vector<uint8_t> ref_bytes = test::read_bytes(raw);

    Mp3Decoder dec;
    ASSERT_TRUE(dec.open(mp3)) << dec.error();
    Decoded d = decode_all(dec);
    EXPECT_EQ(d.result, 0);
    const int ch = dec.channels();
    ASSERT_EQ(ref_bytes.size() % (2 * ch), 0u);
    size_t ref_frames = ref_bytes.size() / 2 / ch;
    EXPECT_EQ(d.left.size(), ref_frames);
    if (dec.stream_info().has_vbr_header) {
        EXPECT_EQ(d.left.size(), dec.total_samples()) << "the frame count and the decoded count";
    }

    int max_diff = 0;
    size_t n = std::min(ref_frames, d.left.size());
    for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < ch; ++c) {
            int16_t ref;
            std::memcpy(&ref, ref_bytes.data() + (i * ch + c) * 2, 2);
            int16_t ours = c == 0 ? d.left[i] : d.right[i];
            max_diff = std::max(max_diff, std::abs(ours - ref));
        }
        if (ch == 1) {
            EXPECT_EQ(d.left[i], d.right[i]);
        }
    }
    RecordProperty("max_sample_difference", max_diff);
    std::printf("%s: %zu samples per channel, largest difference %d\n", GetParam(), n, max_diff);
    EXPECT_LE(max_diff, 4);
}

INSTANTIATE_TEST_SUITE_P(MediaSet, DecoderAgreesWithReference,
                         ::testing::Values("cbr128_id3v1v2.mp3", "vbr_xing.mp3",
                                           "cbr64_mono_32000.mp3", "sjis_tag_no_info.mp3"));

TEST(Mp3Decoder, RefusesWhatTheProbeRefuses) {
    Mp3Decoder dec;
    EXPECT_FALSE(dec.open("/nonexistent/zv/none.mp3"));
    EXPECT_FALSE(dec.error().empty());
    EXPECT_FALSE(dec.open(test::fixture("mpeg2_22050.mp3")));
    EXPECT_NE(dec.error().find("22050"), std::string::npos);
    EXPECT_FALSE(dec.open(test::fixture("pcm16_stereo_44100.wav")));
    EXPECT_FALSE(dec.is_open());
    int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
    EXPECT_LT(dec.read_frame(l, r), 0);
}

TEST(Mp3Decoder, MemoryInputDecodesLikeTheFileAndMovesWithItsState) {
    std::string path = test::fixture("cbr64_mono_32000.mp3");
    std::vector<uint8_t> bytes = test::read_bytes(path);
    Mp3Decoder from_file;
    ASSERT_TRUE(mp3_open(from_file, path));
    Mp3Decoder from_memory;
    ASSERT_TRUE(from_memory.open(std::make_unique<MemoryByteReader>(bytes.data(), bytes.size())));
    int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
    ASSERT_GT(mp3_read_frame(from_memory, l, r), 0);
    Mp3Decoder moved = std::move(from_memory);
    EXPECT_FALSE(from_memory.is_open());
    Decoded rest = decode_all(moved);
    Decoded all = decode_all(from_file);
    ASSERT_EQ(all.left.size(), rest.left.size() + MP3_FRAME_SAMPLES);
    EXPECT_TRUE(
        std::equal(rest.left.begin(), rest.left.end(), all.left.begin() + MP3_FRAME_SAMPLES));
    mp3_close(moved);
    EXPECT_FALSE(moved.is_open());
}

// Files made here with the reference encoders.
class MadeMp3 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tool_available("sox") || !tool_available("lame")) {
            GTEST_SKIP() << "sox or lame not installed";
        }
    }
    std::string tone(double seconds, int rate = 44100, int channels = 2) {
        std::string wav = dir_ / ("tone" + std::to_string(seconds) + ".wav");
        EXPECT_TRUE(run("sox -R -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                        " -b 16 '" + wav + "' synth " + std::to_string(seconds) +
                        " sine 440 gain -6"));
        return wav;
    }
    ScratchDir dir_;
};

// The library's decoder shares state between its instances; decoders on several threads at
// once (parallel exports, or playback beside an export) must each give what one gives alone.
TEST_F(MadeMp3, DecodersOnSeveralThreadsGiveWhatOneGivesAlone) {
    std::vector<std::string> songs;
    for (int k = 0; k < 3; ++k) {
        std::string mp3 = dir_ / ("song" + std::to_string(k) + ".mp3");
        std::string wav = dir_ / ("noise" + std::to_string(k) + ".wav");
        ASSERT_TRUE(run("sox -R -n -r " + std::string(k == 2 ? "48000" : "44100") + " -c " +
                        std::string(k == 1 ? "1" : "2") + " -b 16 '" + wav +
                        "' synth 4 pinknoise gain -" + std::to_string(3 + k)));
        ASSERT_TRUE(
            run("lame --quiet -b " + std::to_string(96 + 32 * k) + " '" + wav + "' '" + mp3 + "'"));
        songs.push_back(mp3);
    }
    std::vector<Decoded> alone;
    for (const std::string& mp3 : songs) {
        Mp3Decoder dec;
        ASSERT_TRUE(dec.open(mp3)) << dec.error();
        alone.push_back(decode_all(dec));
        ASSERT_GT(alone.back().frames, 100);
    }
    for (int round = 0; round < 3; ++round) {
        constexpr int THREADS = 6;
        std::vector<Decoded> got(THREADS);
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t) {
            threads.emplace_back([&, t] {
                Mp3Decoder dec;
                if (dec.open(songs[static_cast<size_t>(t) % songs.size()])) {
                    got[static_cast<size_t>(t)] = decode_all(dec);
                }
            });
        }
        for (std::thread& th : threads) {
            th.join();
        }
        for (int t = 0; t < THREADS; ++t) {
            const Decoded& want = alone[static_cast<size_t>(t) % songs.size()];
            const Decoded& d = got[static_cast<size_t>(t)];
            EXPECT_EQ(d.result, 0) << "thread " << t;
            EXPECT_TRUE(d.left == want.left && d.right == want.right)
                << "thread " << t << " of round " << round << " decoded other samples";
        }
    }
}

TEST_F(MadeMp3, CbrWithoutInfoHeaderIsEstimatedInWholeSecondsOfTheWholeFile) {
    std::string mp3 = dir_ / "cbr.mp3";
    ASSERT_TRUE(run("lame --quiet -t -b 128 --cbr '" + tone(64) + "' '" + mp3 + "'"));
    ASSERT_EQ(truncate(mp3.c_str(), 1000000), 0);
    int32_t rate = 0, channels = 0;
    int64_t pcm = 0;
    ASSERT_EQ(probe_mp3(mp3, rate, channels, pcm), 1);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    // 1,000,000 bytes x 8 / 128000 = 62.5 s: 62 whole seconds.
    EXPECT_EQ(pcm, 62LL * 44100 * 2 * 2);
}

TEST_F(MadeMp3, VbrHeaderGivesFrameCountTimesFrameSamples) {
    std::string mp3 = dir_ / "vbr.mp3";
    ASSERT_TRUE(run("lame --quiet -V 4 '" + tone(3, 48000, 1) + "' '" + mp3 + "'"));
    std::vector<uint8_t> bytes = test::read_bytes(mp3);
    MemoryByteReader mem(bytes.data(), bytes.size());
    Mp3StreamInfo info = read_mp3_stream_info(mem);
    ASSERT_TRUE(info.has_vbr_header);
    int32_t rate = 0, channels = 0;
    int64_t pcm = 0;
    ASSERT_EQ(probe_mp3(bytes.data(), bytes.size(), rate, channels, pcm), 1);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(pcm, static_cast<int64_t>(info.vbr_frames) * 1152 * 2);
    Mp3Decoder dec;
    ASSERT_TRUE(dec.open(mp3));
    EXPECT_EQ(decode_all(dec).left.size(), info.vbr_frames * 1152u);
}

TEST_F(MadeMp3, FreeFormatWithoutLengthIsRefusedAndItsFramesFailTheBitrateWindow) {
    std::string no_info = dir_ / "free.mp3";
    std::string with_info = dir_ / "free_info.mp3";
    std::string wav = tone(2);
    if (!run("lame --quiet -t --freeformat -b 128 '" + wav + "' '" + no_info + "'") ||
        !run("lame --quiet --freeformat -b 128 '" + wav + "' '" + with_info + "'")) {
        GTEST_SKIP() << "this lame cannot write free format";
    }
    int32_t rate = 0, channels = 0;
    int64_t pcm = -1;
    EXPECT_EQ(probe_mp3(no_info, rate, channels, pcm), 0);
    EXPECT_EQ(pcm, 0) << "never a negative length";
    Mp3Decoder dec;
    EXPECT_FALSE(dec.open(no_info));
    if (probe_mp3(with_info, rate, channels, pcm) == 1) {
        ASSERT_TRUE(dec.open(with_info));
        Decoded d = decode_all(dec);
        EXPECT_EQ(d.result, -1);
        EXPECT_EQ(d.frames, 0);
    }
}

TEST_F(MadeMp3, LayerTwoAbove320KbitStopsAtItsFirstFrame) {
    if (!tool_available("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    std::string mp2 = dir_ / "l2.mp3";
    ASSERT_TRUE(
        run("ffmpeg -v error -y -i '" + tone(2) + "' -c:a mp2 -b:a 384k -f mp2 '" + mp2 + "'"));
    int32_t rate = 0, channels = 0;
    int64_t pcm = 0;
    ASSERT_EQ(probe_mp3(mp2, rate, channels, pcm), 1);
    Mp3Decoder dec;
    ASSERT_TRUE(dec.open(mp2));
    Decoded d = decode_all(dec);
    EXPECT_EQ(d.result, -1);
    EXPECT_EQ(d.frames, 0);
}

TEST(Mp3Probe, SkipsId3v2AndJunkBeforeTheFirstFrame) {
    std::vector<uint8_t> body = test::read_bytes(test::fixture("cbr64_mono_32000.mp3"));
    // A 300-byte ID3v2 tag with a footer flag, then junk without a frame sync.
    std::vector<uint8_t> b = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 44};
    b.resize(10 + 300 + 10);
    for (size_t i = 10; i < b.size(); ++i) {
        b[i] = static_cast<uint8_t>(i & 0x7F);
    }
    b.insert(b.end(), {0x12, 0x34, 0x56});
    size_t junk_end = b.size();
    b.insert(b.end(), body.begin(), body.end());
    MemoryByteReader mem(b.data(), b.size());
    Mp3StreamInfo info = read_mp3_stream_info(mem);
    ASSERT_TRUE(info.found);
    EXPECT_EQ(info.first_frame, junk_end);
    EXPECT_TRUE(info.has_vbr_header);
    EXPECT_EQ(std::to_string(info.total_samples * 2),
              test::fixture_row("cbr64_mono_32000.mp3")["pcm_bytes"]);
}

TEST(Mp3Probe, NothingThatLooksLikeAFrameIsRefused) {
    std::vector<uint8_t> zeros(5000, 0);
    int32_t rate = 5, channels = 5;
    int64_t pcm = 5;
    EXPECT_EQ(probe_mp3(zeros.data(), zeros.size(), rate, channels, pcm), 0);
    EXPECT_EQ(probe_mp3(zeros.data(), 0, rate, channels, pcm), 0);
    EXPECT_EQ(rate, 5) << "out-values untouched without a frame header";
    EXPECT_EQ(probe_mp3("/nonexistent/zv/none.mp3", rate, channels, pcm), 0);
}

TEST(Id3v1, ReadsTheLast128BytesOnlyWhenTheyAreATag) {
    ScratchDir dir;
    Id3v1Tag slot;
    slot.bytes.fill(0xAB);
    EXPECT_FALSE(read_id3v1(dir / "missing.mp3", slot));
    EXPECT_EQ(slot.bytes[5], 0xAB) << "left as it was";

    std::vector<uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, "A title of exactly thirty byte", 30);
    std::memcpy(tag.data() + 97, "comment runs into the track!", 28);
    tag[125] = 'X';  // ID3v1.0: the comment reaches byte 126
    tag[126] = 'Y';
    std::vector<uint8_t> file(1000, 0x55);
    file.insert(file.end(), tag.begin(), tag.end());
    test::write_bytes(dir / "t.mp3", file);
    ASSERT_TRUE(read_id3v1(dir / "t.mp3", slot));
    EXPECT_TRUE(slot.present());
    EXPECT_EQ(slot.title(), "A title of exactly thirty byte");
    EXPECT_EQ(slot.artist(), "");
    EXPECT_EQ(slot.track(), 'Y');

    test::write_bytes(dir / "short.mp3", {'T', 'A', 'G', 1, 2});
    ASSERT_TRUE(read_id3v1(dir / "short.mp3", slot));
    EXPECT_FALSE(slot.present());
    EXPECT_EQ(slot.track(), 0);

    slot.bytes.fill(1);
    read_id3v1(file.data(), file.size() - 1, slot);  // the tag no longer ends the bytes
    EXPECT_EQ(slot.bytes, Id3v1Tag{}.bytes);
}

}  // namespace
}  // namespace zv
