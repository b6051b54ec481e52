#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "dialog_test_support.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
#include "ui/dialogs/peak_command.h"
#include "ui/dialogs/peak_dialog.h"

namespace zv {
namespace {

struct PeakDialogFixture : ::testing::Test {
    test::ScratchDir dir;
    std::unique_ptr<Playlist> playlist = std::make_unique<Playlist>();

    // A stereo WAV of frames whose largest magnitude is peak.
    std::string wav(const std::string& name, size_t frames, int16_t peak) {
        test::WavContent shape;
        shape.samples.assign(frames * 2, 0);
        for (size_t i = 0; i < shape.samples.size(); i += 7) {
            shape.samples[i] = static_cast<int16_t>(i % 2 == 0 ? peak / 2 : -peak / 3);
        }
        shape.samples[shape.samples.size() / 2] = peak;
        const std::string path = dir / name;
        test::write_bytes(path, test::make_wav_bytes(shape));
        return path;
    }
    void add(const std::string& path, int32_t type = SOURCE_WAV, int32_t level = 0) {
        SongEntry& e = playlist->entries[static_cast<size_t>(playlist->song_count++)];
        set_song_path(e, path);
        e.sample_rate = 44100;
        e.channels = 2;
        e.source_type = type;
        e.peak_level = level;
    }
};

TEST_F(PeakDialogFixture, MeasuresEveryWavEntryAndEndsWithOne) {
    add(wav("quiet.wav", 20000, 12000));
    add(dir / "song.mp3", SOURCE_MP3, 777);  // MP3 entries keep their level
    add(wav("loud.wav", 40000, 31000));
    PeakDialog d(*playlist);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Detecting Peak Level..."));
    EXPECT_EQ(d.cancel_button()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(d.exec(), 1);
    EXPECT_EQ(playlist->entries[0].peak_level, 12000);
    EXPECT_EQ(playlist->entries[1].peak_level, 777);
    EXPECT_EQ(playlist->entries[2].peak_level, 32767);  // above 30000 in a full block
    EXPECT_EQ(d.progress_bar()->maximum(), 3);
    EXPECT_EQ(d.progress_bar()->value(), 3);
    EXPECT_TRUE(d.text_label()->text().startsWith(QStringLiteral("song = 2, done = ")));
}

TEST_F(PeakDialogFixture, CancelStopsTheScanAndKeepsTheLevelsAlreadyStored) {
    add(wav("first.wav", 1000, 12000));
    // Many long quiet songs: the scan is far from its end when the cancel comes.
    const std::string quiet = wav("long.wav", 40 * 16384, 1000);
    for (int i = 0; i < 300; ++i) {
        add(quiet);
    }
    PeakDialog d(*playlist);
    bool still_open_after_cancel = false;
    QObject::connect(d.progress_bar(), &QProgressBar::valueChanged, [&](int value) {
        if (value == 2) {
            d.cancel_button()->click();
            still_open_after_cancel = d.isVisible();
        }
    });
    EXPECT_EQ(d.exec(), 0);
    EXPECT_TRUE(still_open_after_cancel);
    EXPECT_EQ(playlist->entries[0].peak_level, 12000);
    EXPECT_EQ(playlist->entries[300].peak_level, 0);
    EXPECT_LT(d.progress_bar()->value(), 300);
}

TEST_F(PeakDialogFixture, EscapeAndTheWindowCloseOnlyCancel) {
    const std::string quiet = wav("long.wav", 40 * 16384, 1000);
    for (int i = 0; i < 300; ++i) {
        add(quiet);
    }
    PeakDialog d(*playlist);
    bool open = false;
    QObject::connect(d.progress_bar(), &QProgressBar::valueChanged, [&](int value) {
        if (value == 1) {
            d.close();
            QTest::keyClick(&d, Qt::Key_Escape);
            open = d.isVisible();
        }
    });
    EXPECT_EQ(d.exec(), 0);
    EXPECT_TRUE(open);
    EXPECT_EQ(playlist->entries[299].peak_level, 0);
}

TEST_F(PeakDialogFixture, TheCommandRunsOnlyWhileIdleWithSongs) {
    test::ScriptedHost host;
    EXPECT_FALSE(get_peak_level(*playlist, true, host, nullptr));  // empty list
    add(wav("a.wav", 1000, 12000));
    EXPECT_FALSE(get_peak_level(*playlist, false, host, nullptr));  // playing
    EXPECT_TRUE(host.dialogs.empty());
    host.steps.push_back(test::run_modal());
    EXPECT_TRUE(get_peak_level(*playlist, true, host, nullptr));
    EXPECT_EQ(host.dialogs, std::vector<QString>{QStringLiteral("zv::PeakDialog")});
    EXPECT_EQ(playlist->entries[0].peak_level, 12000);
}

}  // namespace
}  // namespace zv
