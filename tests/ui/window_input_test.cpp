// The window driven as a user drives it: menu items, toolbar buttons and their drop-down
// menus and tooltips, the playlist view's clicks, keys and header clicks, dropped files and
// folders, the panel's buttons through the one mapping, the greying of ON AIR mode, and the
// keyboard's way through the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/factory_presets.h"
#include "sources/playlist_file.h"
#include "tests/ui/window_fixture.h"
#include "ui/command_ids.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"
#include "ui/menus.h"
#include "ui/skin.h"

namespace zv {
namespace {

using test::WindowTest;
using test::write_tone_wav;

// The items of a menu: its actions, with submenus walked in place.
void collect(const QMenu& menu, std::vector<QAction*>& items, int& separators) {
    for (QAction* a : menu.actions()) {
        if (a->isSeparator()) {
            ++separators;
        } else if (a->menu() != nullptr) {
            collect(*a->menu(), items, separators);
        } else {
            items.push_back(a);
        }
    }
}

QMenu* top_menu(MainWindow& w, const char* caption) {
    for (QAction* a : w.menuBar()->actions()) {
        if (without_mnemonic(a->text()) == QString::fromUtf8(caption)) {
            return a->menu();
        }
    }
    return nullptr;
}

// The playlist's paths in list order (file names only).
std::vector<std::string> names(const Playlist& pl) {
    std::vector<std::string> out;
    for (int i = 0; i < pl.song_count; ++i) {
        out.emplace_back(file_name_part(song_path(pl.entries[static_cast<size_t>(i)])));
    }
    return out;
}

// Whether the bands hold factory preset id's values.
bool preset_in_force(const Processor& p, int id) {
    const PresetRecord& r = factory_preset_record(id);
    for (size_t b = 0; b < BAND_COUNT; ++b) {
        if (p.params.bands[b].out_mix_db != r.out_mix_db[b] ||
            p.params.bands[b].clip_threshold_db != r.clip_threshold_db[b]) {
            return false;
        }
    }
    return true;
}

// A drag of local paths entering the window and dropped on the point.
void drop_on(QWidget& target, const std::vector<std::string>& paths, QPoint at = {20, 20}) {
    QList<QUrl> urls;
    for (const std::string& p : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    }
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

// A double click as the platform delivers it: press, release, double click, release.
void double_click(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

// The centre of a playlist row in the view's viewport.
QPoint row_point(QTableView& view, int row) {
    return QPoint(60, view.rowViewportPosition(row) + view.rowHeight(row) / 2);
}

TEST_F(WindowTest, MenuBarHoldsTheDesignsMenusImagesAndSeparators) {
    struct Expected {
        const char* caption;
        int items;
        int separators;
    };
    // The File menu also holds the program's own language submenu (three items).
    const Expected menus[] = {
        {"ファイル", 5 + 3, 3}, {"パラメータ", 27, 6}, {"再生リスト", 12, 5},
        {"エクスポート", 3, 2}, {"ヘルプ", 3, 1},
    };
    ASSERT_EQ(window->menuBar()->actions().size(), 5);
    for (const Expected& e : menus) {
        SCOPED_TRACE(e.caption);
        QMenu* menu = top_menu(*window, e.caption);
        ASSERT_NE(menu, nullptr);
        std::vector<QAction*> items;
        int separators = 0;
        collect(*menu, items, separators);
        EXPECT_EQ(static_cast<int>(items.size()), e.items);
        EXPECT_EQ(separators, e.separators);
    }
    // Items carry their command, caption and the skin's image.
    QAction* bypass = window->menu_action(cmd::BYPASS);
    ASSERT_NE(bypass, nullptr);
    EXPECT_EQ(without_mnemonic(bypass->text()).toStdString(), "入力をバイパス ON/OFF");
    EXPECT_EQ(bypass->icon().pixmap(16, 16).toImage(), skin.image(SkinId::MenuBypass).toImage());
    EXPECT_TRUE(window->menu_action(cmd::QUIT)->icon().isNull());
    // The FM group holds the start-up preset; "&&" shows a single "&".
    EXPECT_EQ(window->menu_action(cmd::PRESET_SMOOTH_FM)->text().toStdString(),
              "Smooth Listening(Favorite FM)");
    EXPECT_EQ(window->menu_action(335)->text().toStdString(),
              "Internet Radio Station - Talk && Music Show");
    // Every command the window handles has an item; 40129 of the English edition does not.
    for (int id :
         {182, 232, 269, 301, 302, 303, 307, 315, 316, 317, 318, 320, 321, 322,   323,   324,  325,
          326, 328, 331, 332, 333, 334, 335, 336, 337, 338, 339, 340, 341, 342,   343,   345,  346,
          348, 349, 350, 352, 354, 355, 358, 359, 360, 363, 364, 365, 366, 40118, 40120, 40125}) {
        EXPECT_NE(window->menu_action(id), nullptr) << id;
    }
    EXPECT_EQ(window->menu_action(40129), nullptr);

    // A menu item runs its command and the panel shows it.
    bypass->trigger();
    EXPECT_EQ(ctx->processor->params.switches.bypass, 1);
    window->menu_action(341)->trigger();
    EXPECT_TRUE(preset_in_force(*ctx->processor, 341));
}

TEST_F(WindowTest, ShortcutsFollowTheDesktopAndLeaveTheViewsKeysAlone) {
    EXPECT_EQ(window->menu_action(cmd::OPEN_PLAYLIST)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(window->menu_action(cmd::SAVE_PLAYLIST)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(window->menu_action(cmd::QUIT)->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(window->menu_action(cmd::MANUAL)->shortcut(), QKeySequence("F1"));
    std::vector<QKeySequence> seen;
    for (const CommandShortcut& s : command_shortcuts()) {
        const QKeySequence keys(QString::fromLatin1(s.keys));
        for (const char* taken : {"Space", "Up", "Down", "Shift+Up", "Shift+Down", "Del"}) {
            EXPECT_NE(keys, QKeySequence(QString::fromLatin1(taken))) << s.keys;
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), keys), 0) << s.keys;
        seen.push_back(keys);
    }

    // Keys reach the window's commands while it is active; Ctrl+Q closes it.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->playlist_view(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, ToolbarHoldsFifteenPlacesAt28PxWithTheStripsImages) {
    add_songs({{"a.wav", 1.0}});  // so that every button but Stop can be pressed
    Toolbar& bar = *window->toolbar();
    EXPECT_EQ(bar.height(), TOOLBAR_HEIGHT);
    EXPECT_EQ(bar.actions().size(), TOOLBAR_PLACES);
    int separators = 0;
    for (QAction* a : bar.actions()) {
        separators += a->isSeparator() ? 1 : 0;
    }
    EXPECT_EQ(separators, 3);
    for (const ToolbarButtonRow& shape : toolbar_buttons()) {
        if (shape.style == ToolbarStyle::Separator) {
            continue;
        }
        SCOPED_TRACE(shape.command);
        QToolButton* b = bar.button(shape.command);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->isEnabled(), shape.command != cmd::STOP);
        // The button is the command's own action, the menu's item.
        EXPECT_EQ(b->defaultAction(), window->menu_action(shape.command));
        EXPECT_EQ(b->icon().pixmap(16, 15).toImage().convertToFormat(QImage::Format_ARGB32),
                  skin.toolbar_image(shape.image).toImage().convertToFormat(QImage::Format_ARGB32));
        EXPECT_EQ(b->popupMode() == QToolButton::MenuButtonPopup,
                  shape.style == ToolbarStyle::DropDown);
    }
    // The buttons are in the design's order, left to right.
    EXPECT_LT(bar.button(cmd::ADD_SONG_FILES)->x(), bar.button(cmd::REMOVE_ALL)->x());
    EXPECT_LT(bar.button(cmd::REMOVE_ALL)->x(), bar.button(cmd::PLAY)->x());
    EXPECT_LT(bar.button(cmd::PRESET_SMOOTH_FM)->x(), bar.button(cmd::USE_USER_PRESET_1)->x());
}

TEST_F(WindowTest, PresetDropDownsApplyTheirFaceOrOpenTheirMenuBelowTheButton) {
    QToolButton* fm = window->toolbar()->button(cmd::PRESET_SMOOTH_FM);
    QToolButton* digital = window->toolbar()->button(339);
    ASSERT_NE(fm, nullptr);
    ASSERT_NE(digital, nullptr);
    // The face: the button's own preset, no menu.
    run_command(*ctx, 334);
    ASSERT_TRUE(preset_in_force(*ctx->processor, 334));
    QTest::mouseClick(digital, Qt::LeftButton, {}, QPoint(6, digital->height() / 2));
    EXPECT_TRUE(preset_in_force(*ctx->processor, 339));

    // The arrow: menu 606 at the button's lower-left corner; its item applies that preset.
    QPoint menu_at;
    QStringList captions;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu_at = menu->pos();
        for (QAction* a : menu->actions()) {
            captions << a->text();
        }
        menu->actions().at(3)->trigger();  // 342
        menu->close();
    });
    QTest::mouseClick(fm, Qt::LeftButton, {}, QPoint(fm->width() - 3, fm->height() / 2));
    EXPECT_EQ(menu_at, fm->mapToGlobal(QPoint(0, fm->height())));
    ASSERT_EQ(captions.size(), 5);
    EXPECT_EQ(captions.front().toStdString(), "FM Station - Smooth Listening(Favorite FM)");
    EXPECT_TRUE(preset_in_force(*ctx->processor, 342));
}

TEST_F(WindowTest, TooltipsComeFromTheTableAndNotWhileASongPlays) {
    auto tip_of = [](QToolButton* b) {
        QToolTip::hideText();
        for (int i = 0; i < 100 && QToolTip::isVisible(); ++i) {
            QTest::qWait(10);  // the last tip fades out
        }
        QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), b->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(b, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    Toolbar& bar = *window->toolbar();
    EXPECT_EQ(tip_of(bar.button(cmd::PLAY)).toStdString(), "再生[SPACE]");
    EXPECT_EQ(tip_of(bar.button(cmd::USE_USER_PRESET_3)).toStdString(), "ユーザープリセット３");
    EXPECT_TRUE(tip_of(bar.button(335)).isEmpty());  // the preset drop-downs have none

    add_songs({{"a.wav", 2.0}});
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    EXPECT_TRUE(tip_of(bar.button(cmd::PLAY)).isEmpty());
    EXPECT_TRUE(tip_of(bar.button(cmd::ADD_SONG_FILES)).isEmpty());
    run_command(*ctx, cmd::STOP);
    play_out();
    EXPECT_EQ(tip_of(bar.button(cmd::STOP)).toStdString(), "停止[SPACE]");
    QToolTip::hideText();
}

TEST_F(WindowTest, CommandGuards) {
    add_songs({{"a.wav", 1.0}, {"b.wav", 2.0}, {"c.wav", 3.0}});
    Playlist& pl = *ctx->playlist;
    ASSERT_EQ(pl.song_count, 3);
    // 366 on the first song and 318 on the last do nothing.
    pl.selected_index = 0;
    EXPECT_FALSE(run_command(*ctx, cmd::CHOOSE_PREVIOUS));
    EXPECT_EQ(pl.selected_index, 0);
    pl.selected_index = 2;
    EXPECT_FALSE(run_command(*ctx, cmd::CHOOSE_NEXT));
    EXPECT_EQ(pl.selected_index, 2);
    EXPECT_TRUE(run_command(*ctx, cmd::CHOOSE_PREVIOUS));
    EXPECT_EQ(pl.selected_index, 1);

    // While a song plays: ON AIR refused, the playing song is neither deleted nor cleared
    // away, Stop drains.
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    EXPECT_FALSE(run_command(*ctx, cmd::ONAIR));
    EXPECT_EQ(ctx->engine->onair_mode, 0);
    EXPECT_FALSE(run_command(*ctx, cmd::DELETE_SONG));
    EXPECT_FALSE(run_command(*ctx, cmd::REMOVE_ALL));
    EXPECT_EQ(pl.song_count, 3);
    EXPECT_FALSE(run_command(*ctx, cmd::PLAY));
    EXPECT_TRUE(run_command(*ctx, cmd::STOP));
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_DRAINING);
    play_out();
    EXPECT_FALSE(run_command(*ctx, cmd::STOP));  // nothing to stop

    // ON AIR: one entry, and switching it off empties the list.
    EXPECT_TRUE(run_command(*ctx, cmd::ONAIR));
    EXPECT_EQ(pl.song_count, 1);
    EXPECT_EQ(window->table_model()->rowCount(), 1);
    EXPECT_TRUE(run_command(*ctx, cmd::ONAIR));
    EXPECT_EQ(pl.song_count, 0);
    EXPECT_EQ(window->table_model()->rowCount(), 0);
    EXPECT_FALSE(run_command(*ctx, cmd::PLAY));        // an empty list plays nothing
    EXPECT_FALSE(run_command(*ctx, cmd::REMOVE_ALL));  // nor clears

    // The virtual room's command toggles, INIT resets; switches redraw the panel.
    const int room = ctx->processor->params.switches.virtual_room;
    EXPECT_TRUE(run_command(*ctx, cmd::VIRTUAL_ROOM));
    EXPECT_NE(ctx->processor->params.switches.virtual_room, room);
    ctx->processor->params.room_size_m = 30;
    EXPECT_TRUE(run_command(*ctx, cmd::INIT_VIRTUAL_ROOM));
    EXPECT_EQ(ctx->processor->params.room_size_m, 10.0);
}

TEST_F(WindowTest, OnAirModeGreysTheListCommandsEverywhere) {
    add_songs({{"a.wav", 1.0}, {"b.wav", 1.0}});
    ASSERT_TRUE(window->menu_action(cmd::ONAIR)->isEnabled());
    window->menu_action(cmd::ONAIR)->trigger();
    ASSERT_EQ(ctx->engine->onair_mode, 1);
    for (int id : list_commands()) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(window->menu_action(id)->isEnabled());
        if (QToolButton* b = window->toolbar()->button(id)) {
            EXPECT_FALSE(b->isEnabled());
        }
    }
    // Play, ON AIR, presets and the switches stay; Stop waits for the live input to play.
    for (int id : {cmd::PLAY, cmd::ONAIR, cmd::BYPASS, preset_id::DIGITAL_WIDE_STEREO,
                   cmd::USE_USER_PRESET_1}) {
        EXPECT_TRUE(window->menu_action(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(window->menu_action(cmd::STOP)->isEnabled());
    EXPECT_TRUE(window->toolbar()->button(cmd::PLAY)->isEnabled());
    EXPECT_TRUE(window->menu_action(cmd::ONAIR)->isChecked());

    // The view's keys and drops are refused with their commands: the live input's row stays.
    QTest::keyClick(window->playlist_view(), Qt::Key_Delete);
    EXPECT_EQ(ctx->playlist->song_count, 1);
    write_tone_wav(dir.path() / "c.wav", 44100, 2, 1.0);
    drop_on(*window, {(dir.path() / "c.wav").string()});
    EXPECT_EQ(ctx->playlist->song_count, 1);
    window->playlist_view()->horizontalHeader()->sectionClicked(3);
    EXPECT_EQ(ctx->playlist->sort_column, DEFAULT_SORT_COLUMN);

    // Switched off, the list is empty: the list commands come back as far as an empty list
    // lets them, the others once songs are added.
    window->menu_action(cmd::ONAIR)->trigger();
    EXPECT_EQ(ctx->playlist->song_count, 0);
    for (int id : {cmd::OPEN_PLAYLIST, cmd::SAVE_PLAYLIST, cmd::ADD_SONG_FILES,
                   cmd::SOUND_DEVICE_SETTINGS, cmd::CONTINUOUS_PLAYBACK}) {
        EXPECT_TRUE(window->menu_action(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(window->toolbar()->button(cmd::EXPORT_ALL)->isEnabled());
    add_songs({{"d.wav", 1.0}, {"e.wav", 1.0}, {"f.wav", 1.0}});
    ctx->playlist->selected_index = 1;  // a middle row: up and down both move
    window->redraw_panel();
    for (int id : list_commands()) {
        EXPECT_TRUE(window->menu_action(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(window->toolbar()->button(cmd::EXPORT_ALL)->isEnabled());
}

TEST_F(WindowTest, PanelButtonsThroughTheMappingAndTheirBorders) {
    auto press = [this](int x, int y) {
        QTest::mousePress(window->panel(), Qt::LeftButton, {}, QPoint(x, y - PANEL_TOP));
        QTest::mouseRelease(window->panel(), Qt::LeftButton, {}, QPoint(x, y - PANEL_TOP));
    };
    ProcessorSwitches& sw = ctx->processor->params.switches;
    const PanelButtonRow& room = PANEL_BUTTONS[static_cast<size_t>(PanelButtonId::VirtualRoom)];
    const PanelButtonRow& bypass = PANEL_BUTTONS[static_cast<size_t>(PanelButtonId::Bypass)];
    const int room_before = sw.virtual_room;
    // Exactly on the border (x = bx, y = by, and the far edges) nothing happens.
    press(room.x, room.y + 7);
    press(room.x + 40, room.y);
    press(room.x + room.width, room.y + 7);
    press(room.x + 40, room.y + room.height);
    EXPECT_EQ(sw.virtual_room, room_before);
    press(room.x + 1, room.y + 1);
    EXPECT_NE(sw.virtual_room, room_before);

    // With BYPASS on, VIRTUAL ROOM shows pressed and changes nothing.
    press(bypass.x + 40, bypass.y + 7);
    ASSERT_EQ(sw.bypass, 1);
    const int with_bypass = sw.virtual_room;
    QTest::mousePress(window->panel(), Qt::LeftButton, {},
                      QPoint(room.x + 40, room.y + 7 - PANEL_TOP));
    EXPECT_TRUE(window->panel()->model().button_pressed(PanelButtonId::VirtualRoom));
    QTest::mouseRelease(window->panel(), Qt::LeftButton, {},
                        QPoint(room.x + 40, room.y + 7 - PANEL_TOP));
    EXPECT_EQ(sw.virtual_room, with_bypass);

    // The transport's Play and Stop send their commands; a double click is a second press.
    add_songs({{"a.wav", 2.0}});
    const TransportRow& play = TRANSPORT_BUTTONS[static_cast<size_t>(TransportId::Play)];
    const TransportRow& stop = TRANSPORT_BUTTONS[static_cast<size_t>(TransportId::Stop)];
    press(play.x, TRANSPORT_Y + 10);  // the border: nothing
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    press(play.x + 10, TRANSPORT_Y + 10);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    press(stop.x + 10, TRANSPORT_Y + 10);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_DRAINING);
    play_out();
    const PanelButtonRow& gate = PANEL_BUTTONS[static_cast<size_t>(PanelButtonId::NoiseGate)];
    const int gate_before = sw.noise_gate;
    double_click(window->panel(), QPoint(gate.x + 40, gate.y + 7 - PANEL_TOP));
    EXPECT_EQ(sw.noise_gate, gate_before);  // pressed twice
}

TEST_F(WindowTest, RowClicksSelectAndASecondClickWithin499MsPlaysTheFirstRow) {
    add_songs({{"a.wav", 2.0}, {"b.wav", 2.0}, {"c.wav", 2.0}});
    QTableView& view = *window->playlist_view();
    uint32_t now = 100000;
    window->playlist_input()->set_clock([&now] { return now; });
    QWidget* vp = view.viewport();

    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 1));
    EXPECT_EQ(ctx->playlist->selected_index, 1);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    // 500 ms later: a single click again.
    now += 500;
    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 2));
    EXPECT_EQ(ctx->playlist->selected_index, 2);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    // The same tick counts as a single click too.
    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 0));
    EXPECT_EQ(ctx->playlist->selected_index, 0);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    // 499 ms later on another row: the first row's song starts, the selection stays.
    now += 499;
    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 2));
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(ctx->playlist->current_index, 0);
    EXPECT_EQ(ctx->playlist->selected_index, 0);
    // A quick pair while playing stops.
    now += 2000;
    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 1));
    now += 100;
    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 1));
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_DRAINING);
    play_out();
    // Below the last row nothing happens.
    now += 2000;
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(60, vp->height() - 3));
    EXPECT_EQ(ctx->playlist->selected_index, 1);

    // The real clock: Qt's double click on a row plays it.
    window->playlist_input()->set_clock(steady_tick_ms);
    QTest::mouseClick(vp, Qt::LeftButton, {}, row_point(view, 2));
    QTest::qWait(30);  // two presses in the same millisecond count as one click
    QTest::mouseDClick(vp, Qt::LeftButton, {}, row_point(view, 2));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, row_point(view, 2));
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(ctx->playlist->current_index, 2);
    // The view's selection follows selected_index at the next paint.
    window->panel()->repaint();
    EXPECT_EQ(view.selectionModel()->currentIndex().row(), 2);
}

