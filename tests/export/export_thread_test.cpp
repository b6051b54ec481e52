#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "export/export_job.h"
#include "test_media.h"

namespace zv {
namespace {

// The dialog's side: it waits for the end while reading the meters and sets the throttle.
struct WaitingObserver : ExportObserver {
    void set_text(int, const std::string&) override {}
    void set_progress_range(int) override {}
    void step_progress() override {}
    void block_done() override { blocks.fetch_add(1); }
    void finished(const ExportJobResult& r) override {
        std::lock_guard<std::mutex> lock(m);
        result = r;
        done = true;
        cv.notify_all();
    }
    std::atomic<int> blocks{0};
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    ExportJobResult result;
};

TEST(ExportJobThread, RunsOnItsWorkerWhileTheCallerReadsMetersAndCancels) {
    test::ScratchDir dir;
    test::WavContent wav;
    wav.samples = test::test_signal(20 * 16384, 2);
    std::string src = dir / "s.wav";
    test::write_bytes(src, test::make_wav_bytes(wav));
    auto p = make_processor();
    processor_startup(*p);
    ExportJobInputs in;
    set_song_path(in.entry, src);
    in.entry.sample_rate = 44100;
    in.entry.channels = 2;
    in.target_path = dir / "out.wav";
    in.options.output_mp3 = 0;
    in.temp_folder = dir.path();
    in.run_id = "00000007";
    ThrottleSettings throttle;
    WaitingObserver obs;
    ExportJob job(in, *p, obs, &throttle);
    job.start();
    double seen = 0;
    while (obs.blocks.load() < 2)
        seen += job.meters().output_peak_l;
    throttle.cpu_throttle_level.store(1);
    throttle.cpu_throttle_on.store(1);
    job.cancel();
    {
        std::unique_lock<std::mutex> lock(obs.m);
        obs.cv.wait(lock, [&] { return obs.done; });
    }
    job.join();
    EXPECT_EQ(obs.result.end, ExportEnd::Cancelled);
    EXPECT_EQ(job.result().end, ExportEnd::Cancelled);
    EXPECT_GE(seen, 0.0);
    EXPECT_GT(job.meters().output_peak_l + job.meters().output_peak_r, 0.0);
}

TEST(ExportJobThread, ACancelBeforeTheWorkerStartsIsKeptAndNothingIsWritten) {
    test::ScratchDir dir;
    test::WavContent wav;
    wav.samples = test::test_signal(4 * 16384, 2);
    std::string src = dir / "s.wav";
    test::write_bytes(src, test::make_wav_bytes(wav));
    auto p = make_processor();
    processor_startup(*p);
    ExportJobInputs in;
    set_song_path(in.entry, src);
    in.entry.sample_rate = 44100;
    in.entry.channels = 2;
    in.target_path = dir / "out.wav";
    in.options.output_mp3 = 0;
    in.temp_folder = dir.path();
    in.run_id = "00000008";
    ThrottleSettings throttle;
    WaitingObserver obs;
    ExportJob job(in, *p, obs, &throttle);
    job.cancel();
    job.start();
    job.join();
    EXPECT_EQ(job.result().end, ExportEnd::Cancelled);
    EXPECT_EQ(obs.result.end, ExportEnd::Cancelled);
    EXPECT_EQ(obs.blocks.load(), 0);
    EXPECT_TRUE(job.result().output_path.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
}

// The program quits while a large source is copied into the working folder (the copy of a
// long recording from a slow disk can take minutes): the copy stops at its next piece, no block
// is processed and nothing is left.
TEST(ExportJobThread, AQuitDuringTheWorkingCopyStopsItAtOnce) {
    test::ScratchDir dir;
    const std::string src = dir / "long.wav";
    {
        test::WavContent wav;
        wav.samples = test::test_signal(16384, 2);
        std::vector<uint8_t> bytes = test::make_wav_bytes(wav);
        test::write_bytes(src, bytes);
        // 256 MiB of sparse silence behind a header that says so.
        const uint32_t data = 256u << 20;
        auto set_u32 = [&bytes](size_t at, uint32_t v) {
            for (int k = 0; k < 4; ++k)
                bytes[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
        };
        bytes.resize(44);
        set_u32(4, data + 36);
        set_u32(40, data);
        test::write_bytes(src, bytes);
        ASSERT_EQ(::truncate(src.c_str(), 44 + static_cast<off_t>(data)), 0);
    }
    ::mkdir((dir / "tmp").c_str(), 0700);
    auto p = make_processor();
    processor_startup(*p);
    ExportJobInputs in;
    set_song_path(in.entry, src);
    in.entry.sample_rate = 44100;
    in.entry.channels = 2;
    in.target_path = dir / "out.wav";
    in.temp_folder = dir / "tmp";
    in.run_id = "00000009";
    ThrottleSettings throttle;
    WaitingObserver obs;
    ExportJob job(in, *p, obs, &throttle);
    job.start();
    const std::string copy = make_temp_paths(in.temp_folder, in.run_id).input_copy;
    for (int i = 0; i < 20000; ++i) {
        struct stat st {};
        if (::stat(copy.c_str(), &st) == 0 && st.st_size > 0)
            break;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    job.cancel_and_discard();
    job.join();
    EXPECT_EQ(job.result().end, ExportEnd::Cancelled);
    EXPECT_EQ(obs.blocks.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

}  // namespace
}  // namespace zv
