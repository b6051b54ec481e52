#include "export/export_rules.h"

#include <gtest/gtest.h>

#include "export/export_job.h"
#include "export/file_ops.h"

namespace zv {
namespace {

TEST(ExportRules, BitrateEntriesRoundUpOrFallBack) {
    EXPECT_EQ(bitrate_from_entry("100", ExportCommand::ExportAll), 112);
    EXPECT_EQ(bitrate_from_entry("100", ExportCommand::ExportSong), 112);
    EXPECT_EQ(bitrate_from_entry("32", ExportCommand::ExportAll), 32);
    EXPECT_EQ(bitrate_from_entry("320", ExportCommand::ExportAll), 320);
    EXPECT_EQ(bitrate_from_entry("321", ExportCommand::ExportAll), 128);
    EXPECT_EQ(bitrate_from_entry("321", ExportCommand::ExportSong), 192);
    EXPECT_EQ(bitrate_from_entry("0", ExportCommand::ExportAll), 128);
    EXPECT_EQ(bitrate_from_entry("abc", ExportCommand::ExportSong), 192);
    EXPECT_EQ(bitrate_from_entry("", ExportCommand::ExportAll), 128);
    EXPECT_EQ(bitrate_from_entry("-5", ExportCommand::ExportAll), 128);
}

TEST(ExportRules, ExportAllPrefixInWavModeKeepsTheSourceName) {
    ExportAllNaming n{"/out", "mm_", false, false, false};
    std::string target = export_all_target("/music/a.mp3", n);
    EXPECT_EQ(target, "/out/mm_a.mp3");
    EXPECT_EQ(final_output_path(target, false), "/out/mm_a.wav");
}

TEST(ExportRules, PostfixGoesBeforeTheLastDotOfTheName) {
    ExportAllNaming n{"/out/", "_x", true, false, true};
    std::string target = export_all_target("/music/song.live.wav", n);
    EXPECT_EQ(target, "/out/song.live_x.wav");
    EXPECT_EQ(final_output_path(target, true), "/out/song.live_x.mp3");
    ExportAllNaming no_ext{"/out", "_x", true, false, false};
    EXPECT_EQ(export_all_target("/music/noext", no_ext), "/out/noext_x");
}

TEST(ExportRules, BesideTheSourceAnEmptyAffixBecomesZel) {
    ExportAllNaming n{"", "", false, true, true};
    std::string target = export_all_target("/music/a.mp3", n);
    EXPECT_EQ(target, "/music/zel_a.wav");
    EXPECT_EQ(final_output_path(target, true), "/music/zel_a.mp3");
    EXPECT_EQ(effective_name_affix("", true), "zel_");
    EXPECT_EQ(effective_name_affix("", false), "");
}

TEST(ExportRules, Mp3ModeTargetsEndInWav) {
    EXPECT_EQ(mp3_mode_target("/o/x.MP3"), "/o/x.wav");
    EXPECT_EQ(mp3_mode_target("/o/x.Wav"), "/o/x.wav");
    EXPECT_EQ(mp3_mode_target("/o/x.ogg"), "/o/x.ogg.wav");
    EXPECT_EQ(mp3_mode_target(".mp3"), ".mp3.wav");  // not longer than 4 characters
    EXPECT_EQ(mp3_path_for("/t/a.wav"), "/t/a.mp3");
}

TEST(ExportRules, StripExtensionCutsAtTheLastDotAnywhere) {
    EXPECT_EQ(strip_extension("/home/u/my.folder/song"), "/home/u/my");
    EXPECT_EQ(strip_extension("/home/u/song.live.wav"), "/home/u/song.live");
    EXPECT_EQ(strip_extension("/home/u/song"), "/home/u/song");
}

TEST(ExportRules, SkippingAndMarks) {
    EXPECT_FALSE(skip_entry(MARK_EXPORTED, false));
    EXPECT_TRUE(skip_entry(MARK_EXPORTED, true));
    EXPECT_TRUE(skip_entry(MARK_FAILED, true));
    EXPECT_FALSE(skip_entry(MARK_NONE, true));
    EXPECT_EQ(mark_after_export(MARK_NONE, ExportEnd::Completed, true), MARK_EXPORTED);
    EXPECT_EQ(mark_after_export(MARK_NONE, ExportEnd::Completed, false), MARK_NONE);
    EXPECT_EQ(mark_after_export(MARK_NONE, ExportEnd::Cancelled, true), MARK_NONE);
    EXPECT_EQ(mark_after_export(MARK_EXPORTED, ExportEnd::Failed, true), MARK_FAILED);
    EXPECT_EQ(mark_after_export(MARK_NONE, ExportEnd::Failed, false), MARK_FAILED);
}

}  // namespace
}  // namespace zv
