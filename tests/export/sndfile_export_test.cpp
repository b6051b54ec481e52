// The export of songs read through libsndfile and into FLAC and Opus files: a 16-bit FLAC
// exports exactly as the same samples in a WAV, a FLAC output holds exactly the samples of the
// WAV output, Opus runs at 48 kHz, a 96 kHz song at its chain rate; tags follow the song;
// damaged songs fail and leave nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include <sndfile.h>

#include "export/export_job.h"
#include "export/export_rules.h"
#include "export/sndfile_convert.h"
#include "export/song_entry.h"
#include "settings/text_field.h"
#include "sources/sndfile_source.h"
#include "sources/wav_source.h"
#include "test_media.h"

namespace zv {
namespace {

class SndfileExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        processor = make_processor();
        processor_startup(*processor);
        mkdir((dir / "tmp").c_str(), 0700);
    }
    ExportJobResult run(const std::string& source, ExportFormat format, const std::string& target,
                        int cores = 1) {
        ExportJobInputs in;
        Id3v1Tag tag;
        std::string error;
        EXPECT_TRUE(make_song_entry(source, in.entry, in.tag, error)) << error;
        set_export_format(options, format);
        in.target_path = format == ExportFormat::Mp3 ? mp3_mode_target(target) : target;
        in.options = options;
        in.encoder = encoder;
        in.temp_folder = dir / "tmp";
        in.run_id = "12345678";
        in.cores = cores;
        in.keep_cancelled_output = false;
        test::QuietExportObserver observer;
        ExportJob job(in, *processor, observer, &throttle);
        return job.run();
    }
    bool temp_is_empty() const { return std::filesystem::is_empty(dir.path() / "tmp"); }

    test::ScratchDir dir;
    std::unique_ptr<Processor> processor;
    ExportOptions options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
};

std::vector<int16_t> samples_of(const std::string& path, SndfileSongInfo* info = nullptr) {
    SndfileReader reader;
    EXPECT_TRUE(reader.open(path)) << path << ": " << reader.error();
    if (info != nullptr) {
        *info = reader.info();
    }
    std::vector<int16_t> out(reader.info().frames * static_cast<size_t>(reader.info().channels));
    EXPECT_EQ(reader.read_short(out.data(), reader.info().frames), reader.info().frames);
    return out;
}

TEST_F(SndfileExportTest, FlacSongExportsAsTheSameSamplesInAWav) {
    for (int cores : {1, 2}) {
        ASSERT_EQ(
            run(test::fixture("song.flac"), ExportFormat::Wav, dir / "from_flac.wav", cores).end,
            ExportEnd::Completed);
        ASSERT_EQ(
            run(test::fixture("song.wav"), ExportFormat::Wav, dir / "from_wav.wav", cores).end,
            ExportEnd::Completed);
        EXPECT_EQ(test::read_bytes(dir / "from_flac.wav"), test::read_bytes(dir / "from_wav.wav"));
    }
    // As MP3 the FLAC's comments become the ID3v1 tag; the audio is the WAV's MP3.
    set_text(options.tag_album_prefix, "Live-");
    ASSERT_EQ(run(test::fixture("song.flac"), ExportFormat::Mp3, dir / "a.mp3").end,
              ExportEnd::Completed);
    ASSERT_EQ(run(test::fixture("song.wav"), ExportFormat::Mp3, dir / "b.mp3").end,
              ExportEnd::Completed);
    const std::vector<uint8_t> tagged = test::read_bytes(dir / "a.mp3");
    const std::vector<uint8_t> plain = test::read_bytes(dir / "b.mp3");
    ASSERT_EQ(tagged.size(), plain.size() + ID3V1_BYTES);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), tagged.begin()));
    Id3v1Tag tag;
    ASSERT_TRUE(read_id3v1(dir / "a.mp3", tag));
    EXPECT_EQ(tag.album(), "Live-Fixture Album");
    EXPECT_EQ(tag.artist(), "Fixture Artist");
    EXPECT_EQ(tag.track(), 7);
    EXPECT_TRUE(temp_is_empty());
}

