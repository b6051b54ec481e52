// The one opener every reader goes through: regular files only, never blocking. Each reader of
// songs and playlist files is tried on a real FIFO (which would block an ordinary open for
// ever), on one that has a writer (which would feed it endless bytes), and on folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "sources/byte_reader.h"
#include "sources/id3v1.h"
#include "sources/mp3_source.h"
#include "sources/open_file.h"
#include "sources/playlist.h"
#include "sources/playlist_file.h"
#include "sources/wav_source.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/special_files.h"

namespace zv {
namespace {

using test::returns_promptly;

TEST(OpenRegularFile, OpensRegularFilesAndTellsWhatElseAPathNames) {
    test::ScratchDir dir;
    test::write_text(dir / "a.wav", "12345");
    OpenFailure why;
    uint64_t size = 0;
    const int fd = open_regular_file(dir / "a.wav", why, &size);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, 5u);
    // Reads block again (the non-blocking flag was only for the open) and do not leak into
    // programs the process starts.
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);

    ASSERT_TRUE(test::make_fifo(dir / "pipe.wav"));
    ASSERT_TRUE(test::make_socket_file(dir / "sock.wav"));
    std::filesystem::create_directory(dir / "folder.wav");
    std::filesystem::create_symlink(dir / "pipe.wav", dir / "link.wav");
    struct Case {
        std::string path;
        FileKind kind;
        int error_number;
        const char* text;
    } cases[] = {
        {dir / "missing.wav", FileKind::Missing, ENOENT, "No such file or directory"},
        {dir / "folder.wav", FileKind::Folder, 0, "a folder, not a regular file"},
        {dir / "pipe.wav", FileKind::Fifo, 0, "a FIFO, not a regular file"},
        {dir / "link.wav", FileKind::Fifo, 0, "a FIFO, not a regular file"},
        {"/dev/null", FileKind::CharDevice, 0, "a character device, not a regular file"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(open_regular_file(c.path, why), -1) << c.path;
        EXPECT_EQ(why.kind, c.kind) << c.path;
        EXPECT_EQ(why.error_number, c.error_number) << c.path;
        EXPECT_EQ(why.text(), c.text) << c.path;
    }
    // A socket cannot be opened at all; the reason is the system's.
    EXPECT_EQ(open_regular_file(dir / "sock.wav", why), -1);
    EXPECT_EQ(file_kind(dir / "sock.wav"), FileKind::Socket);
}

TEST(OpenRegularFile, ReadFullyTellsAnErrorFromTheEnd) {
    test::ScratchDir dir;
    test::write_text(dir / "f", "abc");
    char buf[8];
    int fd = ::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC);
    ReadOutcome end = read_fully(fd, buf, sizeof buf);
    EXPECT_EQ(end.bytes, 3u);
    EXPECT_EQ(end.error, 0);
    ::close(fd);
    // A folder opens, but reading it fails: a real read error from the system.
    fd = ::open(dir.path().c_str(), O_RDONLY | O_CLOEXEC);
    ReadOutcome failed = read_fully(fd, buf, sizeof buf);
    EXPECT_EQ(failed.bytes, 0u);
    EXPECT_EQ(failed.error, EISDIR);
    ::close(fd);
}

