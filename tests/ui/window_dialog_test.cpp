// The window's commands that go through dialogs and questions, answered by a scripted host as
// a user would answer them: the splash, About, the user presets, the home page, the messages
// of a drop, and the dialogs' own guards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "tests/ui/window_fixture.h"
#include "ui/command_ids.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/device_settings_dialog.h"
#include "ui/dialogs/messages.h"

namespace zv {
namespace {

using test::WindowTest;

TEST_F(WindowTest, TheSplashShowsAfterTheFirstPaintAndClosesOnAClick) {
    window.reset();
    window = std::make_unique<MainWindow>(*ctx, skin, WindowOptions{false, true});
    window->set_dialog_host(&host);
    EXPECT_EQ(window->splash(), nullptr);  // nothing before the window has painted
    window->show();
    for (int i = 0; i < 50 && window->splash() == nullptr; ++i) {
        QTest::qWait(10);
    }
    auto* about = qobject_cast<AboutDialog*>(window->splash());
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());  // the window answers meanwhile
    EXPECT_TRUE(about->close_timer()->isActive());
    EXPECT_EQ(about->close_timer()->interval(), 3000);
    EXPECT_EQ(about->version_label()->text().toStdString(), "Version: V3.04.03");
    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(20, 20));
    for (int i = 0; i < 50 && window->splash() != nullptr; ++i) {
        QTest::qWait(10);  // closed and deleted
    }
    EXPECT_EQ(window->splash(), nullptr);
    // Once only: the About command shows it modally through the host.
    host.steps.push_back([](QDialog& d) {
        EXPECT_NE(qobject_cast<AboutDialog*>(&d), nullptr);
        d.accept();
        return int(QDialog::Accepted);
    });
    window->menu_action(cmd::ABOUT)->trigger();
    EXPECT_EQ(host.dialogs, (std::vector<QString>{QStringLiteral("zv::AboutDialog")}));
}

TEST_F(WindowTest, SavingAUserPresetAsksFirstAndCancelWritesNothing) {
    const auto users = ctx->folders.start_folder / "users";
    ASSERT_FALSE(std::filesystem::exists(users));
    host.answers.push_back(MessageAnswer::Cancel);
    window->menu_action(cmd::SAVE_USER_PRESET_2)->trigger();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption.toStdString(), "確認");
    EXPECT_EQ(host.messages[0].text.toStdString(),
              "ユーザープリセット２に現在のパラメータを保存しまず\nよろしいですか？");
    EXPECT_FALSE(std::filesystem::exists(users));  // no folder, no file

    // OK writes users/user_preset_2.zv3; loading it back through the toolbar restores it.
    run_command(*ctx, 334);
    host.answers.push_back(MessageAnswer::Ok);
    window->menu_action(cmd::SAVE_USER_PRESET_2)->trigger();
    EXPECT_EQ(std::filesystem::file_size(users / "user_preset_2.zv3"), 1899u);
    run_command(*ctx, cmd::PRESET_SMOOTH_FM);
    const double out_mix = ctx->processor->params.bands[0].out_mix_db;
    QTest::mouseClick(window->toolbar()->button(cmd::USE_USER_PRESET_2), Qt::LeftButton);
    EXPECT_NE(ctx->processor->params.bands[0].out_mix_db, out_mix);
    // A missing preset changes nothing.
    QTest::mouseClick(window->toolbar()->button(cmd::USE_USER_PRESET_3), Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(users / "user_preset_3.zv3"));
}

TEST_F(WindowTest, TheLatestVersionCommandAsksBeforeOpeningTheHomePage) {
    std::vector<QUrl> opened;
    window->set_url_opener([&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    host.answers.push_back(MessageAnswer::No);
    window->menu_action(cmd::LATEST_VERSION)->trigger();
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption.toStdString(), "最新情報");
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_NE(host.messages[0].text.indexOf(QString::fromUtf8(HOME_PAGE_URL)), -1);
    host.answers.push_back(MessageAnswer::Yes);
    window->menu_action(cmd::LATEST_VERSION)->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QString::fromUtf8(HOME_PAGE_URL)));
}

TEST_F(WindowTest, ADropOnAFullListIsRefusedWithTheMessage) {
    add_songs({{"a.wav", 0.1}});
    Playlist& pl = *ctx->playlist;
    for (int i = 1; i < MAX_SONGS; ++i) {
        pl.entries[static_cast<size_t>(i)] = pl.entries[0];
    }
    pl.song_count = MAX_SONGS;
    window->drop_files({(dir.path() / "a.wav").string()});
    EXPECT_EQ(pl.song_count, MAX_SONGS);
    QTest::qWait(20);  // the message waits for the event loop
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, list_full_message().text);
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Warning);
}

TEST_F(WindowTest, ADeviceThatWillNotOpenIsToldWithTheSystemsText) {
    add_songs({{"a.wav", 0.2}});
    device->fail_open = true;
    EXPECT_FALSE(run_command(*ctx, cmd::PLAY) && engine_busy(*ctx->engine));
    QTest::qWait(20);  // the message waits for the event loop
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.toStdString(), "device busy");
    EXPECT_TRUE(host.messages[0].caption.isEmpty());
    EXPECT_EQ(host.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::Ok);
}

