// The export's stages on threads: the queue between them, a stage that fails or is stopped,
// and whole jobs cancelled in each stage, with the stages inline (one core) and on threads
// of their own (two cores) giving the same files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "export/block_queue.h"
#include "export/export_job.h"
#include "export/loudness.h"
#include "export/mp3_convert.h"
#include "export/stage_link.h"
#include "test_media.h"

namespace zv {
namespace {

TEST(BlockQueue, KeepsOrderAndHoldsNoMoreThanItsCapacity) {
    BlockQueue<int> queue(3);
    std::atomic<int> pushed{0};
    std::thread producer([&] {
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(queue.push(int{i}));
            pushed.fetch_add(1);
        }
        queue.close();
    });
    int expected = 0;
    for (int item; queue.pop(item); ++expected) {
        ASSERT_EQ(item, expected);
        // What was pushed and not yet taken fits in the queue.
        ASSERT_LE(pushed.load(), expected + 1 + 3);
        if (expected % 50 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a slow consumer
    }
    producer.join();
    EXPECT_EQ(expected, 200);
}

TEST(BlockQueue, CloseDeliversWhatIsQueuedThenEnds) {
    BlockQueue<int> queue(4);
    ASSERT_TRUE(queue.push(1));
    ASSERT_TRUE(queue.push(2));
    queue.close();
    EXPECT_FALSE(queue.push(3));
    int item = 0;
    EXPECT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 1);
    EXPECT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 2);
    EXPECT_FALSE(queue.pop(item));
    EXPECT_FALSE(queue.cancelled());
}

TEST(BlockQueue, CancelWakesAWaitingProducerAndConsumerAndDropsTheItems) {
    BlockQueue<int> full(1);
    ASSERT_TRUE(full.push(1));
    std::atomic<bool> push_returned{false};
    bool pushed = true;
    std::thread producer([&] {
        pushed = full.push(2);  // waits: the queue is full
        push_returned = true;
    });
    BlockQueue<int> empty(1);
    bool popped = true;
    std::thread consumer([&] {
        int item;
        popped = empty.pop(item);  // waits: nothing comes
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(push_returned.load());
    full.cancel();
    empty.cancel();
    producer.join();
    consumer.join();
    EXPECT_FALSE(pushed);
    EXPECT_FALSE(popped);
    int item = 0;
    EXPECT_FALSE(full.pop(item)) << "a cancelled queue's items are dropped";
    EXPECT_FALSE(full.push(3));
    EXPECT_TRUE(full.cancelled());
}

// A sink that takes `limit` items, then fails.
struct CountingSink : Sink<int> {
    explicit CountingSink(int fail_at) : fail_at_(fail_at) {}
    bool put(int&& item) override {
        if (item == fail_at_)
            return false;
        taken.push_back(item);
        return true;
    }
    bool finish() override {
        finished = true;
        return true;
    }
    int fail_at_;
    std::vector<int> taken;
    bool finished = false;
};

TEST(ThreadedSink, HandsOnInOrderAndAFailingStageStopsTheOneBeforeIt) {
    CountingSink all(-1);
    {
        ThreadedSink<int> link(all, 2);
        for (int i = 0; i < 100; ++i)
            ASSERT_TRUE(link.put(int{i}));
        EXPECT_TRUE(link.finish());
    }
    EXPECT_EQ(all.taken.size(), 100u);
    EXPECT_TRUE(all.finished);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(all.taken[static_cast<size_t>(i)], i);

    CountingSink failing(10);
    ThreadedSink<int> link(failing, 2);
    int refused_at = -1;
    for (int i = 0; i < 1000; ++i) {
        if (!link.put(int{i})) {
            refused_at = i;
            break;
        }
    }
    EXPECT_GE(refused_at, 10);
    EXPECT_LE(refused_at, 10 + 2 + 1) << "the producer learns within a queue's length";
    EXPECT_FALSE(link.finish());
    EXPECT_FALSE(failing.finished);
    EXPECT_EQ(failing.taken.size(), 10u);
}

// Records which threads made the observer's calls.
struct ThreadRecordingObserver : ExportObserver {
    void set_text(int, const std::string& text) override {
        note();
        if (text == cancel_on_text && job != nullptr)
            stop();
    }
    void set_progress_range(int) override { note(); }
    void step_progress() override { note(); }
    void block_done() override {
        note();
        ++blocks;
        if (blocks == cancel_at_block && job != nullptr)
            stop();
    }
    void stop() {
        if (discard_after_cancel)
            job->cancel();  // the dialog's Cancel, then the program quits in the same block
        if (discard)
            job->cancel_and_discard();
        else
            job->cancel();
    }
    void finished(const ExportJobResult&) override { note(); }
    void note() {
        std::lock_guard<std::mutex> lock(m);
        threads.insert(std::this_thread::get_id());
    }
    std::mutex m;
    std::set<std::thread::id> threads;
    int blocks = 0;
    int cancel_at_block = -1;
    std::string cancel_on_text = "<never>";
    bool discard = false;
    bool discard_after_cancel = false;
    ExportJob* job = nullptr;
};

class ExportPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir((dir / "tmp").c_str(), 0700);
        test::WavContent wav;
        wav.samples = test::test_signal(12 * 16384 + 999, 2);
        test::write_bytes(src, test::make_wav_bytes(wav));
    }
    ExportJobResult run(int cores, bool mp3, const std::string& target,
                        ThreadRecordingObserver& obs, bool keep = true) {
        auto p = make_processor();
        processor_startup(*p);
        ExportJobInputs in;
        set_song_path(in.entry, src);
        in.entry.sample_rate = 44100;
        in.entry.channels = 2;
        in.target_path = target;
        in.options.output_mp3 = mp3 ? 1 : 0;
        in.options.normalise_on_export = 1;
        in.encoder.mp3_bitrate_kbps = 128;
        in.temp_folder = dir / "tmp";
        in.run_id = "00000021";
        in.cores = cores;
        in.keep_cancelled_output = keep;
        ExportJob job(in, *p, obs, &throttle);
        obs.job = &job;
        ExportJobResult r = job.run();
        obs.job = nullptr;
        return r;
    }
    test::ScratchDir dir;
    std::string src = dir / "song.wav";
    ThrottleSettings throttle;
};

