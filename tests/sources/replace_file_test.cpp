// The one writer of the files a user asks for: whole or not at all, never over a special
// file, through links, keeping the mode, with short temporary names.
#include "sources/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/special_files.h"

namespace zv {
namespace {

using test::folder_listing;
using test::read_bytes;
using test::ScratchDir;

std::vector<uint8_t> bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

bool write(const std::string& target, std::string_view text, std::string& error) {
    return write_file_replacing(target, bytes_of(text), error);
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(old_); }

private:
    mode_t old_;
};

TEST(ReplaceFile, NewFilesTakeTheUmaskAndReplacedFilesKeepTheirMode) {
    ScratchDir dir;
    UmaskGuard mask(022);
    std::string error;
    ASSERT_TRUE(write(dir / "new.zv3", "one", error)) << error;
    EXPECT_EQ(read_bytes(dir / "new.zv3"), bytes_of("one"));
    EXPECT_EQ(mode_of(dir / "new.zv3"), 0644u);

    // A private file stays private, a read-only one keeps its bits too.
    ASSERT_EQ(::chmod((dir / "new.zv3").c_str(), 0600), 0);
    ASSERT_TRUE(write(dir / "new.zv3", "two", error)) << error;
    EXPECT_EQ(read_bytes(dir / "new.zv3"), bytes_of("two"));
    EXPECT_EQ(mode_of(dir / "new.zv3"), 0600u);
    ASSERT_EQ(::chmod((dir / "new.zv3").c_str(), 0440), 0);
    ASSERT_TRUE(write(dir / "new.zv3", "three", error)) << error;
    EXPECT_EQ(mode_of(dir / "new.zv3"), 0440u);
    EXPECT_EQ(folder_listing(dir.path()), std::vector<std::string>{"new.zv3"});

    // Run by the superuser on another user's file, the file stays that user's.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown((dir / "new.zv3").c_str(), 65534, 65534), 0);
        ASSERT_TRUE(write(dir / "new.zv3", "four", error)) << error;
        struct stat st {};
        ASSERT_EQ(::stat((dir / "new.zv3").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(st.st_mode & 07777, 0440u);
    }
}

TEST(ReplaceFile, LinksAreWrittenThroughAndStayLinks) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "real");
    test::write_text(dir / "real/list.plt", "old");
    ASSERT_EQ(::chmod((dir / "real/list.plt").c_str(), 0600), 0);
    std::filesystem::create_symlink("real/list.plt", dir / "relative.plt");
    std::filesystem::create_symlink(dir / "relative.plt", dir / "chain.plt");
    std::string error;
    ASSERT_TRUE(write(dir / "chain.plt", "new", error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "chain.plt"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "relative.plt"));
    EXPECT_EQ(read_bytes(dir / "real/list.plt"), bytes_of("new"));
    EXPECT_EQ(mode_of(dir / "real/list.plt"), 0600u);
    // The temporary file was made beside the real file, and is gone.
    EXPECT_EQ(folder_listing(dir / "real"), std::vector<std::string>{"list.plt"});