TEST_F(WindowTest, HeaderClicksSortDescendingFirstThenAscending) {
    add_songs({{"b.wav", 2.0}, {"a.wav", 1.0}, {"c.wav", 3.0}});
    QHeaderView* header = window->playlist_view()->horizontalHeader();
    auto click_header = [header](int column) {
        const int x = header->sectionViewportPosition(column) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    click_header(3);  // "File Name"
    EXPECT_EQ(names(*ctx->playlist), (std::vector<std::string>{"c.wav", "b.wav", "a.wav"}));
    click_header(4);  // "Time": the next click sorts ascending
    EXPECT_EQ(names(*ctx->playlist), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
    click_header(3);
    EXPECT_EQ(names(*ctx->playlist), (std::vector<std::string>{"c.wav", "b.wav", "a.wav"}));
    // The menu's sort goes by "Time" after any sort.
    window->menu_action(cmd::SORT_ASCENDING)->trigger();
    EXPECT_EQ(names(*ctx->playlist), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(window->table_model()->data(window->table_model()->index(0, 3), Qt::DisplayRole),
              QStringLiteral("a.wav"));
}

TEST_F(WindowTest, KeysInTheViewAndOnThePanel) {
    add_songs({{"a.wav", 2.0}, {"b.wav", 2.0}, {"c.wav", 2.0}});
    QTableView* view = window->playlist_view();
    Playlist& pl = *ctx->playlist;
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);  // the last song: stays
    EXPECT_EQ(pl.selected_index, 2);
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(pl.selected_index, 1);
    QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);  // b moves up
    EXPECT_EQ(names(pl), (std::vector<std::string>{"b.wav", "a.wav", "c.wav"}));
    EXPECT_EQ(pl.selected_index, 0);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(names(pl), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));

    // Space plays the selected song, Delete refuses it while it plays, Space stops.
    QTest::keyClick(view, Qt::Key_Space);
    ASSERT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(pl.current_index, 1);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(pl.song_count, 3);
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_DRAINING);
    QTest::keyClick(view, Qt::Key_Space);  // draining: nothing
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_DRAINING);
    play_out();
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(names(pl), (std::vector<std::string>{"a.wav", "c.wav"}));

    // The panel takes the same keys.
    QTest::keyClick(window->panel(), Qt::Key_Space);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    QTest::keyClick(window->panel(), Qt::Key_Space);
    play_out();
}

