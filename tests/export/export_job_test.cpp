#include "export/export_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "engine/normalisation.h"
#include "export/file_ops.h"
#include "export/mp3_convert.h"
#include "export/temp_folder.h"
#include "test_media.h"

namespace zv {
namespace {

struct RecordingObserver : ExportObserver {
    void set_text(int id, const std::string& t) override {
        texts.emplace_back(id, t);
        if (t == cancel_on_text && job)
            job->cancel();
    }
    void set_progress_range(int max) override { range = max; }
    void step_progress() override { ++steps; }
    void block_done() override {
        ++blocks;
        if (cancel_at_block == blocks && job)
            job->cancel();
    }
    void finished(const ExportJobResult& r) override {
        result = r;
        ++finished_calls;
    }
    std::string last_text(int id) const {
        for (auto it = texts.rbegin(); it != texts.rend(); ++it)
            if (it->first == id)
                return it->second;
        return "<none>";
    }
    std::vector<std::pair<int, std::string>> texts;
    int range = -1, steps = 0, blocks = 0, finished_calls = 0;
    int cancel_at_block = -1;
    std::string cancel_on_text = "<never>";
    ExportJob* job = nullptr;
    ExportJobResult result;
};

class ExportJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        processor = make_processor();
        processor_startup(*processor);
        options.output_mp3 = 0;
        options.normalise_on_export = 0;
        mkdir((dir / "tmp").c_str(), 0700);
    }
    std::string source(const test::WavContent& wav, const std::string& name = "song.wav") {
        std::string path = dir / name;
        test::write_bytes(path, test::make_wav_bytes(wav));
        return path;
    }
    ExportJobResult run(const std::string& src, int rate, int channels, std::string target,
                        RecordingObserver& obs, int32_t peak = 0) {
        ExportJobInputs in;
        set_song_path(in.entry, src);
        in.entry.sample_rate = rate;
        in.entry.channels = channels;
        in.entry.peak_level = peak;
        in.entry.source_type = SOURCE_WAV;
        in.target_path = std::move(target);
        in.options = options;
        in.encoder = encoder;
        in.temp_folder = dir / "tmp";
        in.run_id = "12345678";
        in.keep_cancelled_output = keep_cancelled_output;
        ExportJob job(in, *processor, obs, &throttle);
        obs.job = &job;
        ExportJobResult r = job.run();
        obs.job = nullptr;
        return r;
    }
    // What a fresh processor gives for the first block of the song, as 16-bit stereo.
    std::vector<int16_t> reference_first_block(const std::vector<int16_t>& stereo, int rate,
                                               double gain) {
        auto p = make_processor();
        processor_startup(*p);
        reset_processor_state(*p);
        p->params.normalisation_gain = gain;
        change_sample_rate(*p, rate);
        std::vector<int16_t> in(EXPORT_BLOCK_SAMPLES, 0), out(EXPORT_BLOCK_SAMPLES, 0);
        std::copy(stereo.begin(), stereo.begin() + std::min(stereo.size(), in.size()), in.begin());
        process_block(*p, EXPORT_BLOCK_SAMPLES, in.data(), out.data());
        return out;
    }
    test::ScratchDir dir;
    std::unique_ptr<Processor> processor;
    ExportOptions options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
    bool keep_cancelled_output = false;
};

TEST(ExportTimeText, CountsWholeSeconds) {
    EXPECT_EQ(processed_time_text(3 * 16384, 48000), "00:01");
    EXPECT_EQ(processed_time_text(44100 * 61, 44100), "01:01");
}

TEST_F(ExportJobTest, ShortSongKeepsItsLengthAndStartsAtTheLatency) {
    test::WavContent wav;
    wav.samples = test::test_signal(1000, 2);
    std::string src = source(wav);
    RecordingObserver obs;
    ExportJobResult r = run(src, 44100, 2, dir / "out.wav", obs);
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    EXPECT_EQ(r.output_path, dir / "out.wav");
    std::vector<uint8_t> out = test::read_bytes(dir / "out.wav");
    std::vector<uint8_t> in = test::read_bytes(src);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 44, out.begin()));  // header as the input's
    const int L = chain_latency_frames(processor->params);
    std::vector<int16_t> ref = reference_first_block(wav.samples, 44100, 1.0);
    std::vector<int16_t> got(2000);
    std::memcpy(got.data(), out.data() + 44, 4000);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin() + 2 * L));
    EXPECT_EQ(obs.range, 0);
    EXPECT_EQ(obs.steps, 0);
    EXPECT_EQ(obs.finished_calls, 1);
    EXPECT_EQ(obs.last_text(CTL_EXPORT_TARGET), dir / "out.wav");
}

