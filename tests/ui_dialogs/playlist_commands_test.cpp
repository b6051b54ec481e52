#include <gtest/gtest.h>

#include <filesystem>

#include "dialog_test_support.h"
#include "sources/playlist_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
#include "ui/dialogs/playlist_commands.h"

namespace zv {
namespace {

namespace fs = std::filesystem;

struct PlaylistCommandFixture : ::testing::Test {
    test::ScratchDir dir;
    std::unique_ptr<Playlist> playlist = std::make_unique<Playlist>();
    IniSettings ini{dir / "zelmp3.ini"};
    test::ScriptedHost host;
    PlaylistCommandContext context{*playlist, ini, host};

    std::string wav(const std::string& name, int rate = 44100) {
        test::WavContent shape;
        shape.rate = rate;
        shape.samples = test::test_signal(1000, 2);
        const std::string path = dir / name;
        test::write_bytes(path, test::make_wav_bytes(shape));
        return path;
    }
};

TEST_F(PlaylistCommandFixture, OneUnsupportedWavIsAFormatErrorSeveralPassSilently) {
    // 8 bits: no reader takes it (a 22050 Hz WAV is resampled nowadays).
    const std::string odd = dir / "odd.wav";
    test::write_wav(odd, 44100, 1, 1000, 8);
    host.steps.push_back(test::choose_files({odd}));
    EXPECT_FALSE(add_song_files(context, true));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("WAVE Format Error"));
    EXPECT_EQ(playlist->song_count, 0);

    wav("good.wav");
    host.steps.push_back(test::choose_files({"odd.wav", "good.wav"}, [&](QFileDialog& d) {
        d.setDirectory(QString::fromStdString(dir.path()));
    }));
    EXPECT_TRUE(add_song_files(context, true));
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(playlist->song_count, 1);
    EXPECT_EQ(ini.read(IniKey::SoundFileDir), dir.path());
}

TEST_F(PlaylistCommandFixture, TheSongThatFillsTheListSaysSo) {
    const std::string good = wav("good.wav");
    ASSERT_TRUE(was_added(add_song_file(*playlist, good, true)));
    for (int i = 1; i < MAX_SONGS - 1; ++i) {
        playlist->entries[static_cast<size_t>(i)] = playlist->entries[0];
    }
    playlist->song_count = MAX_SONGS - 1;
    host.steps.push_back(test::choose_files({good}));
    EXPECT_TRUE(add_song_files(context, true));
    EXPECT_EQ(playlist->song_count, MAX_SONGS);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, list_full_message().text);
}

TEST_F(PlaylistCommandFixture, OpenAndSaveAPlaylist) {
    ASSERT_TRUE(was_added(add_song_file(*playlist, wav("a.wav"), true)));
    ASSERT_TRUE(was_added(add_song_file(*playlist, wav("b.wav"), true)));
    const std::string list = dir / "list.plt";
    host.steps.push_back(test::choose_files({list}));
    EXPECT_TRUE(save_playlist(context));
    EXPECT_EQ(fs::file_size(list), PLAYLIST_FILE_BYTES);
    EXPECT_EQ(ini.read(IniKey::ListFileSaveDir), list);

    playlist->song_count = 0;
    EXPECT_FALSE(open_playlist(context, false));  // while playing: no dialog at all
    EXPECT_TRUE(host.steps.empty() && host.dialogs.size() == 1u);
    host.steps.push_back(test::choose_files({list}));
    EXPECT_TRUE(open_playlist(context, true));
    EXPECT_EQ(playlist->song_count, 2);
    EXPECT_EQ(ini.read(IniKey::ListFileDir), list);

    // Not a playlist file: told, and the list stays.
    const std::string junk = wav("junk.plt");
    host.steps.push_back(test::choose_files({junk}));
    EXPECT_FALSE(open_playlist(context, true));
    EXPECT_EQ(playlist->song_count, 2);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(host.messages[0].text.contains(QString::fromStdString(junk)));

    host.steps.push_back(test::choose_files({dir / "gone/list.plt"}));
    EXPECT_FALSE(save_playlist(context));
    EXPECT_EQ(host.messages.size(), 2u);
}

}  // namespace
}  // namespace zv
