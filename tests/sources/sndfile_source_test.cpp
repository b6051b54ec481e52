// Songs through libsndfile: the rate rule, the comments, the refusals by name and content, the
// failures that must never pass for the end of a song, and the samples the chain receives
// (exact for 16-bit songs at a chain rate, resampled and dithered to the same every time
// otherwise).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "sources/chain_rate_reader.h"
#include "sources/ogg_pages.h"
#include "sources/sndfile_source.h"
#include "sources/song_rates.h"
#include "sources/song_tags.h"
#include "sources/wav_source.h"
#include "tests/support/failing_reader.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

std::vector<int16_t> read_all(ChainRateReader& r, size_t chunk = 4096) {
    std::vector<int16_t> out;
    std::vector<int16_t> block(chunk * static_cast<size_t>(r.channels()));
    for (;;) {
        const size_t got = r.read(block.data(), chunk);
        out.insert(out.end(), block.begin(),
                   block.begin() + static_cast<ptrdiff_t>(got * static_cast<size_t>(r.channels())));
        if (got < chunk) {
            return out;
        }
    }
}

std::vector<int16_t> wav_samples(const std::string& path) {
    WavReader reader;
    EXPECT_TRUE(reader.open(path)) << path;
    std::vector<int16_t> out(reader.data_bytes() / 2);
    EXPECT_EQ(reader.read(out.data(), out.size() * 2), out.size() * 2);
    return out;
}

double rms(const std::vector<int16_t>& s, size_t from = 0) {
    double sum = 0;
    for (size_t i = from; i < s.size(); ++i) {
        sum += static_cast<double>(s[i]) * s[i];
    }
    return std::sqrt(sum / static_cast<double>(s.size() - from));
}

TEST(SongRates, FamiliesGoToTheirChainRate) {
    struct Case {
        int32_t song, chain;
    };
    for (Case c : {Case{32000, 32000},
                   {44100, 44100},
                   {48000, 48000},
                   {8000, 48000},
                   {11025, 44100},
                   {16000, 48000},
                   {22050, 44100},
                   {24000, 48000},
                   {88200, 44100},
                   {96000, 48000},
                   {176400, 44100},
                   {192000, 48000},
                   {12000, 48000},
                   {37800, 48000},
                   {0, 0},
                   {7999, 7999},
                   {384000, 384000}}) {
        EXPECT_EQ(chain_rate_for(c.song), c.chain) << c.song;
    }
    EXPECT_EQ(chain_rate_frames(288000, 96000), 144000u);
    EXPECT_EQ(chain_rate_frames(3, 96000), 2u);  // 1.5 rounds up
    EXPECT_EQ(chain_rate_frames(1, 88200), 1u);  // 0.5 rounds up
    EXPECT_EQ(chain_rate_frames(8820, 22050), 17640u);
    EXPECT_EQ(chain_rate_frames(4000, 44100), 4000u);
    // Whole seconds first: a week at 192 kHz does not overflow.
    EXPECT_EQ(chain_rate_frames(uint64_t{192000} * 604800, 192000), uint64_t{48000} * 604800);
}

TEST(SongTags, TrackNumbersAndTheSlotImage) {
    EXPECT_EQ(track_number_of("7"), 7);
    EXPECT_EQ(track_number_of("07/12"), 7);
    EXPECT_EQ(track_number_of("256"), 0);
    EXPECT_EQ(track_number_of("A1"), 0);
    EXPECT_EQ(track_number_of("3 of 9"), 0);
    EXPECT_EQ(track_number_of(""), 0);

    EXPECT_FALSE(id3v1_slot_of(SongTags{}).present());
    SongTags t;
    t.title = "Fixture FLAC 歌の題名はとても長い";  // 13 ASCII bytes, then 3-byte characters
    t.album = "Album";
    t.track = 7;
    const Id3v1Tag slot = id3v1_slot_of(t);
    ASSERT_TRUE(slot.present());
    EXPECT_EQ(slot.title(), "Fixture FLAC 歌の題名は");  // 28 bytes: the next one would split
    EXPECT_EQ(slot.artist(), "");
    EXPECT_EQ(slot.track(), 7);
    EXPECT_EQ(slot.bytes[ID3V1_TRACK_OFFSET - 1], 0);

    // Back from an MP3's tag: CP932 becomes UTF-8, the blanks taggers pad with go.
    Id3v1Tag mp3;
    std::memcpy(mp3.bytes.data(), "TAG", 3);
    std::memcpy(mp3.bytes.data() + ID3V1_TITLE_OFFSET, "\x83\x5c\x83t\x83g   ", 9);
    std::memcpy(mp3.bytes.data() + ID3V1_ALBUM_OFFSET, "Best", 4);
    mp3.bytes[ID3V1_TRACK_OFFSET] = 3;
    const SongTags back = tags_of_id3v1(mp3);
    EXPECT_EQ(back.title, "ソフト");
    EXPECT_EQ(back.album, "Best");
    EXPECT_EQ(back.track, 3);
    mp3.bytes[ID3V1_TRACK_OFFSET - 1] = 'x';  // ID3v1.0: the byte belongs to the comment
    EXPECT_EQ(tags_of_id3v1(mp3).track, 0);
}