TEST_F(ExportPipeline, ThreadedStagesWriteWhatInlineStagesWriteAndReportFromTheJobsThread) {
    for (bool mp3 : {false, true}) {
        ThreadRecordingObserver one, two;
        ExportJobResult a = run(1, mp3, dir / "inline.wav", one);
        ExportJobResult b = run(2, mp3, dir / "threaded.wav", two);
        ASSERT_EQ(a.end, ExportEnd::Completed) << a.failure;
        ASSERT_EQ(b.end, ExportEnd::Completed) << b.failure;
        EXPECT_EQ(test::read_bytes(a.output_path), test::read_bytes(b.output_path));
        EXPECT_EQ(two.threads, std::set<std::thread::id>{std::this_thread::get_id()})
            << "every observer call comes from the thread that runs the job";
        // The figures of the file as a reader of it finds them, to the last bit.
        LoudnessFigures file;
        std::string error;
        ASSERT_TRUE(measure_file_loudness(b.output_path, file, error)) << error;
        ASSERT_TRUE(a.loudness.has_value());
        ASSERT_TRUE(b.loudness.has_value());
        EXPECT_EQ(b.loudness->integrated_lufs, file.integrated_lufs);
        EXPECT_EQ(b.loudness->range_lu, file.range_lu);
        EXPECT_EQ(b.loudness->true_peak_dbtp, file.true_peak_dbtp);
        EXPECT_EQ(a.loudness->integrated_lufs, file.integrated_lufs);
        EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    }
}

// A cancel during the processing keeps the blocks made so far (the desktop's rule): the
// stages after the chain finish with exactly those, inline or threaded.
TEST_F(ExportPipeline, CancelInTheChainKeepsTheSameBlocksEitherWay) {
    for (bool mp3 : {false, true}) {
        ThreadRecordingObserver one, two;
        one.cancel_at_block = two.cancel_at_block = 4;
        ExportJobResult a = run(1, mp3, dir / "inline.wav", one);
        ExportJobResult b = run(2, mp3, dir / "threaded.wav", two);
        ASSERT_EQ(a.end, ExportEnd::Cancelled);
        ASSERT_EQ(b.end, ExportEnd::Cancelled);
        EXPECT_EQ(two.blocks, 4) << "the chain stops at the block of the cancel";
        ASSERT_FALSE(b.output_path.empty());
        EXPECT_EQ(test::read_bytes(a.output_path), test::read_bytes(b.output_path));
        EXPECT_FALSE(b.loudness.has_value());
    }
}