// Every reader of songs and playlist files on a FIFO without a writer (an ordinary open
// would wait for one for ever) and on a FIFO with a writer (reads would wait for bytes).
TEST(OpenRegularFile, NoReaderBlocksOnAFifo) {
    test::ScratchDir dir;
    const std::string fifo = dir / "pipe.wav";
    const std::string fifo_mp3 = dir / "pipe.mp3";
    const std::string fifo_plt = dir / "pipe.plt";
    ASSERT_TRUE(test::make_fifo(fifo));
    ASSERT_TRUE(test::make_fifo(fifo_mp3));
    ASSERT_TRUE(test::make_fifo(fifo_plt));
    for (bool with_writer : {false, true}) {
        SCOPED_TRACE(with_writer ? "a writer holds the FIFO open" : "no writer");
        int writers[3] = {-1, -1, -1};
        if (with_writer) {
            // O_RDWR on a FIFO never blocks and keeps a writer present.
            writers[0] = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
            writers[1] = ::open(fifo_mp3.c_str(), O_RDWR | O_CLOEXEC);
            writers[2] = ::open(fifo_plt.c_str(), O_RDWR | O_CLOEXEC);
        }
        int32_t rate = 0, channels = 0;
        uint32_t data = 0;
        int64_t pcm = 0;
        EXPECT_TRUE(
            returns_promptly([&] { EXPECT_EQ(probe_wav(fifo, rate, channels, data), -1); }, fifo));
        EXPECT_TRUE(returns_promptly(
            [&] { EXPECT_EQ(probe_mp3(fifo_mp3, rate, channels, pcm), 0); }, fifo_mp3));
        EXPECT_TRUE(returns_promptly(
            [&] {
                Id3v1Tag tag;
                EXPECT_FALSE(read_id3v1(fifo_mp3, tag));
            },
            fifo_mp3));
        EXPECT_TRUE(returns_promptly(
            [&] {
                WavReader reader;
                EXPECT_FALSE(reader.open(fifo));
                EXPECT_EQ(reader.error(), "cannot open: a FIFO, not a regular file");
            },
            fifo));
        EXPECT_TRUE(returns_promptly(
            [&] {
                Mp3Decoder decoder;
                EXPECT_FALSE(decoder.open(fifo_mp3));
                EXPECT_EQ(decoder.error(), "cannot open: a FIFO, not a regular file");
            },
            fifo_mp3));
        EXPECT_TRUE(returns_promptly(
            [&] {
                FileByteReader file;
                EXPECT_FALSE(file.open(fifo));
                EXPECT_EQ(file.open_failure().kind, FileKind::Fifo);
            },
            fifo));
        EXPECT_TRUE(returns_promptly(
            [&] {
                auto pl = std::make_unique<Playlist>();
                EXPECT_EQ(add_song_file(*pl, fifo, true), AddResult::not_supported);
                EXPECT_EQ(add_song_file(*pl, fifo_mp3, true), AddResult::not_supported);
                EXPECT_EQ(scan_folder(*pl, dir.path().string(), true).added, 0);
            },
            fifo));
        EXPECT_TRUE(returns_promptly(
            [&] {
                auto pl = std::make_unique<Playlist>();
                PlaylistFileResult r = open_playlist_file(*pl, fifo_plt, true);
                EXPECT_EQ(r.status, PlaylistFileStatus::cannot_open);
                EXPECT_EQ(playlist_file_reason(r), "a FIFO, not a regular file");
            },
            fifo_plt));
        for (int fd : writers) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
}

// /proc/self/mem is a regular file whose first page is never mapped: reading it fails with
// EIO, the error a damaged disk gives.
TEST(OpenRegularFile, ARealReadErrorIsReportedNotTakenForTheEnd) {
    const std::string eio = "/proc/self/mem";
    FileByteReader file;
    ASSERT_TRUE(file.open(eio));
    uint8_t buf[16];
    EXPECT_EQ(file.read(buf, sizeof buf), 0u);
    EXPECT_EQ(file.error(), EIO);
    EXPECT_EQ(read_error_text(file), "read error: Input/output error");
    EXPECT_EQ(file.read(buf, sizeof buf), 0u) << "reads stop at the first failure";

    WavReader wav;
    EXPECT_FALSE(wav.open(eio));
    EXPECT_EQ(wav.error(), "read error: Input/output error");
    Mp3Decoder mp3;
    EXPECT_FALSE(mp3.open(eio));
    EXPECT_EQ(mp3.error(), "read error: Input/output error");
    std::vector<uint8_t> header;
    std::string error;
    EXPECT_FALSE(read_wav_header_bytes(eio, header, error));
    EXPECT_EQ(error, "read error: Input/output error");
}

}  // namespace
}  // namespace zv