TEST_F(WindowTest, DroppedFilesAndFolders) {
    const auto music = dir.path() / "music";
    std::filesystem::create_directories(music / "sub");
    write_tone_wav(music / "one.wav", 44100, 2, 1.0);
    write_tone_wav(music / "sub" / "two.wav", 48000, 1, 1.0);
    std::ofstream(music / "notes.txt") << "not a song";
    const auto locked = dir.path() / "locked";
    std::filesystem::create_directories(locked);
    write_tone_wav(locked / "three.wav", 32000, 2, 1.0);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    write_tone_wav(dir.path() / "four.wav", 44100, 2, 1.0);

    // A path of three characters or fewer is skipped, even the root folder.
    drop_on(*window, {"/"});
    EXPECT_EQ(ctx->playlist->song_count, 0);
    // A folder is scanned (a read-only one too), files are added, the rest is ignored.
    drop_on(*window, {music.string(), locked.string(), (dir.path() / "four.wav").string(),
                      (music / "notes.txt").string()});
    std::vector<std::string> got = names(*ctx->playlist);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"four.wav", "one.wav", "three.wav", "two.wav"}));
    EXPECT_EQ(window->table_model()->rowCount(), 4);
    EXPECT_EQ(window->status_text(1).toStdString(), "4 songs in list");
    // Dropped on the view, the drop reaches the window as well.
    drop_on(*window->playlist_view()->viewport(), {(dir.path() / "four.wav").string()});
    EXPECT_EQ(ctx->playlist->song_count, 5);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
}