TEST_F(SndfileExportTest, FlacOutputHoldsTheWavOutputsSamplesAndTheTags) {
    set_text(options.tag_title_prefix, "New: ");
    ASSERT_EQ(run(test::fixture("song.ogg"), ExportFormat::Wav, dir / "out.wav").end,
              ExportEnd::Completed);
    const ExportJobResult r = run(test::fixture("song.ogg"), ExportFormat::Flac, dir / "out.x");
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    EXPECT_EQ(r.output_path, dir / "out.flac");
    ASSERT_TRUE(r.loudness);
    WavReader wav;
    ASSERT_TRUE(wav.open(dir / "out.wav"));
    std::vector<int16_t> want(wav.data_bytes() / 2);
    wav.read(want.data(), wav.data_bytes());
    SndfileSongInfo info;
    EXPECT_EQ(samples_of(dir / "out.flac", &info), want);
    EXPECT_EQ(info.tags.title, "New: Vorbis Song");
    EXPECT_EQ(info.tags.album, "Ogg Album");
    EXPECT_EQ(info.tags.track, 3);
    // A WAV has no tag: none is written.
    ASSERT_EQ(run(test::fixture("song.wav"), ExportFormat::Flac, dir / "untagged.flac").end,
              ExportEnd::Completed);
    samples_of(dir / "untagged.flac", &info);
    EXPECT_FALSE(info.tags.any());
}

TEST_F(SndfileExportTest, OpusRunsAt48kHzWithTheSongsLength) {
    encoder.opus_bitrate_kbps = 64;
    const ExportJobResult r = run(test::fixture("song.flac"), ExportFormat::Opus, dir / "o.wav");
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    EXPECT_EQ(r.output_path, dir / "o.opus");
    ASSERT_TRUE(r.loudness);  // measured as the file decodes
    SndfileSongInfo info;
    const std::vector<int16_t> samples = samples_of(dir / "o.opus", &info);
    EXPECT_EQ(info.codec, SndfileCodec::Opus);
    EXPECT_EQ(info.rate, 48000);
    EXPECT_EQ(info.frames, 144000u);  // 132300 frames at 44100 Hz
    EXPECT_EQ(info.tags.artist, "Fixture Artist");
    // About 64 kbit/s: 3 s of it, give or take the container and the encoder's choices.
    const auto bytes = std::filesystem::file_size(dir.path() / "o.opus");
    EXPECT_GT(bytes, 3 * 64000 / 8 * 8 / 10);
    EXPECT_LT(bytes, 3 * 64000 / 8 * 13 / 10);
}

TEST_F(SndfileExportTest, HighRateSongExportsAtItsChainRate) {
    ASSERT_EQ(run(test::fixture("hires_96k24.wav"), ExportFormat::Wav, dir / "hi.wav").end,
              ExportEnd::Completed);
    WavReader out;
    ASSERT_TRUE(out.open(dir / "hi.wav"));
    EXPECT_EQ(out.rate(), 48000);
    EXPECT_EQ(out.data_bytes(), 144000u * 4);
}

TEST_F(SndfileExportTest, DamagedSongsFailAndLeaveNothing) {
    struct Case {
        const char* name;
        const char* why;
    };
    for (Case c :
         {Case{"hostile/cut.flac", "cut short"}, Case{"hostile/broken_page.ogg", "checksum"}}) {
        for (ExportFormat format : {ExportFormat::Wav, ExportFormat::Flac, ExportFormat::Opus}) {
            const ExportJobResult r = run(test::fixture(c.name), format, dir / "out.wav",
                                          format == ExportFormat::Wav ? 2 : 1);
            EXPECT_EQ(r.end, ExportEnd::Failed) << c.name;
            EXPECT_NE(r.failure.find(c.why), std::string::npos) << r.failure;
            EXPECT_FALSE(r.encoder_failed);
            EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp")) << c.name;
            for (const char* out : {"out.wav", "out.flac", "out.opus"}) {
                EXPECT_FALSE(std::filesystem::exists(dir.path() / out)) << c.name;
            }
        }
    }
}