// A batch run keeps nothing of a cancelled song: every stage stops, whichever it is in.
TEST_F(ExportPipeline, CancelWithoutKeepingStopsEveryStageAndLeavesNothing) {
    for (int cores : {1, 2}) {
        for (int at_block : {1, 6}) {
            ThreadRecordingObserver obs;
            obs.cancel_at_block = at_block;
            ExportJobResult r = run(cores, true, dir / "out.wav", obs, false);
            EXPECT_EQ(r.end, ExportEnd::Cancelled);
            EXPECT_EQ(obs.blocks, at_block);
            EXPECT_TRUE(r.output_path.empty());
            EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
            EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
        }
    }
}

// Quitting during an export keeps nothing, though the job would keep a cancelled song's
// blocks: in the chain, after a Cancel not yet seen by the chain, or while the encoder
// finishes; WAV and MP3, stages inline and threaded.
TEST_F(ExportPipeline, CancelAndDiscardLeavesNothingWhereACancelWouldKeep) {
    for (int cores : {1, 2}) {
        for (bool mp3 : {false, true}) {
            for (int how = 0; how < 3; ++how) {
                SCOPED_TRACE(testing::Message()
                             << "cores " << cores << " mp3 " << mp3 << " how " << how);
                ThreadRecordingObserver obs;
                obs.discard = true;
                obs.discard_after_cancel = how == 1;
                if (how == 2 && mp3)
                    obs.cancel_on_text = TEXT_CONVERTING_TO_MP3;
                else
                    obs.cancel_at_block = 4;
                ExportJobResult r = run(cores, mp3, dir / "out.wav", obs);
                EXPECT_EQ(r.end, ExportEnd::Cancelled);
                EXPECT_TRUE(r.output_path.empty());
                EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
                EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
                EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
                EXPECT_FALSE(r.loudness.has_value());
            }
        }
    }
}

// Once the chain is done a cancel stops the encoder (still at work on a threaded job), and
// neither the MP3 nor its loudness is left.
TEST_F(ExportPipeline, CancelWhileTheEncoderFinishesWritesNothing) {
    for (int cores : {1, 2}) {
        ThreadRecordingObserver obs;
        obs.cancel_on_text = TEXT_CONVERTING_TO_MP3;
        ExportJobResult r = run(cores, true, dir / "out.wav", obs, false);
        EXPECT_EQ(r.end, ExportEnd::Cancelled);
        EXPECT_FALSE(r.encoder_failed);
        EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
        EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    }
}

// The throttle slows the chain; the file is the same.
TEST_F(ExportPipeline, ThrottledChainWritesTheSameFile) {
    ThreadRecordingObserver fast, slow;
    ExportJobResult a = run(2, true, dir / "fast.wav", fast);
    throttle.cpu_throttle_level.store(5);
    throttle.cpu_throttle_on.store(1);
    ExportJobResult b = run(2, true, dir / "slow.wav", slow);
    ASSERT_EQ(b.end, ExportEnd::Completed) << b.failure;
    EXPECT_EQ(test::read_bytes(a.output_path), test::read_bytes(b.output_path));
}

// The stage threads compute as the job's thread does: with flush-to-zero on there (as every
// export worker has it), a song whose end fades into silence, where filters decay into
// denormal numbers, encodes to the same bytes on the encoder's thread as inline.
TEST_F(ExportPipeline, StageThreadsTakeTheJobThreadsFloatingPointMode) {
    test::WavContent wav;
    wav.samples = test::test_signal(3 * 16384, 2, 20000);
    for (size_t i = wav.samples.size() / 3; i < wav.samples.size(); ++i)
        wav.samples[i] = static_cast<int16_t>(wav.samples[i] / static_cast<int>(i / 500));
    wav.samples.resize(wav.samples.size() + 8 * 2 * 16384, 0);
    test::write_bytes(src, test::make_wav_bytes(wav));
    std::vector<uint8_t> files[2];
    for (int cores : {1, 2}) {
        std::thread worker([&] {
            enable_flush_denormals();
            ThreadRecordingObserver obs;
            ExportJobResult r = run(cores, true, dir / "fade.wav", obs);
            ASSERT_EQ(r.end, ExportEnd::Completed) << r.failure;
            files[cores - 1] = test::read_bytes(r.output_path);
        });
        worker.join();
    }
    ASSERT_FALSE(files[0].empty());
    EXPECT_EQ(files[0], files[1]);
}

}  // namespace
}  // namespace zv