TEST(SndfileReader, TakesWhatItsNameSaysAndNothingElse) {
    SndfileReader r;
    ASSERT_TRUE(r.open(test::fixture("song.flac")));
    EXPECT_EQ(r.info().codec, SndfileCodec::Flac);
    EXPECT_TRUE(r.info().plain_16_bit);
    EXPECT_EQ(r.info().tags.artist, "Fixture Artist");
    EXPECT_EQ(r.info().tags.track, 7);

    ASSERT_TRUE(r.open(test::fixture("opus_as.ogg")));  // Opus in a .ogg: an Ogg file
    EXPECT_EQ(r.info().codec, SndfileCodec::Opus);
    EXPECT_FALSE(r.info().plain_16_bit);

    EXPECT_FALSE(r.open(test::fixture("hostile/opus_named.flac")));
    EXPECT_EQ(r.problem(), SndfileProblem::WrongKind);
    EXPECT_EQ(r.error(), "an Ogg Opus file, not FLAC as its name says");

    EXPECT_FALSE(r.open(test::fixture("six_channels.flac")));
    EXPECT_EQ(r.problem(), SndfileProblem::Channels);
    EXPECT_FALSE(r.open(test::fixture("hostile/zero_rate.flac")));
    EXPECT_FALSE(r.open(test::fixture("hostile/million_channels.flac")));
    EXPECT_FALSE(r.open(test::fixture("hostile/noise.opus")));
    EXPECT_EQ(r.problem(), SndfileProblem::Unreadable);
    EXPECT_FALSE(r.open(test::fixture("no_such_file.flac")));
    EXPECT_EQ(r.problem(), SndfileProblem::CannotOpen);

    // A WAV comes here only when the WAV reader refuses it for its depth or rate alone.
    EXPECT_TRUE(r.open(test::fixture("pcm24_stereo.wav")));
    EXPECT_FALSE(r.open(test::fixture("pcm16_stereo_44100.wav")));
    EXPECT_FALSE(r.open(test::fixture("pcm16_3ch.wav")));
    EXPECT_FALSE(r.open(test::fixture("hostile/data_before_fmt.wav")));
    for (const char* name : {"zero_channels_24.wav", "many_channels_24.wav", "zero_rate_24.wav"}) {
        EXPECT_FALSE(r.open(test::fixture(std::string("hostile/") + name))) << name;
    }
    // 8-bit samples (here u-law) stay refused, whatever the library could make of them.
    std::vector<uint8_t> ulaw =
        test::RiffBuilder().fmt(1, 22050, 8).chunk("data", std::vector<uint8_t>(100, 0x7f)).bytes();
    ulaw[20] = 7;  // WAVE_FORMAT_MULAW
    EXPECT_FALSE(r.open(std::make_unique<MemoryByteReader>(ulaw.data(), ulaw.size()), "u.wav"));
    EXPECT_FALSE(r.open(test::fixture("pcm8_mono.wav")));
}

TEST(SndfileReader, FailuresAreNeverTheEndOfTheSong) {
    // A cut FLAC opens (its header is whole) and fails where its samples stop.
    ChainRateReader cut;
    ASSERT_TRUE(cut.open(test::fixture("hostile/cut.flac")));
    const std::vector<int16_t> got = read_all(cut);
    EXPECT_LT(got.size(), 132300u * 2);
    EXPECT_TRUE(cut.failed());
    EXPECT_NE(cut.error().find("cut short"), std::string::npos) << cut.error();
    EXPECT_EQ(cut.read(std::vector<int16_t>(8).data(), 4), 0u);

    // An Ogg page that fails its checksum: the probe takes the headers, a reader refuses it.
    SndfileSongInfo info;
    EXPECT_TRUE(probe_sndfile(test::fixture("hostile/broken_page.ogg"), info));
    ChainRateReader broken;
    EXPECT_FALSE(broken.open(test::fixture("hostile/broken_page.ogg")));
    EXPECT_NE(broken.error().find("checksum"), std::string::npos) << broken.error();

    // A read error in the middle of the file.
    const std::vector<uint8_t> flac = test::read_bytes(test::fixture("song.flac"));
    ChainRateReader eio;
    ASSERT_TRUE(
        eio.open(std::make_unique<test::FailingByteReader>(flac, flac.size() / 2), "a.flac"));
    read_all(eio);
    EXPECT_TRUE(eio.failed());
    EXPECT_EQ(eio.error(), "read error: Input/output error");
}

// A hostile length (an Ogg's last granule position near 2^62) saturates rather than wraps to
// a negative or short length.
TEST(SndfileSongInfo, PcmBytesSaturate) {
    SndfileSongInfo info;
    info.channels = 2;
    info.frames = 1000;
    EXPECT_EQ(sndfile_pcm_bytes(info), 4000);
    info.frames = uint64_t{1} << 62;
    EXPECT_EQ(sndfile_pcm_bytes(info), static_cast<int64_t>(INT64_MAX / 4) * 4);
    EXPECT_GT(sndfile_pcm_bytes(info), 0);
}

