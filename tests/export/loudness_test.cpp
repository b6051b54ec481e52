#include "export/loudness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "export/export_job.h"
#include "export/song_entry.h"
#include "test_media.h"
#include "tests/support/tools.h"

namespace zv {
namespace {

constexpr double NEG_INF = -std::numeric_limits<double>::infinity();

// A 1 kHz sine at `dbfs` in every channel.
std::vector<int16_t> sine(int rate, int channels, double seconds, double dbfs) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    const double amplitude = 32768.0 * std::pow(10.0, dbfs / 20.0);
    std::vector<int16_t> mono = test::sine_samples(frames, amplitude, 2.0 * M_PI * 1000.0 / rate);
    std::vector<int16_t> out;
    for (int16_t s : mono) {
        out.insert(out.end(), static_cast<size_t>(channels), s);
    }
    return out;
}

LoudnessFigures measure(const std::vector<int16_t>& samples, int channels, int rate) {
    LoudnessMeter meter(channels, rate);
    EXPECT_TRUE(meter.ok());
    // In odd pieces, as the export's blocks come.
    for (size_t at = 0; at < samples.size();) {
        const size_t n = std::min<size_t>(samples.size() - at, 7777u * channels);
        meter.add(std::span<const int16_t>(samples.data() + at, n));
        at += n;
    }
    LoudnessFigures f;
    EXPECT_TRUE(meter.figures(f));
    return f;
}

// Both channels of a full-scale sine sum to 0 LUFS; one channel alone is 3 dB lower.
TEST(LoudnessMeter, SineLevelsAndChannelWeights) {
    const LoudnessFigures stereo = measure(sine(48000, 2, 5.0, -20.0), 2, 48000);
    EXPECT_NEAR(stereo.integrated_lufs, -20.0, 0.1);
    EXPECT_NEAR(stereo.true_peak_dbtp, -20.0, 0.1);
    EXPECT_NEAR(stereo.range_lu, 0.0, 0.1);
    const LoudnessFigures mono = measure(sine(44100, 1, 5.0, -20.0), 1, 44100);
    EXPECT_NEAR(mono.integrated_lufs, -23.0, 0.1);
}

// Ten seconds at -20 dBFS then ten at -30: a loudness range of 10 LU.
TEST(LoudnessMeter, RangeFollowsLevelSteps) {
    std::vector<int16_t> song = sine(48000, 2, 10.0, -20.0);
    const std::vector<int16_t> quiet = sine(48000, 2, 10.0, -30.0);
    song.insert(song.end(), quiet.begin(), quiet.end());
    const LoudnessFigures f = measure(song, 2, 48000);
    EXPECT_NEAR(f.range_lu, 10.0, 1.0);
    EXPECT_NEAR(f.true_peak_dbtp, -20.0, 0.1);
    EXPECT_GT(f.integrated_lufs, -25.0);
    EXPECT_LT(f.integrated_lufs, -20.0);
}

TEST(LoudnessMeter, SilenceAndBadShapes) {
    const LoudnessFigures silent = measure(std::vector<int16_t>(2 * 48000 * 2, 0), 2, 48000);
    EXPECT_EQ(silent.integrated_lufs, NEG_INF);
    EXPECT_EQ(silent.true_peak_dbtp, NEG_INF);
    EXPECT_EQ(loudness_text(silent), "-inf LUFS, range 0.0 LU, true peak -inf dBTP");
    EXPECT_EQ(loudness_figure_text(-14.04, 2), "-14.04");

    for (int channels : {0, 3}) {
        LoudnessMeter meter(channels, 44100);
        EXPECT_FALSE(meter.ok());
        meter.add(std::vector<int16_t>(12, 1));  // harmless
        LoudnessFigures f;
        EXPECT_FALSE(meter.figures(f));
    }
    EXPECT_FALSE(LoudnessMeter(2, 0).ok());
}

TEST(LoudnessFile, RefusesWhatTheReadersRefuse) {
    test::ScratchDir dir;
    LoudnessFigures f;
    std::string error;
    EXPECT_FALSE(measure_file_loudness(dir / "missing.wav", f, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(measure_file_loudness(dir.path(), f, error));  // a folder
    EXPECT_FALSE(error.empty());
    test::write_bytes(dir / "raw.wav", std::vector<uint8_t>(4000, 1));
    EXPECT_FALSE(measure_file_loudness(dir / "raw.wav", f, error));
    EXPECT_EQ(error, "not a RIFF/WAVE file");
    test::WavContent empty;
    test::write_bytes(dir / "empty.wav", test::make_wav_bytes(empty));
    EXPECT_FALSE(measure_file_loudness(dir / "empty.wav", f, error));
}

struct NullObserver : test::QuietExportObserver {
    void block_done() override {
        if (++blocks == cancel_at_block && job) {
            job->cancel();
        }
    }
    int blocks = 0;
    int cancel_at_block = -1;
    ExportJob* job = nullptr;
};

class ExportLoudness : public ::testing::Test {
protected:
    void SetUp() override {
        processor = make_processor();
        processor_startup(*processor);
        ::mkdir((dir / "tmp").c_str(), 0700);
    }
    ExportJobResult export_wav(const std::string& source, const std::string& target,
                               NullObserver& observer, bool normalise = true, bool mp3 = false) {
        ExportJobInputs in;
        std::string error;
        EXPECT_TRUE(make_song_entry(source, in.entry, in.tag, error)) << error;
        in.target_path = target;
        in.options.output_mp3 = mp3 ? 1 : 0;
        in.options.normalise_on_export = normalise ? 1 : 0;
        in.temp_folder = dir / "tmp";
        in.run_id = "12345678";
        ExportJob job(in, *processor, observer, &throttle);
        observer.job = &job;
        return job.run();
    }
    test::ScratchDir dir;
    std::unique_ptr<Processor> processor;
    ThrottleSettings throttle;
};

// What the processor gives for the whole song without the job: the song's frames in blocks,
// then silence, from the latency on.
std::vector<int16_t> reference_output(const std::vector<int16_t>& stereo, int rate) {
    auto p = make_processor();
    processor_startup(*p);
    reset_processor_state(*p);
    p->params.normalisation_gain = 1.0;
    change_sample_rate(*p, rate);
    const size_t latency = static_cast<size_t>(chain_latency_frames(p->params));
    std::vector<int16_t> out;
    std::vector<int16_t> in(EXPORT_BLOCK_SAMPLES), block(EXPORT_BLOCK_SAMPLES);
    for (size_t at = 0; out.size() < stereo.size() + 2 * latency; at += EXPORT_BLOCK_SAMPLES) {
        std::fill(in.begin(), in.end(), int16_t{0});
        if (at < stereo.size()) {
            std::copy(stereo.begin() + static_cast<std::ptrdiff_t>(at),
                      stereo.begin() + static_cast<std::ptrdiff_t>(
                                           std::min(stereo.size(), at + EXPORT_BLOCK_SAMPLES)),
                      in.begin());
        }
        process_block(*p, EXPORT_BLOCK_SAMPLES, in.data(), block.data());
        out.insert(out.end(), block.begin(), block.end());
    }
    return {out.begin() + static_cast<std::ptrdiff_t>(2 * latency),
            out.begin() + static_cast<std::ptrdiff_t>(2 * latency + stereo.size())};
}

// The meter reads the blocks the job writes and nothing else: the file holds exactly what
// the processor gives, and measuring the file gives the very same figures.
TEST_F(ExportLoudness, FiguresAreThoseOfTheBytesWrittenAndLeaveThemAlone) {
    test::WavContent wav;
    wav.samples = test::test_signal(3 * EXPORT_BLOCK_FRAMES + 1234, 2, 9000);
    const std::string source = dir / "song.wav";
    test::write_bytes(source, test::make_wav_bytes(wav));
    NullObserver observer;
    const ExportJobResult r = export_wav(source, dir / "out.wav", observer, false);
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    ASSERT_TRUE(r.loudness.has_value());

    const std::vector<uint8_t> bytes = test::read_bytes(dir / "out.wav");
    ASSERT_EQ(bytes.size(), 44 + wav.samples.size() * 2);
    std::vector<int16_t> written(wav.samples.size());
    std::memcpy(written.data(), bytes.data() + 44, bytes.size() - 44);
    EXPECT_EQ(written, reference_output(wav.samples, 44100));

    LoudnessFigures again;
    std::string error;
    ASSERT_TRUE(measure_file_loudness(dir / "out.wav", again, error)) << error;
    EXPECT_EQ(again.integrated_lufs, r.loudness->integrated_lufs);
    EXPECT_EQ(again.range_lu, r.loudness->range_lu);
    EXPECT_EQ(again.true_peak_dbtp, r.loudness->true_peak_dbtp);
}

TEST_F(ExportLoudness, CancelledSongHasNoFigures) {
    test::WavContent wav;
    wav.samples = test::test_signal(4 * EXPORT_BLOCK_FRAMES, 2, 9000);
    test::write_bytes(dir / "song.wav", test::make_wav_bytes(wav));
    NullObserver observer;
    observer.cancel_at_block = 2;
    const ExportJobResult r = export_wav(dir / "song.wav", dir / "out.wav", observer);
    EXPECT_EQ(r.end, ExportEnd::Cancelled);
    EXPECT_FALSE(r.loudness.has_value());
}

struct Reference {
    double integrated = 0.0;
    double true_peak = 0.0;
};

// ffmpeg's ebur128 filter on a file: the summary's integrated loudness and true peak.
bool reference_figures(const std::string& path, const std::string& log, Reference& ref) {
    const std::string cmd = "ffmpeg -nostdin -nostats -hide_banner -i " + test::shell_quote(path) +
                            " -af ebur128=peak=true -f null - 2> " + test::shell_quote(log);
    if (std::system(cmd.c_str()) != 0) {
        return false;
    }
    std::ifstream in(log);
    std::string line;
    bool summary = false, got_i = false, got_peak = false;
    while (std::getline(in, line)) {
        summary = summary || line.find("Summary:") != std::string::npos;
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (summary && key == "I:") {
            got_i = static_cast<bool>(words >> ref.integrated);
        } else if (summary && key == "Peak:") {
            got_peak = static_cast<bool>(words >> ref.true_peak);
        }
    }
    return got_i && got_peak;
}

// Three songs of different character, processed and measured, agree with ffmpeg's meter on
// the same output files, WAV and MP3.
TEST_F(ExportLoudness, AgreesWithFfmpegOnTheExportedFiles) {
    if (!test::tool_available("sox") || !test::tool_available("ffmpeg")) {
        GTEST_SKIP() << "needs sox and ffmpeg";
    }
    const std::vector<std::pair<std::string, std::string>> songs = {
        // Wide-band noise pulsing slowly: loud, dense, dynamic.
        {"noise.wav", "-r 44100 -c 2 -b 16 {} synth 12 pinknoise tremolo 0.5 90 gain -10"},
        // A mono sweep with long fades: one channel, 48 kHz, a wide range.
        {"sweep.wav", "-r 48000 -c 1 -b 16 {} synth 10 sine 60-6000 fade t 3 10 3 gain -6"},
        // Quiet chords with gaps of silence at 32 kHz: the gates matter.
        {"bursts.wav",
         "-r 32000 -c 2 -b 16 {} synth 0.3 square 330 square 440 pad 0 0.4 repeat 12 gain -20"},
    };
    for (const auto& [name, args] : songs) {
        SCOPED_TRACE(name);
        const std::string source = dir / name;
        std::string sox_args = args;
        sox_args.replace(sox_args.find("{}"), 2, test::shell_quote(source));
        ASSERT_TRUE(test::run("sox -R -n " + sox_args));  // -R: the same noise every run
        NullObserver observer;
        const std::string target = dir / ("zel_" + name);
        const ExportJobResult r = export_wav(source, target, observer);
        ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
        ASSERT_TRUE(r.loudness.has_value());
        Reference ref;
        ASSERT_TRUE(reference_figures(target, dir / "ffmpeg.log", ref));
        // ffmpeg prints one decimal.
        EXPECT_NEAR(r.loudness->integrated_lufs, ref.integrated, 0.1);
        EXPECT_NEAR(r.loudness->true_peak_dbtp, ref.true_peak, 0.2);
        EXPECT_GT(r.loudness->integrated_lufs, -30.0);  // a real song, not silence
    }
    // An MP3 export measures the MP3 it wrote: its encoder's low-pass takes some loudness away.
    // (Not the bursts: ffmpeg's decoder drops the encoder's delay, ours keeps it, and on short
    // bursts the shift of the 100 ms block grid alone moves the gated figure by half a LU.)
    NullObserver observer;
    const std::string target = dir / "zel_noise.mp3";
    const ExportJobResult r = export_wav(dir / "noise.wav", target, observer, true, true);
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    ASSERT_TRUE(r.loudness.has_value());
    Reference ref;
    ASSERT_TRUE(reference_figures(target, dir / "ffmpeg.log", ref));
    EXPECT_NEAR(r.loudness->integrated_lufs, ref.integrated, 0.1);
    EXPECT_NEAR(r.loudness->true_peak_dbtp, ref.true_peak, 0.2);
}

}  // namespace
}  // namespace zv
