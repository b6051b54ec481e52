// Reads that fail part-way (a damaged disk) are errors, never the end of the song; streams
// that change their format, WAVs without samples and MP3s without audio are told as such.
#include <gtest/gtest.h>

#include <memory>

#include "sources/mp3_source.h"
#include "sources/riff_chunks.h"
#include "sources/wav_source.h"
#include "tests/support/failing_reader.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

using test::FailingByteReader;

std::vector<uint8_t> stereo_wav(size_t frames) {
    test::WavContent shape;
    shape.samples = test::test_signal(frames, 2);
    return test::make_wav_bytes(shape);
}

TEST(ReadErrors, HeaderWalkAndProbeTellAFailedReadFromACutFile) {
    const std::vector<uint8_t> wav = stereo_wav(100);
    FailingByteReader failing(wav, 20);  // inside the "fmt " chunk
    EXPECT_EQ(walk_wav_header(failing).status, WavWalkStatus::ReadError);
    FailingByteReader failing_again(wav, 20);
    int32_t rate = 0, channels = 0;
    uint32_t data = 0;
    EXPECT_EQ(probe_wav(failing_again, rate, channels, data), -1);
    // The same bytes simply ending there are a cut file.
    MemoryByteReader cut(wav.data(), 20);
    EXPECT_EQ(walk_wav_header(cut).status, WavWalkStatus::Truncated);
}

TEST(ReadErrors, WavReaderStopsAtAFailedReadAndSaysSo) {
    const std::vector<uint8_t> wav = stereo_wav(10000);  // 40000 sample bytes after 44
    WavReader reader;
    ASSERT_TRUE(reader.open(std::make_unique<FailingByteReader>(wav, 44 + 30000)));
    std::vector<uint8_t> block(16384);
    size_t total = 0;
    for (size_t got; (got = reader.read(block.data(), block.size())) > 0;) {
        total += got;
    }
    EXPECT_EQ(total, 30000u) << "the bytes before the failure are delivered";
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.error(), "read error: Input/output error");
    EXPECT_EQ(reader.read(block.data(), block.size()), 0u);
    EXPECT_FALSE(reader.seek_data(0)) << "nothing is read after a failure";

    // The same song read whole ends without a failure.
    WavReader whole;
    ASSERT_TRUE(whole.open(std::make_unique<FailingByteReader>(wav, wav.size() + 1)));
    total = 0;
    for (size_t got; (got = whole.read(block.data(), block.size())) > 0;) {
        total += got;
    }
    EXPECT_EQ(total, 40000u);
    EXPECT_FALSE(whole.failed());
    EXPECT_TRUE(whole.error().empty());
}

TEST(ReadErrors, WavReaderTellsASongWithoutSamples) {
    test::ScratchDir dir;
    WavReader reader;
    ASSERT_TRUE(reader.open(test::fixture("no_samples.wav"))) << reader.error();
    EXPECT_FALSE(reader.holds_samples());
    // A header that promises samples the file does not hold.
    std::vector<uint8_t> promised = stereo_wav(1000);
    promised.resize(44);
    test::write_bytes(dir / "cut.wav", promised);
    ASSERT_TRUE(reader.open(dir / "cut.wav"));
    EXPECT_FALSE(reader.holds_samples());
    // One frame is a song.
    promised = stereo_wav(1);
    test::write_bytes(dir / "one.wav", promised);
    ASSERT_TRUE(reader.open(dir / "one.wav"));
    EXPECT_TRUE(reader.holds_samples());
}

struct Decoded {
    int frames = 0;
    uint64_t samples = 0;
    int last = 0;
};

Decoded decode_all(Mp3Decoder& dec) {
    Decoded d;
    int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
    for (;;) {
        d.last = dec.read_frame(l, r);
        if (d.last <= 0) {
            return d;
        }
        ++d.frames;
        d.samples += static_cast<uint64_t>(d.last);
    }
}

TEST(ReadErrors, Mp3DecoderStopsAtAFailedRead) {
    const std::vector<uint8_t> mp3 = test::read_bytes(test::fixture("cbr128_id3v1v2.mp3"));
    ASSERT_GT(mp3.size(), 85000u);
    Mp3Decoder dec;
    ASSERT_TRUE(dec.open(std::make_unique<FailingByteReader>(mp3, 80000))) << dec.error();
    Decoded d = decode_all(dec);
    EXPECT_EQ(d.last, MP3_READ_ERROR);
    EXPECT_GT(d.frames, 10) << "the frames before the failure decode";
    EXPECT_EQ(dec.error(), "read error: Input/output error");
    int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
    EXPECT_EQ(dec.read_frame(l, r), MP3_READ_ERROR) << "the failure is final";

    // A failure inside the opening steps refuses the song.
    Mp3Decoder early;
    EXPECT_FALSE(early.open(std::make_unique<FailingByteReader>(mp3, 5)));
    EXPECT_EQ(early.error(), "read error: Input/output error");

    // Read whole, the song ends normally.
    Mp3Decoder whole;
    ASSERT_TRUE(whole.open(std::make_unique<FailingByteReader>(mp3, mp3.size() + 1)));
    EXPECT_EQ(decode_all(whole).last, MP3_END);
    EXPECT_TRUE(whole.error().empty());
}

// Two streams glued together: the decoder returns the first one whole and stops at the first
// frame of the other format, with a message, instead of handing out samples that would play
// at the wrong speed or in the wrong layout.
TEST(ReadErrors, Mp3WhoseFormatChangesStopsAtTheChange) {
    for (const char* name : {"rate_change.mp3", "channels_change.mp3"}) {
        SCOPED_TRACE(name);
        Mp3Decoder dec;
        ASSERT_TRUE(dec.open(test::fixture(name))) << dec.error();
        EXPECT_EQ(dec.rate(), 44100);
        EXPECT_EQ(dec.channels(), 2);
        Decoded d = decode_all(dec);
        EXPECT_EQ(d.last, MP3_FORMAT_CHANGE);
        // The first stream holds 3 s (plus the encoder's delay and padding).
        EXPECT_GE(d.samples, 3u * 44100u);
        EXPECT_LT(d.samples, 3u * 44100u + 3u * MP3_FRAME_SAMPLES);
        EXPECT_NE(dec.error().find("the stream changes from 44100 Hz stereo to "),
                  std::string::npos)
            << dec.error();
        EXPECT_EQ(dec.decoded_samples(), d.samples);
    }
}

TEST(ReadErrors, Mp3WithoutAudioIsToldAsSuch) {
    Mp3Decoder dec;
    ASSERT_TRUE(dec.open(test::fixture("no_audio.mp3"))) << dec.error();
    Decoded d = decode_all(dec);
    EXPECT_EQ(d.last, MP3_END);
    EXPECT_EQ(dec.decoded_samples(), 0u);
    EXPECT_EQ(dec.error(), "the stream holds no audio frames");
}

}  // namespace
}  // namespace zv