    // A dangling link makes the file it points to.
    std::filesystem::create_symlink("real/made.plt", dir / "dangling.plt");
    ASSERT_TRUE(write(dir / "dangling.plt", "made", error)) << error;
    EXPECT_EQ(read_bytes(dir / "real/made.plt"), bytes_of("made"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.plt"));

    // A loop of links is an error, not a hang.
    std::filesystem::create_symlink(dir / "loop2", dir / "loop1");
    std::filesystem::create_symlink(dir / "loop1", dir / "loop2");
    EXPECT_FALSE(write(dir / "loop1", "x", error));
    EXPECT_NE(error.find("Too many levels of symbolic links"), std::string::npos) << error;
}

TEST(ReplaceFile, SpecialFilesAreNeverReplaced) {
    ScratchDir dir;
    ASSERT_TRUE(test::make_fifo(dir / "pipe.zv3"));
    ASSERT_TRUE(test::make_socket_file(dir / "sock.zv3"));
    std::filesystem::create_directory(dir / "folder.zv3");
    std::filesystem::create_symlink(dir / "pipe.zv3", dir / "to_pipe.zv3");
    struct Case {
        std::string target;
        const char* message;
    } cases[] = {
        {dir / "pipe.zv3", "it is a FIFO, not a regular file"},
        {dir / "to_pipe.zv3", "it is a FIFO, not a regular file"},
        {dir / "sock.zv3", "it is a socket, not a regular file"},
        {dir / "folder.zv3", "it is a folder, not a regular file"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(write(c.target, "x", error)) << c.target;
        EXPECT_EQ(error, "cannot write " + c.target + ": " + c.message);
    }
    EXPECT_EQ(test::file_kind_of(dir / "pipe.zv3"), std::filesystem::file_type::fifo);
    EXPECT_EQ(test::file_kind_of(dir / "sock.zv3"), std::filesystem::file_type::socket);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "to_pipe.zv3"));
    EXPECT_EQ(folder_listing(dir.path()),
              (std::vector<std::string>{"folder.zv3", "pipe.zv3", "sock.zv3", "to_pipe.zv3"}));
}

TEST(ReplaceFile, TemporaryNamesAreShortAndNeverTheTargetsName) {
    ScratchDir dir;
    const std::string longest(NAME_MAX, 'n');  // 255 bytes: no room for anything added
    std::string error;
    ASSERT_TRUE(write(dir / longest, "full name", error)) << error;
    EXPECT_EQ(read_bytes(dir / longest), bytes_of("full name"));

    FileReplacer file;
    ASSERT_TRUE(file.begin(dir / "song.wav"));
    std::vector<std::string> names = folder_listing(dir.path());
    ASSERT_EQ(names.size(), 2u);
    const std::string& temp = names[0] == longest ? names[1] : names[0];
    EXPECT_LE(temp.size(), 30u);
    EXPECT_EQ(temp.find("song"), std::string::npos);
    pid_t pid = 0;
    EXPECT_TRUE(parse_part_file_name(temp, pid)) << temp;
    EXPECT_EQ(pid, ::getpid());
    file.abandon();
    EXPECT_EQ(folder_listing(dir.path()), std::vector<std::string>{longest});
}

TEST(ReplaceFile, FailuresLeaveNothingAndNameTheTarget) {
    ScratchDir dir;
    std::string error;
    EXPECT_FALSE(write(dir / "no/such/folder/x.plt", "x", error));
    EXPECT_EQ(error,
              "cannot write " + (dir / "no/such/folder/x.plt") + ": No such file or directory");
    EXPECT_FALSE(write("", "x", error));
    EXPECT_EQ(error, "no file name given");

    // An abandoned or destroyed writer leaves the old file and no temporary file.
    test::write_text(dir / "keep.plt", "old");
    {
        FileReplacer file;
        ASSERT_TRUE(file.begin(dir / "keep.plt"));
        ASSERT_TRUE(file.write("new", 3));
    }
    EXPECT_EQ(read_bytes(dir / "keep.plt"), bytes_of("old"));
    EXPECT_EQ(folder_listing(dir.path()), std::vector<std::string>{"keep.plt"});
}

TEST(ReplaceFile, LeftoversOfDeadProcessesAreRecognisedAndRemoved) {
    pid_t pid = 0;
    EXPECT_TRUE(parse_part_file_name(".zvpart-123-abc123", pid));
    EXPECT_EQ(pid, 123);
    EXPECT_FALSE(parse_part_file_name(".zvpart-123-abc12", pid));
    EXPECT_FALSE(parse_part_file_name(".zvpart--abc123", pid));
    EXPECT_FALSE(parse_part_file_name("zvpart-123-abc123", pid));
    EXPECT_FALSE(parse_part_file_name(".zvpart-12x-abc123", pid));
    EXPECT_FALSE(parse_part_file_name(".zvpart-123-abc123.wav", pid));

    // A process id that no process has: the largest the kernel hands out, when it is free.
    pid_t dead = 4194304;
    while (dead > 1 && ::kill(dead, 0) == 0) {
        --dead;
    }
    ScratchDir dir;
    const std::string stale = ".zvpart-" + std::to_string(dead) + "-aaaaaa";
    const std::string ours = ".zvpart-" + std::to_string(::getpid()) + "-bbbbbb";
    const std::string parent = ".zvpart-" + std::to_string(::getppid()) + "-cccccc";
    for (const std::string& name : {stale, ours, parent, std::string("song.wav")}) {
        test::write_text(dir / name, "x");
    }
    EXPECT_EQ(remove_stale_part_files(dir.path().string()), 1);
    std::vector<std::string> left{parent, ours, "song.wav"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(folder_listing(dir.path()), left);
}

}  // namespace
}  // namespace zv