TEST_F(ExportJobTest, ExactMultipleOfABlockEndsWithAnEmptyReadThatDeliversTheTail) {
    test::WavContent wav;
    wav.samples = test::test_signal(2 * 16384, 2);
    wav.list_before_data = true;
    std::string src = source(wav);
    RecordingObserver obs;
    ExportJobResult r = run(src, 44100, 2, dir / "out.wav", obs);
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    std::vector<uint8_t> out = test::read_bytes(dir / "out.wav");
    std::vector<uint8_t> in = test::read_bytes(src);
    ASSERT_EQ(out.size(), in.size());
    size_t header = in.size() - 2 * 65536;
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + static_cast<long>(header), out.begin()));
    EXPECT_EQ(obs.range, 2);
    EXPECT_EQ(obs.steps, 2);
    EXPECT_EQ(obs.blocks, 3);
    // The tail is not silence: the processor's delayed song reaches the last frame.
    int16_t last = static_cast<int16_t>(out[out.size() - 2] | out[out.size() - 1] << 8);
    int16_t before = static_cast<int16_t>(out[out.size() - 402] | out[out.size() - 401] << 8);
    EXPECT_TRUE(last != 0 || before != 0);
}

TEST_F(ExportJobTest, MonoSongGivesMonoFileWithTheInputsHeader) {
    test::WavContent wav;
    wav.channels = 1;
    wav.rate = 48000;
    wav.samples = test::test_signal(20000, 1);
    std::string src = source(wav);
    RecordingObserver obs;
    ExportJobResult r = run(src, 48000, 1, dir / "out.wav", obs);
    ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
    std::vector<uint8_t> out = test::read_bytes(dir / "out.wav");
    std::vector<uint8_t> in = test::read_bytes(src);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 44, out.begin()));
    std::vector<int16_t> stereo(2 * 20000);
    for (size_t i = 0; i < 20000; ++i)
        stereo[2 * i] = stereo[2 * i + 1] = wav.samples[i];
    std::vector<int16_t> ref = reference_first_block(stereo, 48000, 1.0);
    const int L = chain_latency_frames(processor->params);
    for (int f = 0; f < 100; ++f) {
        int16_t v = static_cast<int16_t>(out[44 + 2 * f] | out[45 + 2 * f] << 8);
        ASSERT_EQ(v, ref[2 * static_cast<size_t>(L + f)]) << f;
    }
}

TEST_F(ExportJobTest, StoredPeakSetsTheGainEvenWithoutNormalising) {
    test::WavContent wav;
    wav.samples = test::test_signal(500, 2, 8000);
    std::string src = source(wav);
    RecordingObserver obs;
    ExportJobResult r = run(src, 44100, 2, dir / "out.wav", obs, 16384);
    ASSERT_EQ(r.end, ExportEnd::Completed);
    EXPECT_NEAR(normalisation_gain_for_peak(16384), 1.99994, 1e-5);
    std::vector<int16_t> ref = reference_first_block(wav.samples, 44100, 32767.0 / 16384);
    std::vector<uint8_t> out = test::read_bytes(dir / "out.wav");
    const int L = chain_latency_frames(processor->params);
    std::vector<int16_t> got(1000);
    std::memcpy(got.data(), out.data() + 44, 2000);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin() + 2 * L));
}

TEST_F(ExportJobTest, NormalisingMeasuresThePeakFirst) {
    options.normalise_on_export = 1;
    test::WavContent wav;
    wav.samples = std::vector<int16_t>(800, 0);
    wav.samples[17] = 12000;
    RecordingObserver obs;
    ExportJobResult r = run(source(wav), 44100, 2, dir / "out.wav", obs);
    EXPECT_EQ(r.peak_level, 12000);
    bool searched = false;
    for (auto& t : obs.texts)
        searched |= t.second == TEXT_SEARCHING_MAX_LEVEL;
    EXPECT_TRUE(searched);
}

// The design's rule, for a job that keeps what a cancel leaves.
TEST_F(ExportJobTest, CancelAfterTheThirdBlockKeepsThreeBlocksMinusTheLatency) {
    keep_cancelled_output = true;
    test::WavContent wav;
    wav.rate = 48000;
    wav.samples = test::test_signal(6 * 16384, 2);
    RecordingObserver obs;
    obs.cancel_at_block = 3;
    ExportJobResult r = run(source(wav), 48000, 2, dir / "out.wav", obs);
    ASSERT_EQ(r.end, ExportEnd::Cancelled);
    const int L = chain_latency_frames(processor->params);
    std::vector<uint8_t> out = test::read_bytes(dir / "out.wav");
    const uint32_t data = static_cast<uint32_t>((3 * 16384 - L) * 4);
    EXPECT_EQ(out.size(), 44 + data);
    EXPECT_EQ(test::get_u32(out, 40), data);  // sizes say what was written
    EXPECT_EQ(test::get_u32(out, 4), 36 + data);
    EXPECT_EQ(obs.last_text(CTL_EXPORT_TIME), "00:01");
    EXPECT_EQ(obs.steps, 3);
}

