// The window on Qt's offscreen platform: geometry, the panel rendered into an image and
// checked against the skin's own images, the playlist table model, commands, playback through
// a fake device, and the shut-down's files.
#include <gtest/gtest.h>

#include <cmath>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QStatusBar>
#include <QTest>
#include <csignal>

#include "engine/processor.h"
#include "tests/support/fixtures.h"
#include "tests/ui/window_fixture.h"
#include "ui/commands.h"
#include "ui/display_model.h"
#include "ui/main_window.h"
#include "ui/signal_watch.h"

namespace zv {
namespace {

// The part of a frame that a client rectangle covers, at the frame's scale.
QImage frame_part(const QImage& frame, int scale, int x, int y, int w, int h) {
    return frame.copy(x * scale, (y - PANEL_TOP) * scale, w * scale, h * scale)
        .convertToFormat(QImage::Format_RGB32);
}

// An image of the skin as the panel shows it at scale: every pixel repeated.
QImage as_drawn(const QPixmap& image, int scale, bool mirrored = false) {
    QImage i = image.toImage().convertToFormat(QImage::Format_RGB32);
    if (mirrored) {
        i = i.mirrored(false, true);
    }
    return i.scaled(i.width() * scale, i.height() * scale, Qt::IgnoreAspectRatio,
                    Qt::FastTransformation);
}

using test::WindowTest;

TEST_F(WindowTest, GeometryTitleAndStatusBar) {
    EXPECT_EQ(window->windowTitle().toStdString(), "ZelvonicMP3 V3.04");
    EXPECT_EQ(window->width(), 745);
    EXPECT_EQ(window->minimumWidth(), 745);
    EXPECT_EQ(window->maximumWidth(), 745);
    // The toolbar is held at 28 px, so the panel starts at client y 28 and the list at
    // panel_height.
    const int menu = window->menuWidget() != nullptr ? window->menuWidget()->height() : 0;
    EXPECT_EQ(window->panel()->mapTo(window.get(), QPoint(0, 0)).y() - menu, PANEL_TOP);
    EXPECT_EQ(window->playlist_view()->mapTo(window.get(), QPoint(0, 0)).y() - menu, PANEL_HEIGHT);
    EXPECT_EQ(window->minimumHeight(), menu + PANEL_HEIGHT + MIN_LIST_HEIGHT);

    window->resize(745, menu + 700);
    QCoreApplication::processEvents();
    const int status = window->statusBar()->height();
    EXPECT_EQ(window->playlist_view()->height(), 700 - status - PANEL_HEIGHT);
    EXPECT_EQ(window->status_text(1).toStdString(), "リスト曲数： 0");
    EXPECT_EQ(window->status_text(0).left(6).toStdString(), "【スペース】");
    window->refresh_playlist();
    EXPECT_EQ(window->status_text(1).toStdString(), "0 songs in list");
}

TEST_F(WindowTest, PanelFrameShowsLampsAndMetersFromTheSkin) {
    run_command(*ctx, cmd::BYPASS);  // BYPASS lit, NOISE GATE not
    MeterSnapshot block;
    block.input_peak_l = 32767;  // all 24 segments
    block.input_peak_r = 1311;   // one
    block.band_clip_flag[2] = 1;
    ctx->meters.absorb(block);
    const PanelButtonRow& bypass = panel_button(PanelButtonId::Bypass);
    const PanelButtonRow& gate = panel_button(PanelButtonId::NoiseGate);
    const MeterRow& in_l = meter_row(MeterSource::InputL);
    const MeterRow& in_r = meter_row(MeterSource::InputR);
    const MeterRow& band3 = meter_row(MeterSource::Band3);
    const MeterRow& band4 = meter_row(MeterSource::Band4);
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        if (scale == 2) {
            ctx->meters.absorb(block);  // the first frame decayed and cleared them
        }
        const QImage frame = window->panel()->render_frame(scale);
        ASSERT_EQ(frame.width(), 745 * scale);
        ASSERT_EQ(frame.height(), (PANEL_HEIGHT - PANEL_TOP) * scale);
        EXPECT_EQ(frame_part(frame, scale, bypass.x - LED_OFFSET, bypass.y, LED_SIZE, LED_SIZE),
                  as_drawn(skin.image(SkinId::LedOn), scale));
        EXPECT_EQ(frame_part(frame, scale, gate.x - LED_OFFSET, gate.y, LED_SIZE, LED_SIZE),
                  as_drawn(skin.image(SkinId::LedOff), scale));
        // Level meters rise: the image mirrored, its bottom at y 118.
        EXPECT_EQ(frame_part(frame, scale, in_l.x, METER_TOP, in_l.width, METER_HEIGHT),
                  as_drawn(skin.meter(24), scale, true));
        EXPECT_EQ(frame_part(frame, scale, in_r.x, METER_TOP, in_r.width, METER_HEIGHT),
                  as_drawn(skin.meter(1), scale, true));
        EXPECT_EQ(frame_part(frame, scale, band3.x, CLIP_BAR_Y, CLIP_BAR_WIDTH, CLIP_BAR_HEIGHT),
                  as_drawn(skin.image(SkinId::ClipBarOn), scale));
        EXPECT_EQ(frame_part(frame, scale, band4.x, CLIP_BAR_Y, CLIP_BAR_WIDTH, CLIP_BAR_HEIGHT),
                  as_drawn(skin.image(SkinId::ClipBarOff), scale));
    }
    // The clip bar lights for one repaint only.
    const QImage next = window->panel()->render_frame(1);
    EXPECT_EQ(frame_part(next, 1, band3.x, CLIP_BAR_Y, CLIP_BAR_WIDTH, CLIP_BAR_HEIGHT),
              as_drawn(skin.image(SkinId::ClipBarOff), 1));
}

TEST_F(WindowTest, ControlsLayerIsRebuiltOnlyWhenAControlChanges) {
    PanelRenderer& r = window->panel()->renderer();
    window->panel()->render_frame(1);
    const int before = r.layer_rebuilds();
    window->panel()->render_frame(1);
    EXPECT_EQ(r.layer_rebuilds(), before);
    ctx->processor->params.bass_eq_freq_hz = 75;
    const QImage frame = window->panel()->render_frame(1);
    EXPECT_EQ(r.layer_rebuilds(), before + 1);
    // The new value's first digit "7" is drawn from the small font at x + 37 + 1 + 6.
    const PanelControl& freq = panel_controls()[control_index(GeneralControl::BassEqFreq)];
    const QImage glyph = skin.image(SkinId::SmallFont)
                             .toImage()
                             .copy(35, 0, 5, 8)
                             .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(frame_part(frame, 1, freq.shape.x + CONTROL_TEXT_DX + 1 + 12, freq.shape.y + 2, 5, 8),
              glyph);
}

// A held arrow is drawn pressed at every paint while held, and normal after the release, even
// when press and release both come before the next paint.
TEST_F(WindowTest, HeldArrowIsDrawnPressedUntilReleased) {
    const ControlRow& freq = panel_controls()[control_index(GeneralControl::BassEqFreq)].shape;
    const QPoint arrow(freq.x + UP_ARROW_DX, freq.y + 6 - PANEL_TOP);
    auto arrow_drawn = [&] {
        return frame_part(window->panel()->render_frame(1), 1, freq.x + UP_ARROW_DX, freq.y,
                          ARROW_WIDTH, ARROW_HEIGHT);
    };
    const QImage pressed = as_drawn(skin.image(SkinId::ArrowUpPressed), 1);
    const QImage normal = as_drawn(skin.image(SkinId::ArrowUp), 1);
    QTest::mousePress(window->panel(), Qt::LeftButton, {}, arrow);
    EXPECT_EQ(arrow_drawn(), pressed);
    EXPECT_EQ(arrow_drawn(), pressed);
    QTest::mouseRelease(window->panel(), Qt::LeftButton, {}, arrow);
    EXPECT_EQ(arrow_drawn(), normal);
    QTest::mouseClick(window->panel(), Qt::LeftButton, {}, arrow);
    EXPECT_EQ(arrow_drawn(), normal);
}

TEST_F(WindowTest, PointerPressesGoThroughTheMapping) {
    const PanelButtonRow& gate = panel_button(PanelButtonId::NoiseGate);
    const QPoint inside(gate.x + 40, gate.y + 7 - PANEL_TOP);
    QTest::mousePress(window->panel(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(ctx->processor->params.switches.noise_gate, 1);
    EXPECT_TRUE(window->panel()->model().button_pressed(PanelButtonId::NoiseGate));
    QTest::mouseRelease(window->panel(), Qt::LeftButton, {}, inside);
    EXPECT_FALSE(window->panel()->model().button_pressed(PanelButtonId::NoiseGate));
    // On the border: nothing.
    QTest::mouseClick(window->panel(), Qt::LeftButton, {}, QPoint(gate.x, gate.y + 7 - PANEL_TOP));
    EXPECT_EQ(ctx->processor->params.switches.noise_gate, 1);
}

TEST_F(WindowTest, PlaylistModelPlaybackAndSelection) {
    QAbstractItemModelTester tester(window->table_model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    test::write_tone_wav(dir.path() / "a.wav", 44100, 2, 1.0);
    test::write_tone_wav(dir.path() / "b.wav", 48000, 1, 5.0);
    open_paths(*ctx, {(dir.path() / "a.wav").string(), (dir.path() / "b.wav").string(),
                      (dir.path() / "missing.wav").string()});
    PlaylistTableModel& model = *window->table_model();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 10);
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "File Name");
    EXPECT_EQ(model.data(model.index(1, 3), Qt::DisplayRole).toString(), "b.wav");
    EXPECT_EQ(model.data(model.index(1, 4), Qt::DisplayRole).toString(), "00:05");
    EXPECT_EQ(window->playlist_view()->columnWidth(9), 300);
    EXPECT_TRUE(window->playlist_view()->horizontalHeader()->sectionsMovable());
    const QPixmap wav_icon = model.data(model.index(0, 0), Qt::DecorationRole).value<QPixmap>();
    EXPECT_EQ(wav_icon.toImage(), skin.row_icon(ROW_IMAGE_WAV).toImage());
    EXPECT_EQ(window->status_text(1).toStdString(), "2 songs in list");

    // The selection follows selected_index at the next paint.
    EXPECT_TRUE(run_command(*ctx, cmd::CHOOSE_NEXT));
    window->panel()->repaint();
    EXPECT_EQ(window->playlist_view()->selectionModel()->currentIndex().row(), 1);
    EXPECT_FALSE(run_command(*ctx, cmd::CHOOSE_NEXT));  // already the last song
    run_command(*ctx, cmd::CHOOSE_PREVIOUS);

    // Play the first song through the fake device: each played block is refilled and the
    // meters take its snapshot.
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    ASSERT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DecorationRole).value<QPixmap>().toImage(),
              skin.row_icon(ROW_IMAGE_PLAYING).toImage());
    ASSERT_TRUE(device->complete_next());
    EXPECT_EQ(ctx->driver.dispatch(), 1);
    EXPECT_GT(ctx->meters.held().output_peak_l, 1000);
    EXPECT_GT(ctx->engine->played_bytes, 0);
    EXPECT_FALSE(run_command(*ctx, cmd::ONAIR));  // refused while playing
    EXPECT_TRUE(run_command(*ctx, cmd::STOP));
    for (int i = 0; i < 16 && engine_busy(*ctx->engine); ++i) {
        device->complete_next();
        ctx->driver.dispatch();
    }
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device->out_open);
    EXPECT_FALSE(ctx->driver.timer_armed(TIMER_NEXT_SONG));  // a stop starts nothing next

    // ON AIR mode replaces the list by its one entry; switching it off empties the list.
    EXPECT_TRUE(run_command(*ctx, cmd::ONAIR));
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(window->list_commands_enabled());
    EXPECT_TRUE(run_command(*ctx, cmd::ONAIR));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(window->list_commands_enabled());
}