// A drag of local paths offering `offered`, proposing Move as a file manager does; returns
// the action the drop ended with (Qt::IgnoreAction when it was refused).
Qt::DropAction drag_and_drop(QWidget& target, const std::vector<std::string>& paths,
                             Qt::DropActions offered) {
    QList<QUrl> urls;
    for (const std::string& p : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    }
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
        return Qt::IgnoreAction;
    }
    EXPECT_NE(enter.dropAction(), Qt::MoveAction);
    QDropEvent drop(QPointF(at), offered, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// A drop is taken as a copy (or a link), never as a move that would let a file manager remove
// the originals; one that adds nothing is refused, and the user is told why when it matters.
// A playlist file dropped while stopped opens as on the command line.
TEST_F(WindowTest, DropsAreCopiesAndThoseThatAddNothingAreRefused) {
    write_tone_wav(dir.path() / "a.wav", 44100, 2, 1.0);
    write_tone_wav(dir.path() / "b.wav", 44100, 2, 1.0);
    const std::string a = (dir.path() / "a.wav").string(), b = (dir.path() / "b.wav").string();
    const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    EXPECT_EQ(drag_and_drop(*window, {a}, all), Qt::CopyAction);
    EXPECT_EQ(drag_and_drop(*window, {b}, Qt::MoveAction | Qt::LinkAction), Qt::LinkAction);
    EXPECT_EQ(drag_and_drop(*window, {a}, Qt::MoveAction), Qt::IgnoreAction);
    EXPECT_EQ(ctx->playlist->song_count, 2);
    std::ofstream(dir.path() / "notes.txt") << "not a song";
    EXPECT_EQ(drag_and_drop(*window, {(dir.path() / "notes.txt").string()}, all), Qt::IgnoreAction);

    // A playlist file opens while stopped; while a song plays it is refused, and told.
    const std::string plt = (dir.path() / "two.plt").string();
    ASSERT_EQ(save_playlist_file(*ctx->playlist, plt).status, PlaylistFileStatus::ok);
    window->dispatch(cmd::REMOVE_ALL);
    ASSERT_EQ(ctx->playlist->song_count, 0);
    EXPECT_EQ(drag_and_drop(*window, {plt}, all), Qt::CopyAction);
    EXPECT_EQ(names(*ctx->playlist), (std::vector<std::string>{"a.wav", "b.wav"}));
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    host.messages.clear();
    EXPECT_EQ(drag_and_drop(*window, {plt}, all), Qt::IgnoreAction);
    QTest::qWait(20);  // the message waits for the event loop
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.toStdString(),
              message_text(TEXT_PLAYLIST_DROP_WHILE_BUSY).toStdString());
    run_command(*ctx, cmd::STOP);
    play_out();

    // A full list refuses the drop with its message.
    Playlist& pl = *ctx->playlist;
    for (int i = pl.song_count; i < MAX_SONGS; ++i) {
        pl.entries[static_cast<size_t>(i)] = pl.entries[0];
    }
    pl.song_count = MAX_SONGS;
    host.messages.clear();
    EXPECT_EQ(drag_and_drop(*window, {a}, all), Qt::IgnoreAction);
    QTest::qWait(20);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, list_full_message().text);
}