TEST_F(ExportJobTest, ChunksAfterTheDataAreNotProcessedAndTheHeaderIsFixed) {
    test::WavContent wav;
    wav.samples = test::test_signal(3000, 2);
    wav.chunk_after_data = std::vector<uint8_t>(101, 'z');
    std::string src = source(wav);
    RecordingObserver obs;
    ASSERT_EQ(run(src, 44100, 2, dir / "out.wav", obs).end, ExportEnd::Completed);
    std::vector<uint8_t> out = test::read_bytes(dir / "out.wav");
    EXPECT_EQ(out.size(), 44u + 12000u);
    EXPECT_EQ(test::get_u32(out, 4), out.size() - 8);
    EXPECT_EQ(test::get_u32(out, 40), 12000u);
}

TEST_F(ExportJobTest, SameSongTwiceGivesTheSameBytes) {
    test::WavContent wav;
    wav.samples = test::test_signal(40000, 2);
    std::string src = source(wav);
    RecordingObserver a, b;
    ASSERT_EQ(run(src, 44100, 2, dir / "one.wav", a).end, ExportEnd::Completed);
    ASSERT_EQ(run(src, 44100, 2, dir / "two.wav", b).end, ExportEnd::Completed);
    EXPECT_EQ(test::read_bytes(dir / "one.wav"), test::read_bytes(dir / "two.wav"));
}

