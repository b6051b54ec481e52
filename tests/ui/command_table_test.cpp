// The command table's one guard against every state the window can be in: stopped with songs,
// playing (another row selected, or its own), ON AIR mode, an empty list and a selection past
// the list's end. The expectations are written out here command by command; the window's
// actions must be enabled exactly when the guard lets the command run, and a command the
// guard refuses changes nothing when it is sent anyway (a key, a test, a stale menu).
#include <gtest/gtest.h>

#include <QAction>
#include <array>
#include <cstring>
#include <map>
#include <string>

#include "tests/ui/window_fixture.h"
#include "ui/commands.h"
#include "ui/menus.h"

namespace zv {
namespace {

using test::WindowTest;

enum State { Stopped, Playing, PlayingSelected, OnAir, Empty, NoSelection, STATE_COUNT };
const char* const STATE_NAMES[] = {"stopped", "playing",    "playing, its row selected",
                                   "ON AIR",  "empty list", "no selection"};

// Per state, in the order above: 'A' when the command can run, '-' when it is greyed.
const std::map<int, std::string> LIMITED = {
    {cmd::OPEN_PLAYLIST, "A---AA"},
    {cmd::SAVE_PLAYLIST, "AAA-AA"},
    {cmd::ADD_SONG_FILES, "AAA-AA"},
    {cmd::SOUND_DEVICE_SETTINGS, "AAA-AA"},
    {cmd::CONTINUOUS_PLAYBACK, "AAA-AA"},
    {cmd::ONAIR, "A--AAA"},
    {cmd::PLAY, "A--A--"},
    {cmd::STOP, "-AA---"},
    {cmd::CHOOSE_PREVIOUS, "AA---A"},
    {cmd::CHOOSE_NEXT, "AAA---"},
    {cmd::MOVE_UP, "AA----"},
    {cmd::MOVE_DOWN, "AAA---"},
    {cmd::DELETE_SONG, "AA----"},
    {cmd::SORT_ASCENDING, "AAA--A"},
    {cmd::SORT_DESCENDING, "AAA--A"},
    {cmd::PEAK_LEVEL, "A----A"},
    {cmd::REMOVE_ALL, "AA---A"},
    {cmd::EXPORT_SONG, "A-----"},
    {cmd::EXPORT_ALL, "A----A"},
};

class CommandTableTest : public WindowTest {
protected:
    // Three songs, the middle one selected, the engine idle.
    void stopped() {
        add_songs({{"a.wav", 3.0}, {"b.wav", 3.0}, {"c.wav", 3.0}});
        ctx->playlist->selected_index = 1;
    }
    void enter(State state) {
        switch (state) {
            case Stopped:
                stopped();
                break;
            case Playing:
            case PlayingSelected:
                stopped();
                ctx->playlist->selected_index = 0;
                ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
                ctx->playlist->selected_index = state == Playing ? 1 : 0;
                break;
            case OnAir:
                ASSERT_TRUE(run_command(*ctx, cmd::ONAIR));
                break;
            case Empty:
                break;
            case NoSelection:
                stopped();
                ctx->playlist->selected_index = ctx->playlist->song_count;
                break;
            case STATE_COUNT:
                break;
        }
        window->redraw_panel();  // the actions follow at the next change the window sees
    }
};

TEST_F(CommandTableTest, EveryRowsGuardInEveryState) {
    for (int s = 0; s < STATE_COUNT; ++s) {
        SCOPED_TRACE(STATE_NAMES[s]);
        if (s > 0) {
            TearDown();
            SetUp();
        }
        enter(static_cast<State>(s));
        for (const CommandRow& row : command_table()) {
            const auto limited = LIMITED.find(row.id);
            const bool expected =
                limited == LIMITED.end() || limited->second[static_cast<size_t>(s)] == 'A';
            EXPECT_EQ(command_available(*ctx, row.id), expected) << row.id;
            QAction* a = window->menu_action(row.id);
            ASSERT_NE(a, nullptr) << row.id;
            EXPECT_EQ(a->isEnabled(), expected) << row.id;
        }
        if (engine_busy(*ctx->engine)) {
            run_command(*ctx, cmd::STOP);
            play_out();
        }
    }
}

// A greyed command sent all the same (a key, a script) does nothing at all.
TEST_F(CommandTableTest, RefusedCommandsChangeNothing) {
    enter(PlayingSelected);
    auto snapshot = [this] {
        std::string bytes(reinterpret_cast<const char*>(ctx->playlist.get()), sizeof(Playlist));
        bytes.append(reinterpret_cast<const char*>(&ctx->engine->engine_state),
                     sizeof ctx->engine->engine_state);
        bytes.append(reinterpret_cast<const char*>(&ctx->engine->onair_mode),
                     sizeof ctx->engine->onair_mode);
        return bytes;
    };
    const std::string before = snapshot();
    for (const CommandRow& row : command_table()) {
        if (!command_available(*ctx, row.id)) {
            EXPECT_FALSE(run_command(*ctx, row.id)) << row.id;
            EXPECT_EQ(snapshot(), before) << row.id;
        }
    }
    EXPECT_TRUE(host.messages.empty());  // nor does it ask anything
    run_command(*ctx, cmd::STOP);
    play_out();
}

// The switches' commands toggle once, from the menu and the panel alike, and their items show
// the state; ids the table lacks are refused.
TEST_F(CommandTableTest, SwitchesToggleOnceAndShowTheirState) {
    ProcessorSwitches& sw = ctx->processor->params.switches;
    const int gate = sw.noise_gate;
    EXPECT_TRUE(run_command(*ctx, cmd::NOISE_GATE));
    EXPECT_NE(sw.noise_gate, gate);
    const int eq_off = sw.bass_eq_off;
    window->menu_action(cmd::BASS_EQ)->trigger();
    EXPECT_NE(sw.bass_eq_off, eq_off);
    EXPECT_EQ(window->menu_action(cmd::BASS_EQ)->isChecked(), sw.bass_eq_off == 0);
    const PanelButtonRow& bypass = panel_button(PanelButtonId::Bypass);
    window->panel()->model().left_down({bypass.x + 5, bypass.y + 5}, {});
    window->panel()->model().left_up();
    EXPECT_EQ(sw.bypass, 1);
    EXPECT_TRUE(window->menu_action(cmd::BYPASS)->isChecked());
    EXPECT_FALSE(run_command(*ctx, 40129));  // the English edition's "Remove all songs"
    EXPECT_FALSE(command_available(*ctx, 0));
}

// Menus, toolbar and shortcuts share one action per command; English and Japanese captions
// carry an Alt letter, and every command with a menu caption is in the menu bar.
TEST_F(CommandTableTest, OneActionPerCommandWithItsKeyAndLetter) {
    for (const CommandRow& row : command_table()) {
        QAction* a = window->menu_action(row.id);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(action_command(a), row.id);
        if (row.shortcut != nullptr) {
            EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(row.shortcut))) << row.id;
        }
        if (row.caption != nullptr && row.mnemonic != 0) {
            EXPECT_NE(a->text().indexOf(QLatin1Char('&')), -1) << row.id;
        }
        // Every captioned command is reachable from the menu bar.
        EXPECT_EQ(row.caption != nullptr, !a->associatedObjects().isEmpty()) << row.id;
    }
}

TEST(Mnemonics, LatinCaptionsMarkTheirLetterOthersAppendIt) {
    EXPECT_EQ(with_mnemonic(QStringLiteral("Sound Parameters"), 'P'),
              QStringLiteral("Sound &Parameters"));
    EXPECT_EQ(with_mnemonic(QStringLiteral("Talk && Music"), 'M'),
              QStringLiteral("Talk && &Music"));
    EXPECT_EQ(with_mnemonic(QStringLiteral("ファイル"), 'f'), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(with_mnemonic(QStringLiteral("ON AIR モード..."), 'A'),
              QStringLiteral("ON AIR モード(&A)..."));
    EXPECT_EQ(with_mnemonic(QStringLiteral("Quit"), 'Z'), QStringLiteral("Quit(&Z)"));
    EXPECT_EQ(with_mnemonic(QStringLiteral("Quit"), 0), QStringLiteral("Quit"));
    EXPECT_EQ(without_mnemonic(QStringLiteral("ON AIR モード(&A)...")),
              QStringLiteral("ON AIR モード..."));
    EXPECT_EQ(without_mnemonic(QStringLiteral("Talk && &Music")), QStringLiteral("Talk && Music"));
}

}  // namespace
}  // namespace zv