TEST(OggPages, WholeIntactPagesOnly) {
    std::vector<uint8_t> ogg = test::read_bytes(test::fixture("song.ogg"));
    std::string why;
    MemoryByteReader whole(ogg.data(), ogg.size());
    EXPECT_TRUE(check_ogg_pages(whole, why)) << why;

    std::vector<uint8_t> cut(ogg.begin(), ogg.end() - 100);
    MemoryByteReader short_in(cut.data(), cut.size());
    EXPECT_FALSE(check_ogg_pages(short_in, why));
    EXPECT_NE(why.find("cut off"), std::string::npos) << why;

    // The second page taken out: its stream misses a page (each page checks out itself).
    const size_t second = [&] {
        for (size_t i = 4; i + 4 < ogg.size(); ++i) {
            if (std::memcmp(ogg.data() + i, "OggS", 4) == 0) {
                return i;
            }
        }
        return size_t{0};
    }();
    size_t third = second + 4;
    while (third + 4 < ogg.size() && std::memcmp(ogg.data() + third, "OggS", 4) != 0) {
        ++third;
    }
    ASSERT_GT(second, 0u);
    std::vector<uint8_t> holed(ogg.begin(), ogg.begin() + static_cast<ptrdiff_t>(second));
    holed.insert(holed.end(), ogg.begin() + static_cast<ptrdiff_t>(third), ogg.end());
    MemoryByteReader holed_in(holed.data(), holed.size());
    EXPECT_FALSE(check_ogg_pages(holed_in, why));
    EXPECT_NE(why.find("missing"), std::string::npos) << why;

    // Bytes after the end of every stream are allowed.
    std::vector<uint8_t> tail = ogg;
    tail.insert(tail.end(), {'T', 'A', 'G', 0, 0});
    MemoryByteReader tail_in(tail.data(), tail.size());
    EXPECT_TRUE(check_ogg_pages(tail_in, why)) << why;
}

TEST(ChainRateReader, SixteenBitSongsPassExactly) {
    ChainRateReader flac;
    ASSERT_TRUE(flac.open(test::fixture("song.flac")));
    EXPECT_FALSE(flac.resampled());
    EXPECT_EQ(flac.rate(), 44100);
    EXPECT_EQ(read_all(flac, 1000), wav_samples(test::fixture("song.wav")));
    EXPECT_FALSE(flac.failed());
}

TEST(ChainRateReader, OtherRatesAreResampledTheSameEveryTime) {
    ChainRateReader a;
    ASSERT_TRUE(a.open(test::fixture("hires_96k24.wav")));
    EXPECT_TRUE(a.resampled());
    EXPECT_EQ(a.rate(), 48000);
    EXPECT_EQ(a.frames(), 144000u);
    const std::vector<int16_t> first = read_all(a, 4096);
    EXPECT_EQ(first.size(), 144000u * 2);
    EXPECT_FALSE(a.failed());
    // Other read sizes, another reader: the same samples, dither included.
    ChainRateReader b;
    ASSERT_TRUE(b.open(test::fixture("hires_96k24.wav")));
    EXPECT_EQ(read_all(b, 777), first);
    // Back to the start: the same samples again.
    ASSERT_TRUE(b.seek(0));
    EXPECT_EQ(read_all(b, 4096), first);

    // The level of the 48 kHz version of the same signal, within 0.1 dB (after the first
    // tenth of a second, where the resampler's filter settles).
    const std::vector<int16_t> same = wav_samples(test::fixture("hires_same_48k.wav"));
    ASSERT_EQ(same.size(), first.size());
    EXPECT_NEAR(20 * std::log10(rms(first, 9600) / rms(same, 9600)), 0.0, 0.1);

    // Upsampled, mono: 16 kHz Opus to 48 kHz.
    ChainRateReader up;
    ASSERT_TRUE(up.open(test::fixture("opus_16k_mono.opus")));
    EXPECT_EQ(up.rate(), 48000);
    EXPECT_EQ(up.channels(), 1);
    EXPECT_EQ(read_all(up).size(), 48000u);
}

TEST(TpdfDither, TriangularAroundTheValueAndReproducible) {
    TpdfDither d;
    double sum = 0;
    int below = 0, at = 0, above = 0;
    constexpr int N = 100000;
    const float value = 100.25f / 32768.0f;
    for (int i = 0; i < N; ++i) {
        const int v = d.to_16_bit(value);
        ASSERT_GE(v, 99);
        ASSERT_LE(v, 101);
        below += v == 99;
        at += v == 100;
        above += v == 101;
        sum += v;
    }
    EXPECT_NEAR(sum / N, 100.25, 0.01);  // no bias
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);
    TpdfDither a, b;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(a.to_16_bit(0.3f), b.to_16_bit(0.3f));
    }
    EXPECT_EQ(d.to_16_bit(2.0f), 32767);
    EXPECT_EQ(d.to_16_bit(-2.0f), -32768);
    EXPECT_EQ(d.to_16_bit(std::nanf("")), 0);
}

}  // namespace
}  // namespace zv