// A FLAC song and a 96 kHz WAV: the fs column shows the song's own rate, the device, the time
// display and the rate indicator the rate the chain runs at.
TEST_F(WindowTest, FlacAndHighRateSongsPlayAtTheChainsRate) {
    window->drop_files({test::fixture("song.flac"), test::fixture("hires_96k24.wav")});
    PlaylistTableModel& model = *window->table_model();
    ASSERT_EQ(model.rowCount(), 2);
    auto cell = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::DisplayRole).toString().toStdString();
    };
    EXPECT_EQ(cell(0, 1), "44");
    EXPECT_EQ(cell(0, 4), "00:03");
    EXPECT_EQ(cell(0, 5), "Fixture FLAC 歌の題名は");
    EXPECT_EQ(cell(0, 8), "7");
    EXPECT_EQ(cell(1, 1), "96");
    EXPECT_EQ(cell(1, 4), "00:03");
    EXPECT_EQ(cell(1, 5), "--");

    struct Song {
        int row;
        int chain_rate;
        SkinId rate_image;
    };
    for (Song song : {Song{0, 44100, SkinId::Rate44k}, Song{1, 48000, SkinId::Rate48k}}) {
        ctx->playlist->selected_index = song.row;
        ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
        ASSERT_EQ(ctx->engine->engine_state, ENGINE_PLAYING) << song.row;
        EXPECT_EQ(device->last_request.sample_rate, song.chain_rate);
        // A little over a second of blocks (4096 frames each).
        const int blocks = song.chain_rate / 4096 + 2;
        for (int i = 0; i < blocks; ++i) {
            ASSERT_TRUE(device->complete_next());
            ctx->driver.dispatch();
        }
        const DisplayFrame frame = make_display_frame(ctx->display_inputs(), {});
        EXPECT_EQ(frame.rate_image, song.rate_image) << song.row;
        EXPECT_EQ(frame.time_text, " 00:01") << song.row;
        EXPECT_GT(ctx->meters.held().output_peak_l, 1000) << song.row;
        play_out();
        EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
        EXPECT_EQ(ctx->playlist->song_mark[static_cast<size_t>(song.row)], MARK_NONE);
    }
}