TEST_F(WindowTest, FocusGoesFromThePanelToTheListAndF10OpensTheMenus) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window->playlist_view());
    // Tab walks the panel's places first, then goes on to the list; from the list it comes
    // back to the panel's first place, Shift+Tab there goes back to the list.
    window->panel()->setFocus();
    EXPECT_EQ(window->panel()->model().focus(), -1);  // no mark until the keys move it
    for (int i = 0; i < FOCUS_PLACE_COUNT; ++i) {
        QTest::keyClick(window->panel(), Qt::Key_Tab);
        ASSERT_EQ(window->panel()->model().focus(), i);
    }
    QTest::keyClick(window->panel(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->playlist_view());
    EXPECT_EQ(window->panel()->model().focus(), -1);
    QTest::keyClick(window->playlist_view(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->panel());
    EXPECT_EQ(window->panel()->model().focus(), 0);
    QTest::keyClick(window->panel(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), window->playlist_view());

    QTest::keyClick(window->playlist_view(), Qt::Key_F10);
    EXPECT_NE(window->menuBar()->activeAction(), nullptr);
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
}

TEST_F(WindowTest, TheManualOpensFromTheProgramFolderFirst) {
    std::vector<QUrl> opened;
    window->set_url_opener([&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    window->menu_action(cmd::MANUAL)->trigger();
    ASSERT_EQ(opened.size(), 1u);  // the source tree's copy, for a program run from its build
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("help/index.html")));
    EXPECT_TRUE(std::filesystem::exists(opened[0].toLocalFile().toStdString()));

    const auto own = ctx->folders.start_folder / "help" / "index.html";
    std::filesystem::create_directories(own.parent_path());
    std::ofstream(own) << "<html></html>";
    window->menu_action(cmd::MANUAL)->trigger();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].toLocalFile().toStdString(), own.string());
}

}  // namespace
}  // namespace zv