// A 16-bit FLAC of `frames` frames, quiet but for one sample of `loud` at `loud_at`.
void write_flac(const std::string& path, int channels, int frames, int loud_at, int16_t loud) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    std::vector<int16_t> samples(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i * 7919) % 4001) - 2000;
    if (loud_at >= 0)
        samples[static_cast<size_t>(loud_at)] = loud;
    EXPECT_EQ(sf_writef_short(sf, samples.data(), frames), frames);
    sf_close(sf);
}

// Decoded in two halves at once, a song gives the working copy and the level it gives in one
// pass: loud only in the later half's whole blocks, only in the song's last partial block
// (which never makes the level full scale), or nowhere; mono and stereo.
TEST(SndfileDecode, TwoHalvesGiveOnePassesBytesAndLevel) {
    test::ScratchDir dir;
    for (int channels : {1, 2}) {
        const int frames = 5 * 32768 + 1234;
        const int samples = frames * channels;
        for (int loud_at : {-1, samples - 600, samples * 3 / 4, 1000}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, loud at " << loud_at);
            const std::string flac = dir / "song.flac";
            write_flac(flac, channels, frames, loud_at, 31000);
            std::vector<uint8_t> bytes[2];
            int32_t level[2] = {0, 0};
            for (bool two : {false, true}) {
                ConvertControl control;
                ConvertFailure why;
                PeakTracker peak;
                const std::string wav = dir / (two ? "two.wav" : "one.wav");
                ASSERT_TRUE(decode_sndfile_to_wav(flac, wav, control, why, &peak, nullptr, two))
                    << why.text;
                bytes[two] = test::read_bytes(wav);
                level[two] = peak.level();
            }
            EXPECT_EQ(bytes[1], bytes[0]);
            EXPECT_EQ(level[1], level[0]);
            EXPECT_EQ(level[0], loud_at < 0                ? 2000
                                : loud_at > samples - 1000 ? 31000
                                                           : PEAK_FULL_SCALE);
        }
    }
}

// A WAV neither reader takes is refused with the rule of both, not the 16-bit reader's alone.
TEST(SndfileDecode, RefusedWavNamesEveryFormatTaken) {
    test::ScratchDir dir;
    test::write_wav(dir / "three.wav", 44100, 3, 6000);
    SongEntry entry;
    Id3v1Tag tag;
    std::string error;
    EXPECT_FALSE(make_song_entry(dir / "three.wav", entry, tag, error));
    EXPECT_EQ(error, std::string("unsupported WAV format (") + WAV_FORMATS_TAKEN + ")");
}

TEST(ExportFormats, NamesAndTheStateFilesOneField) {
    ExportOptions o;
    EXPECT_EQ(export_format(o), ExportFormat::Mp3);  // the start value
    set_export_format(o, ExportFormat::Flac);
    EXPECT_EQ(o.output_mp3, 0);
    set_export_format(o, ExportFormat::Mp3);
    EXPECT_EQ(o.output_mp3, 1);
    EXPECT_EQ(export_format(o), ExportFormat::Mp3);  // MP3 in the state file stays MP3
    o.output_mp3 = 0;
    EXPECT_EQ(export_format(o), ExportFormat::Flac);  // "not MP3" is what was chosen last
    EXPECT_EQ(final_output_path("/o/mm_a.mp3", ExportFormat::Flac), "/o/mm_a.flac");
    EXPECT_EQ(final_output_path("/o/song.live_x", ExportFormat::Opus), "/o/song.opus");
    EXPECT_EQ(opus_bitrate_from_entry("96"), 96);
    EXPECT_EQ(opus_bitrate_from_entry("11"), OPUS_DEFAULT_KBPS);
    EXPECT_EQ(opus_bitrate_from_entry("257"), OPUS_DEFAULT_KBPS);
    EXPECT_EQ(opus_bitrate_from_entry("x"), OPUS_DEFAULT_KBPS);
}

}  // namespace
}  // namespace zv
