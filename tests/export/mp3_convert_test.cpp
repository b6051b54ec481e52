#include "export/mp3_convert.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/processor.h"
#include "export/export_job.h"
#include "export/id3_tag_build.h"
#include "sources/mp3_source.h"
#include "sources/mp3_stream_info.h"
#include "sources/wav_source.h"
#include "test_media.h"

namespace zv {
namespace {

std::string command_output(const std::string& cmd) {
    std::string out;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

// ffprobe's value of one stream or format entry.
std::string probe(const std::string& file, const std::string& entry) {
    std::string out = command_output("ffprobe -v error -select_streams a:0 -show_entries " + entry +
                                     " -of default=nw=1:nk=1 '" + file + "' 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Every MPEG frame's bitrate, walking frame by frame to the ID3v1 tag.
std::vector<int> frame_bitrates(const std::vector<uint8_t>& mp3, size_t end) {
    std::vector<int> rates;
    size_t pos = 0;
    while (pos + 4 <= end) {
        Mp3FrameHeader h;
        if (!parse_mp3_frame_header(mp3.data() + pos, h) || h.bitrate_kbps == 0)
            break;
        rates.push_back(h.bitrate_kbps);
        size_t padding = (mp3[pos + 2] >> 1) & 1;
        pos += static_cast<size_t>(144 * h.bitrate_kbps * 1000 / h.rate) + padding;
    }
    EXPECT_EQ(pos, end) << "frames do not end where the tag starts";
    return rates;
}

class Mp3ExportTest : public ::testing::Test {
protected:
    ExportJobResult export_song(const std::string& src, int32_t type, int rate, int channels,
                                const std::string& target, const Id3v1Tag& tag) {
        auto p = make_processor();
        processor_startup(*p);
        ExportJobInputs in;
        set_song_path(in.entry, src);
        in.entry.source_type = type;
        in.entry.sample_rate = rate;
        in.entry.channels = channels;
        in.tag = tag;
        in.target_path = target;
        in.options.output_mp3 = 1;
        in.options.normalise_on_export = 1;
        std::strcpy(in.options.tag_album_prefix.data(), "Live-");
        in.encoder.mp3_bitrate_kbps = 128;
        in.temp_folder = dir.path();
        in.run_id = "00000042";
        test::QuietExportObserver quiet;
        ExportJob job(in, *p, quiet, nullptr);
        return job.run();
    }
    test::ScratchDir dir;
};

TEST_F(Mp3ExportTest, Mp3SourceBecomesConstantBitrateMp3WithTheTag) {
    std::string src = test::fixture("cbr128_id3v1v2.mp3");
    Id3v1Tag slot;
    ExportJobResult r = export_song(src, SOURCE_MP3, 44100, 2, dir / "out.wav", slot);
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    ASSERT_EQ(r.output_path, dir / "out.mp3");
    ASSERT_TRUE(r.tag.present());  // re-read from the source copy
    std::vector<uint8_t> mp3 = test::read_bytes(r.output_path);
    ASSERT_GT(mp3.size(), 128u);
    const uint8_t* tag = mp3.data() + mp3.size() - 128;
    EXPECT_EQ(std::memcmp(tag, "TAG", 3), 0);
    EXPECT_EQ(std::memcmp(tag + ID3V1_COMMENT_OFFSET, "ZEL_V3.04.03\0", 13), 0);
    EXPECT_EQ(std::memcmp(tag + ID3V1_ALBUM_OFFSET, "Live-", 5), 0);
    for (int kbps : frame_bitrates(mp3, mp3.size() - 128))
        ASSERT_EQ(kbps, 128);

    EXPECT_EQ(probe(r.output_path, "stream=sample_rate"), "44100");
    EXPECT_EQ(probe(r.output_path, "stream=channels"), "2");
    double in_s = std::stod(probe(src, "format=duration"));
    double out_s = std::stod(probe(r.output_path, "format=duration"));
    EXPECT_NEAR(out_s, in_s, (1152.0 + 1105.0) / 44100.0);
}

TEST_F(Mp3ExportTest, MonoWavSourceGivesMonoMp3WithoutTag) {
    test::WavContent wav;
    wav.rate = 32000;
    wav.channels = 1;
    wav.samples = test::test_signal(32000 * 2, 1);
    std::string src = dir / "mono.wav";
    test::write_bytes(src, test::make_wav_bytes(wav));
    ExportJobResult r = export_song(src, SOURCE_WAV, 32000, 1, dir / "m.wav", Id3v1Tag{});
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    std::vector<uint8_t> mp3 = test::read_bytes(r.output_path);
    EXPECT_NE(std::memcmp(mp3.data() + mp3.size() - 128, "TAG", 3), 0);
    for (int kbps : frame_bitrates(mp3, mp3.size()))
        ASSERT_EQ(kbps, 128);
    EXPECT_EQ(probe(r.output_path, "stream=sample_rate"), "32000");
    EXPECT_EQ(probe(r.output_path, "stream=channels"), "1");
    double out_s = std::stod(probe(r.output_path, "format=duration"));
    EXPECT_NEAR(out_s, 2.0, (1152.0 + 1105.0) / 32000.0);
}

TEST_F(Mp3ExportTest, DecodeWritesAPlainWavAndReadsTheTag) {
    Id3v1Tag slot;
    ConvertFailure err;
    ASSERT_TRUE(
        decode_mp3_to_wav(test::fixture("cbr64_mono_32000.mp3"), dir / "d.wav", slot, {}, err))
        << err.text;
    WavReader reader;
    ASSERT_TRUE(reader.open(dir / "d.wav"));
    EXPECT_EQ(reader.rate(), 32000);
    EXPECT_EQ(reader.channels(), 1);
    EXPECT_GT(reader.data_bytes(), 32000u);
    EXPECT_EQ(reader.data_bytes() % 2, 0u);
}

TEST_F(Mp3ExportTest, UndecodableMp3FailsAndLeavesNoWav) {
    std::vector<uint8_t> junk(5000, 0x55);
    test::write_bytes(dir / "junk.mp3", junk);
    Id3v1Tag slot;
    ConvertFailure err;
    EXPECT_FALSE(decode_mp3_to_wav(dir / "junk.mp3", dir / "j.wav", slot, {}, err));
    EXPECT_FALSE(err.text.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "j.wav"));
    ExportJobResult r = export_song(dir / "junk.mp3", SOURCE_MP3, 44100, 2, dir / "o.wav", slot);
    EXPECT_EQ(r.end, ExportEnd::Failed);
    EXPECT_FALSE(std::filesystem::exists(dir / "o.mp3"));
}

// The stream the encoder hands on as it writes decodes, frame by frame, to what the finished
// file decodes to (its Info frame filled in, its last bytes flushed), whatever the rate and
// layout, including a rate the reader refuses.
TEST_F(Mp3ExportTest, StreamDecodedAsItIsWrittenIsTheFinishedFile) {
    for (int channels : {1, 2}) {
        for (int rate : {32000, 44100, 48000}) {
            std::vector<int16_t> pcm = test::test_signal(static_cast<size_t>(rate) + 333, channels);
            const std::string path = dir / "s.mp3";
            std::vector<int16_t> streamed;
            Mp3FeedDecoder feed;
            int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
            bool failed = false;
            // The same stream decoded a piece at a time under one turn of the lock.
            Mp3FeedDecoder batch;
            std::vector<int16_t> batched;
            auto take = [&](const uint8_t* bytes, size_t size) {
                failed = failed || batch.decode_all(bytes, size, batched) < 0;
                for (;;) {
                    const size_t n = std::min<size_t>(size, 1000);
                    const int got = feed.decode(bytes, n, l, r);
                    bytes += n;
                    size -= n;
                    failed = failed || got < 0;
                    if (got <= 0 && size == 0)
                        return;
                    for (int i = 0; i < std::max(got, 0); ++i) {
                        streamed.push_back(l[i]);
                        streamed.push_back(r[i]);
                    }
                }
            };
            ConvertControl control;
            ConvertFailure why;
            Mp3FileEncoder encoder;
            encoder.on_stream = take;
            ASSERT_TRUE(encoder.open(path, rate, channels, 128, 0, control, why)) << why.text;
            const size_t frames = pcm.size() / static_cast<size_t>(channels);
            for (size_t at = 0; at < frames; at += 5000) {
                ASSERT_TRUE(encoder.write(pcm.data() + at * static_cast<size_t>(channels),
                                          std::min<size_t>(5000, frames - at), why));
            }
            ASSERT_TRUE(encoder.finish(why)) << why.text;
            take(nullptr, 0);
            EXPECT_FALSE(failed) << feed.error();

            std::vector<int16_t> from_file;
            Mp3Decoder file;
            ASSERT_TRUE(file.open(path)) << file.error();
            for (int n; (n = file.read_frame(l, r)) > 0;) {
                for (int i = 0; i < n; ++i) {
                    from_file.push_back(l[i]);
                    from_file.push_back(r[i]);
                }
            }
            EXPECT_GT(from_file.size(), pcm.size());
            EXPECT_EQ(streamed, from_file) << rate << " Hz, " << channels << " channels";
            std::vector<int16_t> batched_as_stereo;
            for (size_t i = 0; i < batched.size(); i += static_cast<size_t>(channels)) {
                batched_as_stereo.push_back(batched[i]);
                batched_as_stereo.push_back(batched[i + static_cast<size_t>(channels) - 1]);
            }
            EXPECT_EQ(batched_as_stereo, from_file) << rate << " Hz, " << channels << " channels";
            EXPECT_EQ(feed.rate(), rate);
            EXPECT_EQ(feed.channels(), channels);
        }
    }
    // 32 kbit/s stereo at 44100 Hz: the library resamples to a rate the reader refuses, and so
    // does the fed decoder.
    std::vector<int16_t> pcm = test::test_signal(44100, 2);
    Mp3FeedDecoder feed;
    int16_t l[MP3_FRAME_SAMPLES], r[MP3_FRAME_SAMPLES];
    int worst = 0;
    ConvertControl control;
    ConvertFailure why;
    Mp3FileEncoder encoder;
    encoder.on_stream = [&](const uint8_t* bytes, size_t size) {
        for (int got = feed.decode(bytes, size, l, r); got != 0;
             got = feed.decode(bytes, 0, l, r)) {
            worst = std::min(worst, got);
            if (got < 0)
                break;
        }
    };
    ASSERT_TRUE(encoder.open(dir / "low.mp3", 44100, 2, 32, 0, control, why));
    ASSERT_TRUE(encoder.write(pcm.data(), pcm.size() / 2, why));
    ASSERT_TRUE(encoder.finish(why));
    Mp3Decoder file;
    if (!file.open(dir / "low.mp3")) {
        EXPECT_LT(worst, 0) << "the file is refused, the stream must be too";
    } else {
        EXPECT_EQ(worst, 0);
    }
}

}  // namespace
}  // namespace zv