TEST_F(ExportJobTest, FailuresLeaveNoTargetAndSayWhy) {
    RecordingObserver obs;
    ExportJobResult r = run(dir / "missing.wav", 44100, 2, dir / "out.wav", obs);
    EXPECT_EQ(r.end, ExportEnd::Failed);
    EXPECT_EQ(r.failure, "cannot read it: No such file or directory");
    EXPECT_EQ(obs.result.end, ExportEnd::Failed);

    test::write_bytes(dir / "nodata.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    EXPECT_EQ(run(dir / "nodata.wav", 44100, 2, dir / "out.wav", obs).end, ExportEnd::Failed);

    test::WavContent wav;
    wav.samples = test::test_signal(100, 2);
    EXPECT_EQ(run(source(wav), 44100, 2, dir / "no/such/folder/out.wav", obs).end,
              ExportEnd::Failed);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    // Nothing is left behind in the working folder either.
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

TEST_F(ExportJobTest, ExternalEncoderFailureIsAFailureWithoutTarget) {
    options.output_mp3 = 1;
    encoder.use_external_encoder = 1;
    std::string prog = dir / "enc";
    std::ofstream(prog) << "#!/bin/sh\nexit 1\n";
    ::chmod(prog.c_str(), 0755);
    std::strcpy(encoder.external_encoder_path.data(), prog.c_str());
    std::strcpy(encoder.external_encoder_params.data(), "%1 %2");
    test::WavContent wav;
    wav.samples = test::test_signal(100, 2);
    RecordingObserver obs;
    ExportJobResult r = run(source(wav), 44100, 2, dir / "out.wav", obs);
    EXPECT_EQ(r.end, ExportEnd::Failed);
    EXPECT_TRUE(r.encoder_failed);
    EXPECT_FALSE(r.loudness.has_value());  // the processed samples were measured, then lost
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
}

// A job that keeps nothing (both front ends): one cancel, in the chain or while the encoder
// runs, leaves nothing under the target's name and nothing in the working folder.
TEST_F(ExportJobTest, CancelDuringTheEncoderWritesNothing) {
    options.output_mp3 = 1;
    test::WavContent wav;
    wav.samples = test::test_signal(4 * 16384, 2);
    const std::string src = source(wav);
    for (const char* text : {"<never>", TEXT_CONVERTING_TO_MP3}) {
        RecordingObserver obs;
        obs.cancel_on_text = text;
        if (std::string(text) == "<never>")
            obs.cancel_at_block = 2;
        ExportJobResult r = run(src, 44100, 2, dir / "out.wav", obs);
        EXPECT_EQ(r.end, ExportEnd::Cancelled);
        EXPECT_FALSE(r.encoder_failed) << "a cancel is no reason to switch to WAV";
        EXPECT_TRUE(r.output_path.empty());
        EXPECT_TRUE(test::folder_listing(dir.path()) ==
                    (std::vector<std::string>{"song.wav", "tmp"}));
        EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    }
}

// A job that keeps what it made climbs one step per cancel: the first stops the processing and
// encodes the blocks made, a second stops the encoder and writes nothing.
TEST_F(ExportJobTest, KeepingJobsStopTheEncoderOnlyAtASecondCancel) {
    keep_cancelled_output = true;
    options.output_mp3 = 1;
    test::WavContent wav;
    wav.samples = test::test_signal(4 * 16384, 2);
    const std::string src = source(wav);
    RecordingObserver during_processing;
    during_processing.cancel_at_block = 2;
    ExportJobResult r = run(src, 44100, 2, dir / "kept.wav", during_processing);
    EXPECT_EQ(r.end, ExportEnd::Cancelled);
    EXPECT_TRUE(std::filesystem::exists(dir / "kept.mp3"));

    RecordingObserver twice;
    twice.cancel_at_block = 2;
    twice.cancel_on_text = TEXT_CONVERTING_TO_MP3;
    r = run(src, 44100, 2, dir / "out.wav", twice);
    EXPECT_EQ(r.end, ExportEnd::Cancelled);
    EXPECT_FALSE(r.encoder_failed);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

// A cancel given while the source is copied into the working folder stops the copy: nothing
// of the song is processed (the chain never starts) and nothing is left.
TEST_F(ExportJobTest, ACancelDuringTheWorkingCopyStopsIt) {
    test::WavContent wav;
    wav.samples = test::test_signal(4 * 16384, 2);
    const std::string src = source(wav);
    RecordingObserver obs;
    obs.cancel_on_text = src;  // the source's name is shown just before the copy
    ExportJobResult r = run(src, 44100, 2, dir / "out.wav", obs);
    EXPECT_EQ(r.end, ExportEnd::Cancelled);
    EXPECT_EQ(obs.blocks, 0);
    EXPECT_EQ(obs.range, -1) << "the chain was set up";
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

TEST(CopyFile, StopsBeforeTheNextPieceAndLeavesNoPartialCopy) {
    test::ScratchDir dir;
    const std::vector<uint8_t> bytes(5 * COPY_PIECE_BYTES + 17, 0x5A);
    test::write_bytes(dir / "big", bytes);
    int asked = 0;
    CopyError why;
    EXPECT_FALSE(copy_file(dir / "big", dir / "copy", &why, [&asked] { return ++asked == 3; }));
    EXPECT_TRUE(why.stopped);
    EXPECT_EQ(asked, 3);  // two pieces copied, the third never read
    EXPECT_FALSE(std::filesystem::exists(dir / "copy"));
    ASSERT_TRUE(copy_file(dir / "big", dir / "copy", &why, [] { return false; }));
    EXPECT_EQ(test::read_bytes(dir / "copy"), bytes);
}

TEST_F(ExportJobTest, BuiltInEncoderStopsWithinOneBlock) {
    test::WavContent wav;
    wav.samples = test::test_signal(20 * 1152, 2);
    const std::string src = source(wav);
    int asked = 0;
    ConvertControl control;
    control.cancelled = [&asked] { return ++asked == 3; };
    ConvertFailure why;
    EXPECT_FALSE(encode_wav_to_mp3_builtin(src, dir / "x.mp3", 128, control, why));
    EXPECT_TRUE(why.cancelled);
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.mp3"));
}

TEST(TempFolder, IsPrivateMadeOnceAndRemoved) {
    std::string path;
    {
        TempFolder folder("00000001");
        path = folder.path();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(folder.path(), path);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        std::string job = folder.job_path(1);
        std::ofstream(make_temp_paths(job, folder.run_id()).input_copy) << "x";
        EXPECT_EQ(make_temp_paths("/d", "00000001").processed_mp3,
                  "/d/$$temp_zel_dst_00000001.mp3");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(make_run_id().size(), 8u);
}

// Bypass output is the dithered input with no delay: the export neither drops the song's start
// nor pads its end.
TEST_F(ExportJobTest, BypassExportIsTheInputWithinOneStepAndAsLong) {
    processor->params.switches.bypass = 1;
    for (int channels : {2, 1}) {
        test::WavContent wav;
        wav.channels = channels;
        wav.samples = test::test_signal(2 * 16384 + 1000, channels, 30000);
        std::string src = source(wav, "bypass" + std::to_string(channels) + ".wav");
        RecordingObserver obs;
        const std::string target = dir / ("out" + std::to_string(channels) + ".wav");
        ExportJobResult r = run(src, 44100, channels, target, obs);
        ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
        std::vector<uint8_t> out = test::read_bytes(target);
        std::vector<uint8_t> in = test::read_bytes(src);
        ASSERT_EQ(out.size(), in.size()) << channels;
        for (size_t i = 44; i + 1 < out.size(); i += 2) {
            const int a = static_cast<int16_t>(in[i] | in[i + 1] << 8);
            const int b = static_cast<int16_t>(out[i] | out[i + 1] << 8);
            ASSERT_LE(std::abs(a - b), 1) << "channels " << channels << " byte " << i;
        }
    }
}

}  // namespace
}  // namespace zv
