#include "export/peak_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/normalisation.h"
#include "test_media.h"

namespace zv {
namespace {

class PeakTest : public ::testing::Test {
protected:
    std::string wav(const std::string& name, std::vector<int16_t> samples, int channels = 2,
                    std::vector<uint8_t> after = {}) {
        test::WavContent s;
        s.channels = channels;
        s.samples = std::move(samples);
        s.chunk_after_data = std::move(after);
        std::string path = dir / name;
        test::write_bytes(path, test::make_wav_bytes(s));
        return path;
    }
    int32_t peak_of(const std::string& path) {
        SongEntry e;
        e.peak_level = -1;
        measure_peak(e, path);
        return e.peak_level;
    }
    test::ScratchDir dir;
};

TEST_F(PeakTest, LargestMagnitudeIsStored) {
    std::vector<int16_t> s(40000, 100);
    s[39000] = -12000;
    EXPECT_EQ(peak_of(wav("a.wav", s)), 12000);
    EXPECT_NEAR(normalisation_gain_for_peak(12000), 2.73058, 1e-5);
}

TEST_F(PeakTest, LoudFullBlockStopsWithFullScale) {
    std::vector<int16_t> s(70000, 0);
    s[5] = 30001;
    s[60000] = 32000;
    EXPECT_EQ(peak_of(wav("a.wav", s)), 32767);
    EXPECT_DOUBLE_EQ(normalisation_gain_for_peak(32767), 1.0);
}

TEST_F(PeakTest, ThirtyThousandRuleOnlyForFullBlocks) {
    std::vector<int16_t> s(1000, 0);
    s[10] = 31000;
    EXPECT_EQ(peak_of(wav("a.wav", s)), 31000);
    EXPECT_NEAR(normalisation_gain_for_peak(31000), 32767.0 / 31000, 1e-12);
}

TEST_F(PeakTest, QuietSilentAndMostNegative) {
    std::vector<int16_t> quiet(5000, 0);
    quiet[7] = 1000;
    EXPECT_EQ(peak_of(wav("q.wav", quiet)), 1000);
    EXPECT_DOUBLE_EQ(normalisation_gain_for_peak(1000), 16.0);
    EXPECT_EQ(peak_of(wav("z.wav", std::vector<int16_t>(5000, 0))), 0);
    EXPECT_DOUBLE_EQ(normalisation_gain_for_peak(0), 1.0);
    std::vector<int16_t> neg(100, 0);
    neg[3] = -32768;
    EXPECT_EQ(peak_of(wav("n.wav", neg)), 32768);
}

TEST_F(PeakTest, BytesAfterTheDataChunkAreNotSamples) {
    std::vector<uint8_t> loud(64, 0x7F);
    EXPECT_EQ(peak_of(wav("a.wav", std::vector<int16_t>(100, 50), 2, loud)), 50);
}

TEST_F(PeakTest, UnreadableOrHeaderlessLeavesTheLevel) {
    SongEntry e;
    e.peak_level = 77;
    EXPECT_EQ(measure_peak(e, dir / "missing.wav"), PeakResult::Unreadable);
    test::write_bytes(dir / "bad.wav",
                      {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm'});
    EXPECT_EQ(measure_peak(e, dir / "bad.wav"), PeakResult::NoData);
    EXPECT_EQ(e.peak_level, 77);
}

// The vector scan and the tracker the MP3 decoding feeds give what the block-by-block reader
// of the file gives: every tail length, the most negative sample, a loud sample in the first
// full block, only in the short last block, or exactly at a block's end.
TEST_F(PeakTest, TrackerAndVectorScanAgreeWithTheFileMeasurement) {
    std::vector<int16_t> r(200);
    uint32_t state = 7;
    for (int16_t& v : r) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<int16_t>(state >> 16);
    }
    for (size_t n = 0; n <= r.size(); ++n) {
        int scalar = 0;
        for (size_t i = 0; i < n; ++i)
            scalar = std::max(scalar, std::abs(static_cast<int>(r[i])));
        ASSERT_EQ(block_max(r.data(), n, 0), scalar) << n;
    }
    std::vector<int16_t> neg(64, 5);
    neg[40] = -32768;
    EXPECT_EQ(block_max(neg.data(), neg.size(), 0), 32768);

    struct Case {
        size_t samples;
        size_t loud_at;
        int16_t loud;
    };
    const Case cases[] = {{70000, 5, 30001},   {70000, 69000, 31000}, {65536, 65535, -30500},
                          {65536, 100, 20000}, {32768, 32767, 30001}, {98304, 70000, 32767},
                          {1000, 999, -32768}, {32769, 32768, 31000}};
    for (const Case& c : cases) {
        std::vector<int16_t> s = test::test_signal(c.samples / 2 + 1, 2, 9000);
        s.resize(c.samples);
        s[c.loud_at] = c.loud;
        const int32_t from_file = peak_of(wav("t.wav", s));
        for (size_t chunk : {size_t{1152}, size_t{2304}, size_t{32768}, size_t{100000}}) {
            PeakTracker tracker;
            for (size_t at = 0; at < s.size(); at += chunk)
                tracker.add(s.data() + at, std::min(chunk, s.size() - at));
            EXPECT_EQ(tracker.level(), from_file)
                << c.samples << " samples, loud at " << c.loud_at << ", chunks of " << chunk;
        }
    }
}

TEST(PeakProgress, CountsBothChannelsAndStopsAtAHundred) {
    EXPECT_EQ(peak_progress_percent(50, 200), 50);
    EXPECT_EQ(peak_progress_percent(500, 200), 100);
    EXPECT_EQ(peak_progress_percent(10, 0), 0);
}

struct RecordingPeakObserver : PeakScanObserver {
    void song_progress(int song, int percent) override { progress.emplace_back(song, percent); }
    void set_progress_range(int max) override { range = max; }
    void step_progress() override { ++steps; }
    void finished(bool c) override { completed = c; }
    std::vector<std::pair<int, int>> progress;
    int range = -1, steps = 0;
    bool completed = false;
};

// Runs on a worker thread: labelled for the thread-sanitizer run.
TEST_F(PeakTest, ScanMeasuresWavEntriesOnlyOnItsThread) {
    auto pl = std::make_unique<Playlist>();
    std::vector<int16_t> s(100, 0);
    s[1] = 9000;
    std::string a = wav("a.wav", s);
    set_song_path(pl->entries[0], a);
    pl->entries[0].source_type = SOURCE_WAV;
    set_song_path(pl->entries[1], dir / "x.mp3");
    pl->entries[1].source_type = SOURCE_MP3;
    pl->entries[1].peak_level = 4321;
    pl->song_count = 2;
    RecordingPeakObserver obs;
    {
        PeakScanJob job(*pl, obs);
        job.start();
    }
    EXPECT_TRUE(obs.completed);
    EXPECT_EQ(pl->entries[0].peak_level, 9000);
    EXPECT_EQ(pl->entries[1].peak_level, 4321);
    EXPECT_EQ(obs.range, 2);
    EXPECT_EQ(obs.steps, 2);
    EXPECT_EQ(obs.progress, (std::vector<std::pair<int, int>>{{0, 100}}));
}

TEST_F(PeakTest, FileWithoutDataEndsTheScanButUnreadableFilesAreSkipped) {
    auto pl = std::make_unique<Playlist>();
    test::write_bytes(dir / "nodata.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    std::vector<int16_t> s(10, 0);
    s[0] = 500;
    const std::string paths[] = {dir / "missing.wav", wav("a.wav", s), dir / "nodata.wav",
                                 wav("b.wav", s)};
    for (int i = 0; i < 4; ++i) {
        set_song_path(pl->entries[static_cast<size_t>(i)], paths[i]);
        pl->entries[static_cast<size_t>(i)].source_type = SOURCE_WAV;
    }
    pl->song_count = 4;
    RecordingPeakObserver obs;
    std::atomic<bool> cancel{false};
    EXPECT_TRUE(run_peak_scan(*pl, obs, cancel));
    EXPECT_EQ(pl->entries[1].peak_level, 500);
    EXPECT_EQ(pl->entries[3].peak_level, 0);  // never reached
    EXPECT_EQ(obs.steps, 3);
}

}  // namespace
}  // namespace zv
