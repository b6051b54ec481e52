// The export's readers on FIFOs and devices, and its final placement on special targets: the
// song opener never blocks, and a target that is not a regular file is never replaced.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/file_ops.h"
#include "export/peak_scan.h"
#include "export/song_entry.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/special_files.h"
#include "tests/support/wav_builder.h"

namespace zv {
namespace {

class CountingObserver : public PeakScanObserver {
public:
    void set_progress_range(int) override {}
    void step_progress() override { ++steps; }
    void song_progress(int, int) override {}
    void finished(bool) override {}
    int steps = 0;
};

TEST(ExportSpecialFiles, NoReaderOfTheExportBlocksOnAFifo) {
    test::ScratchDir dir;
    const std::string fifo = dir / "pipe.wav";
    const std::string fifo_mp3 = dir / "pipe.mp3";
    ASSERT_TRUE(test::make_fifo(fifo));
    ASSERT_TRUE(test::make_fifo(fifo_mp3));
    for (bool with_writer : {false, true}) {
        SCOPED_TRACE(with_writer ? "a writer holds the FIFO open" : "no writer");
        const int writer = with_writer ? ::open(fifo.c_str(), O_RDWR | O_CLOEXEC) : -1;
        const int writer_mp3 = with_writer ? ::open(fifo_mp3.c_str(), O_RDWR | O_CLOEXEC) : -1;
        EXPECT_TRUE(test::returns_promptly(
            [&] {
                SongEntry entry;
                EXPECT_EQ(measure_peak(entry, fifo, nullptr), PeakResult::Unreadable);
            },
            fifo));
        EXPECT_TRUE(
            test::returns_promptly([&] { EXPECT_FALSE(copy_file(fifo, dir / "copy.wav")); }, fifo));
        EXPECT_TRUE(test::returns_promptly(
            [&] {
                SongEntry entry;
                Id3v1Tag tag;
                std::string error;
                EXPECT_FALSE(make_song_entry(fifo, entry, tag, error));
                EXPECT_EQ(error, "cannot open it: a FIFO, not a regular file");
                EXPECT_FALSE(make_song_entry(fifo_mp3, entry, tag, error));
            },
            fifo));
        EXPECT_TRUE(test::returns_promptly(
            [&] {
                auto pl = std::make_unique<Playlist>();
                pl->song_count = 1;
                set_song_path(pl->entries[0], fifo);
                CountingObserver observer;
                std::atomic<bool> cancel{false};
                EXPECT_TRUE(run_peak_scan(*pl, observer, cancel));
                EXPECT_EQ(pl->entries[0].peak_level, 0);
            },
            fifo));
        for (int fd : {writer, writer_mp3}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.wav"));
}

TEST(ExportSpecialFiles, PlaceFileRefusesSpecialTargetsAndWritesThroughLinks) {
    test::ScratchDir dir;
    test::WavContent shape;
    shape.samples = test::test_signal(100, 2);
    test::write_wav(dir / "finished.wav", shape);
    ASSERT_TRUE(test::make_fifo(dir / "pipe.wav"));
    std::string error;
    EXPECT_FALSE(place_file(dir / "finished.wav", dir / "pipe.wav", error));
    EXPECT_EQ(error, "cannot write " + (dir / "pipe.wav") + ": it is a FIFO, not a regular file");
    EXPECT_EQ(test::file_kind_of(dir / "pipe.wav"), std::filesystem::file_type::fifo);

    // A link to an earlier export: the file behind it gets the new song and keeps its mode
    // (the finished file, on the same file system, is moved rather than copied).
    const std::vector<uint8_t> song = test::read_bytes(dir / "finished.wav");
    test::write_text(dir / "old.wav", "old");
    ASSERT_EQ(::chmod((dir / "old.wav").c_str(), 0600), 0);
    std::filesystem::create_symlink("old.wav", dir / "link.wav");
    ASSERT_TRUE(place_file(dir / "finished.wav", dir / "link.wav", error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.wav"));
    EXPECT_EQ(test::read_bytes(dir / "old.wav"), song);
    EXPECT_FALSE(std::filesystem::exists(dir / "finished.wav"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "old.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A name of 255 bytes: the temporary name does not lengthen it. A new file gets the mode
    // a create gives, whatever mode the finished file had.
    test::write_wav(dir / "finished.wav", shape);
    ASSERT_EQ(::chmod((dir / "finished.wav").c_str(), 0600), 0);
    const mode_t mask = ::umask(022);
    const std::string longest(255, 'x');
    ASSERT_TRUE(place_file(dir / "finished.wav", dir / longest, error)) << error;
    ::umask(mask);
    ASSERT_EQ(::stat((dir / longest).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(test::read_bytes(dir / longest), song);
    EXPECT_EQ(test::folder_listing(dir.path()),
              (std::vector<std::string>{"link.wav", "old.wav", "pipe.wav", longest}));
}

// Where a file created in the target's folder would take something from the folder (here its
// group, from a set-group-id folder) or lives on another file system, the finished file is
// copied, as a create there makes it; the finished file stays for its owner to remove.
TEST(ExportSpecialFiles, PlaceFileCopiesWhereAMoveWouldGiveADifferentFile) {
    test::ScratchDir dir;
    test::WavContent shape;
    shape.samples = test::test_signal(100, 2);
    test::write_wav(dir / "finished.wav", shape);
    const std::vector<uint8_t> song = test::read_bytes(dir / "finished.wav");
    std::filesystem::create_directory(dir / "shared");
    ASSERT_EQ(::chmod((dir / "shared").c_str(), 02775), 0);
    std::string error;
    ASSERT_TRUE(place_file(dir / "finished.wav", dir / "shared/song.wav", error)) << error;
    EXPECT_EQ(test::read_bytes(dir / "shared/song.wav"), song);
    EXPECT_TRUE(std::filesystem::exists(dir / "finished.wav"));

    // A folder of another group (where we may give it one): a create there gives our group
    // only where the file system does not give the folder's, so the song is copied.
    std::filesystem::create_directory(dir / "theirs");
    const gid_t other = ::getegid() == 0 ? 1 : 0;
    if (::chown((dir / "theirs").c_str(), static_cast<uid_t>(-1), other) == 0) {
        ASSERT_TRUE(place_file(dir / "finished.wav", dir / "theirs/song.wav", error)) << error;
        EXPECT_EQ(test::read_bytes(dir / "theirs/song.wav"), song);
        EXPECT_TRUE(std::filesystem::exists(dir / "finished.wav"));
    }

    struct stat here {};
    struct stat shm {};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(dir.path().c_str(), &here) == 0 &&
        shm.st_dev != here.st_dev && ::access("/dev/shm", W_OK) == 0) {
        const std::string away = "/dev/shm/zv-finished-" + std::to_string(::getpid()) + ".wav";
        test::write_wav(away, shape);
        ASSERT_TRUE(place_file(away, dir / "copied.wav", error)) << error;
        EXPECT_EQ(test::read_bytes(dir / "copied.wav"), song);
        EXPECT_TRUE(std::filesystem::exists(away));
        ::unlink(away.c_str());
    }
}

}  // namespace
}  // namespace zv