// Remove All while a song plays: the song plays on, and the time, the indicators and the row
// images follow it, not the rows added in its place (a mono 48 kHz song here).
TEST_F(WindowTest, RemoveAllWhilePlayingLeavesTheDisplayOnTheSongPlaying) {
    add_songs({{"a.wav", 3.0}, {"b.wav", 3.0}});
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    ASSERT_TRUE(run_command(*ctx, cmd::CHOOSE_NEXT));
    for (int i = 0; i < 12; ++i) {  // 12 blocks of 4096 frames: 1.1 s
        ASSERT_TRUE(device->complete_next());
        ctx->driver.dispatch();
    }
    ASSERT_TRUE(run_command(*ctx, cmd::REMOVE_ALL));
    ASSERT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    test::write_tone_wav(dir.path() / "m.wav", 48000, 1, 1.0);
    window->drop_files({(dir.path() / "m.wav").string()});
    ASSERT_EQ(ctx->playlist->song_count, 1);

    const DisplayFrame f = make_display_frame(ctx->display_inputs(), {});
    EXPECT_EQ(f.time_text, " 00:01");
    EXPECT_EQ(f.channel_image, SkinId::ChannelsStereo);
    EXPECT_EQ(f.rate_image, SkinId::Rate44k);
    PlaylistTableModel& model = *window->table_model();
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DecorationRole).value<QPixmap>().toImage(),
              skin.row_icon(ROW_IMAGE_WAV).toImage());

    // The new row plays once the old song is over.
    run_command(*ctx, cmd::STOP);
    play_out();
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DecorationRole).value<QPixmap>().toImage(),
              skin.row_icon(ROW_IMAGE_PLAYING).toImage());
    EXPECT_EQ(make_display_frame(ctx->display_inputs(), {}).channel_image, SkinId::ChannelsMono);
    run_command(*ctx, cmd::STOP);
    play_out();
}