namespace zv {
namespace {

// Waits on the event loop until done() holds; false after the time.
bool wait_until(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms && !done(); waited += 20) {
        QTest::qWait(20);
    }
    return done();
}

TEST_F(WindowTest, TimersPlayTheNextSongAndStartOnAirMode) {
    // Continuous play: the next song starts one second after a song has played out.
    add_songs({{"a.wav", 0.2}, {"b.wav", 0.2}});
    window->menu_action(cmd::CONTINUOUS_PLAYBACK)->trigger();
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    play_out();
    ASSERT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(ctx->playlist->selected_index, 1);
    QTest::qWait(900);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
    // (A song shorter than the primed blocks drains from its start.)
    ASSERT_TRUE(wait_until([this] { return engine_busy(*ctx->engine); }, 1000));
    EXPECT_EQ(ctx->playlist->current_index, 1);
    run_command(*ctx, cmd::STOP);
    play_out();

    // ON AIR auto start: 1.5 s after the window is made, forced on and playing.
    window.reset();
    ctx->engine->settings.onair_autostart = 1;
    ctx->engine->lists.inputs.count = 1;
    window = std::make_unique<MainWindow>(*ctx, skin, WindowOptions{false, false});
    window->set_dialog_host(&host);
    window->show();
    QTest::qWait(1200);
    EXPECT_EQ(ctx->engine->onair_mode, 0);
    ASSERT_TRUE(wait_until([this] { return ctx->engine->onair_mode == 1; }, 1000));
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    EXPECT_TRUE(device->in_open);
    EXPECT_FALSE(window->menu_action(cmd::ADD_SONG_FILES)->isEnabled());
    EXPECT_EQ(window->table_model()->rowCount(), 1);
    run_command(*ctx, cmd::STOP);
    play_out();
}

}  // namespace
}  // namespace zv

namespace zv {
namespace {

TEST_F(WindowTest, ScrollListToKeepsTheRowInView) {
    std::vector<std::pair<std::string, double>> songs;
    for (int i = 0; i < 40; ++i) {
        songs.emplace_back("s" + std::to_string(i) + ".wav", 0.05);
    }
    add_songs(songs);
    QTableView& view = *window->playlist_view();
    const int per_page = view.viewport()->height() / view.rowHeight(0);
    ASSERT_LT(per_page, 30);
    window->scroll_list_to(20, 1);  // mode 1: the row ends up last but one
    EXPECT_EQ(view.rowAt(0), 20 - per_page + 2);
    window->scroll_list_to(10, 0);  // mode 0: the row on top
    EXPECT_EQ(view.rowAt(0), 10);
    window->scroll_list_to(1, 1);
    EXPECT_EQ(view.rowAt(0), 0);
}

}  // namespace
}  // namespace zv
