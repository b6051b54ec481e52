// The panel by keyboard and for screen readers: the focus mark drawn on the skin, the keys
// stepping the focused control as its arrows do (through the window's real key events), Space
// on a switch going through the switch's command, and the accessible names and values.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QTest>

#include "engine/processor.h"
#include "tests/ui/window_fixture.h"
#include "ui/panel_focus.h"
#include "ui/skin_palette.h"

namespace zv {
namespace {

using test::WindowTest;

int position_of(FocusKind kind, int index) {
    const auto order = focus_order();
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i].kind == kind && order[i].index == index) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const int FREQ = position_of(FocusKind::Control, control_index(GeneralControl::BassEqFreq));
const int BYPASS = position_of(FocusKind::Button, static_cast<int>(PanelButtonId::Bypass));
const int CONT_PLAY = position_of(FocusKind::Button, static_cast<int>(PanelButtonId::ContPlay));

TEST_F(WindowTest, KeysStepTheFocusedControlAsItsArrowsDo) {
    PanelWidget& panel = *window->panel();
    double& freq = ctx->processor->params.bass_eq_freq_hz;
    freq = 60;
    QTest::keyClick(&panel, Qt::Key_Tab);  // the mark appears on the first place
    ASSERT_EQ(panel.model().focus(), 0);
    panel.model().set_focus(FREQ);
    QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(freq, 65);
    QTest::keyClick(&panel, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(freq, 115);
    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(freq, 150);
    QTest::keyClick(&panel, Qt::Key_Left,
                    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(freq, 50);
    QTest::keyClick(&panel, Qt::Key_Home);
    EXPECT_EQ(freq, 50);
    // Down moves within Bass EQ to Gain; the value shown follows at the next paint.
    const double gain = ctx->processor->params.bass_eq_gain_db;
    QTest::keyClick(&panel, Qt::Key_Down);
    QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(ctx->processor->params.bass_eq_gain_db, gain + 0.5);
    EXPECT_EQ(freq, 50);
}

TEST_F(WindowTest, SpaceTogglesTheFocusedSwitchThroughItsCommand) {
    PanelWidget& panel = *window->panel();
    ProcessorSwitches& sw = ctx->processor->params.switches;
    panel.model().set_focus(BYPASS);
    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_EQ(sw.bypass, 1);
    EXPECT_TRUE(window->menu_action(cmd::BYPASS)->isChecked());
    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_EQ(sw.bypass, 0);

    // CONT. PLAY is a list command: greyed in ON AIR mode, its switch with it.
    ASSERT_TRUE(run_command(*ctx, cmd::ONAIR));
    const int cont = ctx->playlist->continuous_playback;
    panel.model().set_focus(CONT_PLAY);
    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_EQ(ctx->playlist->continuous_playback, cont);
    ASSERT_TRUE(run_command(*ctx, cmd::ONAIR));

    // On a control Space is the list's again: it plays and stops; so without a mark.
    add_songs({{"a.wav", 2.0}});
    panel.model().set_focus(FREQ);
    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_PLAYING);
    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_EQ(panel.model().focus(), -1);
    QTest::keyClick(&panel, Qt::Key_Space);
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_DRAINING);
    play_out();
}

// The mark is a one-pixel frame in the display's lamp colour around the focused place, at
// both scales; without it the frame is as before.
TEST_F(WindowTest, FocusMarkIsDrawnAroundTheFocusedPlace) {
    PanelWidget& panel = *window->panel();
    const QImage plain = panel.render_frame(1);
    for (int position : {FREQ, BYPASS}) {
        panel.model().set_focus(position);
        const ClientRect r = focus_rect(focus_order()[static_cast<size_t>(position)]);
        for (int scale : {1, 2}) {
            const QImage frame = panel.render_frame(scale).convertToFormat(QImage::Format_RGB32);
            for (const auto& [x, y] : {std::pair{r.x, r.y}, std::pair{r.x + r.width - 1, r.y},
                                       std::pair{r.x, r.y + r.height - 1},
                                       std::pair{r.x + r.width / 2, r.y + r.height - 1}}) {
                EXPECT_EQ(frame.pixel(x * scale, (y - PANEL_TOP) * scale) & 0xffffff,
                          skin::DISPLAY_INK & 0xffffff)
                    << position << " at " << x << ", " << y;
            }
        }
    }
    panel.model().set_focus(-1);
    EXPECT_EQ(panel.render_frame(1), plain);
}

TEST_F(WindowTest, ScreenReadersReadEveryPlaceWithItsValue) {
    PanelWidget& panel = *window->panel();
    ctx->processor->params.bass_eq_freq_hz = 60;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(iface, nullptr);
    EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty());
    ASSERT_EQ(iface->childCount(), FOCUS_PLACE_COUNT);
    QAccessibleInterface* freq = iface->child(FREQ);
    ASSERT_NE(freq, nullptr);
    EXPECT_EQ(freq->text(QAccessible::Name), QStringLiteral("Bass EQ Freq"));
    EXPECT_EQ(freq->text(QAccessible::Value), QStringLiteral("60"));
    EXPECT_EQ(freq->role(), QAccessible::SpinBox);
    EXPECT_EQ(iface->indexOfChild(freq), FREQ);
    EXPECT_EQ(freq->parent(), iface);
    QAccessibleInterface* bypass = iface->child(BYPASS);
    EXPECT_EQ(bypass->text(QAccessible::Name), QStringLiteral("BYPASS"));
    EXPECT_EQ(bypass->role(), QAccessible::CheckBox);
    EXPECT_FALSE(bypass->state().checked);
    run_command(*ctx, cmd::BYPASS);
    EXPECT_TRUE(bypass->state().checked);
    // The rectangle is the place's on the screen.
    const QRect r = panel.place_rect(FREQ);
    EXPECT_EQ(freq->rect().topLeft(), panel.mapToGlobal(r.topLeft()));
    EXPECT_EQ(iface->childAt(freq->rect().center().x(), freq->rect().center().y()), freq);
    // A gate threshold blanked with the noise gate off reads as the panel shows it.
    ctx->processor->params.switches.noise_gate = 0;
    const int gate = position_of(FocusKind::Control, band_control_index(BandColumn::GateTh, 0));
    EXPECT_EQ(iface->child(gate)->text(QAccessible::Name), QStringLiteral("Gate Th. 160"));
    EXPECT_EQ(iface->child(gate)->text(QAccessible::Value), QStringLiteral("---"));
    // The list and the toolbar have names too.
    EXPECT_FALSE(window->playlist_view()->accessibleName().isEmpty());
    EXPECT_FALSE(window->toolbar()->accessibleName().isEmpty());
}

}  // namespace
}  // namespace zv