// Low-latency ON AIR mode through the window: the device runs the chain; each of its ticks
// reaches the window's driver like a finished block, moves the meters and hands the panel's
// switches over; the guards see a busy engine; Stop closes at the next tick.
TEST_F(WindowTest, LowLatencyOnAirRunsWithThePanelTheMetersAndTheGuards) {
    ctx->engine->lists.inputs.count = 1;
    ctx->engine->settings.low_latency = 1;
    ASSERT_TRUE(run_command(*ctx, cmd::ONAIR));
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    ASSERT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    ASSERT_NE(device->live, nullptr);
    std::vector<int16_t> loud(2 * 256), out(loud.size());
    for (size_t i = 0; i < loud.size(); ++i) {
        loud[i] = static_cast<int16_t>(20000 * std::sin(0.07 * static_cast<double>(i / 2)));
    }
    device->run_period(loud.data(), out.data(), 256);
    device->tick();
    EXPECT_EQ(ctx->driver.dispatch(), 1);
    EXPECT_GT(ctx->meters.held().input_peak_l, 15000);
    EXPECT_EQ(ctx->engine->played_bytes, 256 * 4);

    EXPECT_FALSE(run_command(*ctx, cmd::ONAIR));  // refused while running
    EXPECT_FALSE(run_command(*ctx, cmd::EXPORT_SONG));
    ASSERT_TRUE(run_command(*ctx, cmd::BYPASS));
    device->tick();
    ctx->driver.dispatch();
    device->run_period(loud.data(), out.data(), 256);
    EXPECT_EQ(device->live->processor().params.switches.bypass, 1);

    EXPECT_TRUE(run_command(*ctx, cmd::STOP));
    device->tick();
    ctx->driver.dispatch();
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    EXPECT_FALSE(device->out_open);
}

