// Settings and parameter files that are not regular files: a FIFO or a device is never opened
// for reading (it would hang the program or feed it endless bytes) nor replaced on saving, and
// a file that cannot be read whole is not loaded in part.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/settings_file.h"
#include "tests/settings/test_support.h"
#include "tests/support/special_files.h"

namespace zv {
namespace {

TEST(SettingsSpecialFiles, FifosAndDevicesAreNotLoaded) {
    test::ScratchDir dir;
    const std::string fifo = dir / "pipe.zv3";
    ASSERT_TRUE(test::make_fifo(fifo));
    OwnedProgramState owned;
    ProgramState s = owned.view();
    const double drive = s.processor.params.settings.agc_drive_db;
    for (bool with_writer : {false, true}) {
        SCOPED_TRACE(with_writer ? "a writer holds the FIFO open" : "no writer");
        const int writer = with_writer ? ::open(fifo.c_str(), O_RDWR | O_CLOEXEC) : -1;
        EXPECT_TRUE(test::returns_promptly(
            [&] {
                std::string error;
                EXPECT_EQ(
                    load_settings_file(s, fifo, SettingsFileKind::Parameters, {}, nullptr, &error),
                    LoadResult::Missing);
                EXPECT_EQ(error, "a FIFO, not a regular file");
            },
            fifo));
        if (writer >= 0) {
            ::close(writer);
        }
    }
    std::string error;
    EXPECT_EQ(load_settings_file(s, "/dev/zero", SettingsFileKind::State, {}, nullptr, &error),
              LoadResult::Missing);
    EXPECT_EQ(error, "a character device, not a regular file");
    EXPECT_EQ(s.processor.params.settings.agc_drive_db, drive);
}

// /proc/self/mem is a regular file whose first page is never mapped: reading it fails with
// EIO, as a damaged disk does. Nothing of such a file is taken.
TEST(SettingsSpecialFiles, AFileThatCannotBeReadIsNotLoaded) {
    OwnedProgramState owned;
    ProgramState s = owned.view();
    const SettingsBytes before = encode_settings(s);
    bool beeped = false;
    std::string error;
    EXPECT_EQ(
        load_settings_file(
            s, "/proc/self/mem", SettingsFileKind::State, [&] { beeped = true; }, nullptr, &error),
        LoadResult::Missing);
    EXPECT_EQ(error, "read error: Input/output error");
    EXPECT_FALSE(beeped);
    EXPECT_EQ(encode_settings(s), before);
}

TEST(SettingsSpecialFiles, SavingNeverReplacesAFifoAndKeepsAFilesMode) {
    test::ScratchDir dir;
    OwnedProgramState owned;
    ProgramState s = owned.view();
    const std::string fifo = dir / "pipe.zv3";
    ASSERT_TRUE(test::make_fifo(fifo));
    std::filesystem::create_symlink(fifo, dir / "link.zv3");
    for (const std::string& target : {fifo, dir / "link.zv3"}) {
        const SaveResult r = save_settings_file(s, target);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, "cannot write " + target + ": it is a FIFO, not a regular file");
    }
    EXPECT_EQ(test::file_kind_of(fifo), std::filesystem::file_type::fifo);

    const std::string mine = dir / "mine.zv3";
    ASSERT_TRUE(save_settings_file(s, mine).ok);
    ASSERT_EQ(::chmod(mine.c_str(), 0600), 0);
    ASSERT_TRUE(save_settings_file(s, mine).ok);
    struct stat st {};
    ASSERT_EQ(::stat(mine.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::folder_listing(dir.path()),
              (std::vector<std::string>{"link.zv3", "mine.zv3", "pipe.zv3"}));
}

}  // namespace
}  // namespace zv