TEST_F(WindowTest, DialogCommandsKeepTheirGuards) {
    // Get Peak Level, the exports and Open Playlist need an idle player; the first three a
    // song too: with an empty list no dialog opens.
    for (int id : {cmd::PEAK_LEVEL, cmd::EXPORT_SONG, cmd::EXPORT_ALL}) {
        EXPECT_FALSE(run_command(*ctx, id)) << id;
    }
    add_songs({{"a.wav", 2.0}});
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    for (int id : {cmd::PEAK_LEVEL, cmd::EXPORT_SONG, cmd::EXPORT_ALL, cmd::OPEN_PLAYLIST}) {
        EXPECT_FALSE(run_command(*ctx, id)) << id;
    }
    EXPECT_TRUE(host.dialogs.empty());
    run_command(*ctx, cmd::STOP);
    play_out();
    // The sound-device dialog: Cancel changes nothing.
    const int buffers = ctx->engine->settings.buffer_count;
    host.steps.push_back(test::cancel_dialog());
    window->menu_action(cmd::SOUND_DEVICE_SETTINGS)->trigger();
    EXPECT_EQ(host.dialogs.back().toStdString(), "zv::DeviceSettingsDialog");
    EXPECT_EQ(ctx->engine->settings.buffer_count, buffers);
}

// The low-latency switch of the sound-device dialog lives in the INI file, not in the state
// file: the next start takes it from there.
TEST_F(WindowTest, TheLowLatencySwitchIsKeptInTheIniFile) {
    EXPECT_EQ(ctx->engine->settings.low_latency, 0);
    host.steps.push_back([](QDialog& d) {
        auto* dialog = qobject_cast<DeviceSettingsDialog*>(&d);
        EXPECT_NE(dialog, nullptr);
        if (dialog != nullptr) {
            EXPECT_FALSE(dialog->low_latency_check()->isChecked());
            dialog->low_latency_check()->setChecked(true);
        }
        d.accept();
        return d.result();
    });
    window->menu_action(cmd::SOUND_DEVICE_SETTINGS)->trigger();
    EXPECT_EQ(ctx->engine->settings.low_latency, 1);
    EXPECT_EQ(ctx->ini.read(IniKey::LowLatency), LOW_LATENCY_ON_TEXT);
    window.reset();
    ctx.reset();  // saves the state file

    StartOptions options;
    options.folder = dir.path() / "program";
    auto next =
        std::make_unique<AppContext>(options, std::make_unique<test::FakeDevice>(), nullptr);
    EXPECT_EQ(next->engine->settings.low_latency, 1);
    std::string error;
    ASSERT_TRUE(next->ini.write(IniKey::LowLatency, LOW_LATENCY_OFF_TEXT, error)) << error;
    next.reset();
    auto third =
        std::make_unique<AppContext>(options, std::make_unique<test::FakeDevice>(), nullptr);
    EXPECT_EQ(third->engine->settings.low_latency, 0);  // nothing of it in the state file
}

// The file commands from their shortcuts, as a user at the keyboard reaches them.
TEST_F(WindowTest, PlaylistAndParameterFilesFromTheirShortcuts) {
    add_songs({{"a.wav", 0.2}, {"b.wav", 0.2}});
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget* keys = window->playlist_view();

    const auto list = dir.path() / "mine.plt";
    host.steps.push_back(test::choose_files({list.string()}));
    QTest::keyClick(keys, Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(std::filesystem::exists(list));
    ASSERT_TRUE(run_command(*ctx, cmd::REMOVE_ALL));
    EXPECT_EQ(window->table_model()->rowCount(), 0);
    host.steps.push_back(test::choose_files({list.string()}));
    QTest::keyClick(keys, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(ctx->playlist->song_count, 2);
    EXPECT_EQ(window->table_model()->rowCount(), 2);  // the view follows at once

    // A parameter file saved, a switch changed, the file opened again: the switch is back.
    const auto params = dir.path() / "mine.zv3";
    host.steps.push_back(test::choose_files({params.string()}));
    QTest::keyClick(keys, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(std::filesystem::exists(params));
    const int enhance = ctx->processor->params.switches.stereo_enhance;
    run_command(*ctx, cmd::STEREO_ENHANCE);
    host.steps.push_back(test::choose_files({params.string()}));
    QTest::keyClick(keys, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ctx->processor->params.switches.stereo_enhance, enhance);

    // While a song plays Open Playlist opens no dialog; the other file commands still work.
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    QTest::keyClick(keys, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(host.steps.empty());
    EXPECT_EQ(host.dialogs.size(), 4u);
    run_command(*ctx, cmd::STOP);
    play_out();
}

TEST_F(WindowTest, GetPeakLevelMeasuresTheListUnderItsDialog) {
    add_songs({{"a.wav", 0.3}, {"b.wav", 0.3}});
    host.steps.push_back(test::run_modal());
    window->menu_action(cmd::PEAK_LEVEL)->trigger();
    ASSERT_EQ(host.dialogs.size(), 1u);
    EXPECT_EQ(host.dialogs[0].toStdString(), "zv::PeakDialog");
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(ctx->playlist->entries[static_cast<size_t>(i)].peak_level, 0) << i;
    }
}

}  // namespace
}  // namespace zv