TEST_F(WindowTest, ShutDownEmptiesTempwavAndSavesTheStateFile) {
    const auto folder = dir.path() / "program";
    EXPECT_TRUE(std::filesystem::is_directory(folder));  // made on first start
    std::filesystem::create_directories(folder / "tempwav" / "keep");
    std::ofstream(folder / "tempwav" / "x.wav") << "x";
    run_command(*ctx, preset_id::AM_TALK_SHOW);
    window.reset();
    ASSERT_TRUE(ctx->shut_down().ok);
    EXPECT_EQ(std::filesystem::file_size(folder / "zvmp3.prf"), 1899u);
    EXPECT_FALSE(std::filesystem::exists(folder / "tempwav" / "x.wav"));
    EXPECT_TRUE(std::filesystem::exists(folder / "tempwav" / "keep"));

    // The next start from the same folder finds the preset's values.
    StartOptions options;
    options.folder = folder;
    AppContext next(options, std::make_unique<test::FakeDevice>(), nullptr);
    EXPECT_EQ(next.processor->params.settings.agc_threshold_db, -36);
}

TEST(SignalWatch, TerminationSignalsArriveOnTheEventLoop) {
    SignalWatch watch;
    ASSERT_TRUE(watch.ok());
    int received = 0;
    QObject::connect(&watch, &SignalWatch::terminate_requested,
                     [&received](int n) { received = n; });
    std::raise(SIGTERM);
    for (int i = 0; i < 50 && received == 0; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(received, SIGTERM);
}

}  // namespace
}  // namespace zv
