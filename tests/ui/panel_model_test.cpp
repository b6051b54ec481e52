// The panel's behaviour without a window: stepping, bounds, the ALL row, auto-repeat and the
// buttons, driven with a fake timer and points in client coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/processor.h"
#include "ui/command_ids.h"
#include "ui/control_text.h"
#include "ui/panel_focus.h"
#include "ui/panel_model.h"

namespace zv {
namespace {

class FakeTimer final : public RepeatTimer {
public:
    void start(int ms) override {
        interval = ms;
        due = now + ms;
    }
    void stop() override { due.reset(); }
    // Moves the clock on, firing the timer whenever it is due.
    void advance(int ms, PanelModel& model, Modifiers keys = {}) {
        const long end = now + ms;
        while (due && *due <= end) {
            now = *due;
            due = now + interval;
            model.repeat_timer_fired(keys);
        }
        now = end;
    }
    long now = 0;
    int interval = 0;
    std::optional<long> due;
};

class FakeHost final : public PanelHost {
public:
    void run_command(int id) override { commands.push_back(id); }
    void press_seek(int step) override { seeks.push_back(step); }
    void release_seek() override { ++seek_releases; }
    bool engine_playing() const override { return playing; }
    void redraw_panel() override { ++redraws; }
    std::vector<int> commands, seeks;
    int seek_releases = 0, redraws = 0;
    bool playing = false;
};

constexpr Modifiers NONE{};
constexpr Modifiers SHIFT{true, false, false};
constexpr Modifiers TO_BOUND{true, true, true};

class PanelModelTest : public ::testing::Test {
protected:
    PanelModelTest() : model(owned.view(), host, timer) { processor_startup(*owned.processor); }
    ProcessorParams& params() { return owned.processor->params; }
    const PanelControl& control(int i) const { return panel_controls()[static_cast<size_t>(i)]; }
    ClientPoint up_arrow(int i) const { return {control(i).shape.x + 75, control(i).shape.y + 6}; }
    ClientPoint down_arrow(int i) const {
        return {control(i).shape.x + 35, control(i).shape.y + 6};
    }
    // One click: press and release.
    void click(ClientPoint p, Modifiers keys = NONE) {
        model.left_down(p, keys);
        model.left_up();
    }
    std::string text(int i) { return control_text(control(i), model.value(i), params()); }

    OwnedProgramState owned;
    FakeHost host;
    FakeTimer timer;
    PanelModel model;
};

const int FREQ = control_index(GeneralControl::BassEqFreq);
const int LPF = control_index(GeneralControl::FinalLpf);

TEST_F(PanelModelTest, ShiftStepsTenTimesAndClampsToTheBound) {
    params().bass_eq_freq_hz = 145;
    click(up_arrow(FREQ), SHIFT);
    EXPECT_EQ(params().bass_eq_freq_hz, 150);  // 195 clamped
    click(down_arrow(FREQ), SHIFT);
    EXPECT_EQ(params().bass_eq_freq_hz, 100);
    click(down_arrow(FREQ));
    EXPECT_EQ(params().bass_eq_freq_hz, 95);
}

TEST_F(PanelModelTest, ShiftCtrlAltGoesToTheBoundForEveryControl) {
    params().switches.noise_gate = 1;  // so the gate column takes clicks
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        if (control(i).shape.all_column >= 0) {
            continue;  // the ALL row is checked by its columns below
        }
        click(down_arrow(i), TO_BOUND);
        EXPECT_EQ(model.value(i), control(i).min) << control(i).field_name;
        click(up_arrow(i), TO_BOUND);
        EXPECT_EQ(model.value(i), control(i).max) << control(i).field_name;
    }
    // On the ALL row the delta is the bound: the whole column moves by one.
    for (auto& b : params().bands) {
        b.gain_db = 10;
    }
    click(down_arrow(control_index(GeneralControl::AllGain)), TO_BOUND);
    for (const auto& b : params().bands) {
        EXPECT_EQ(b.gain_db, 9);
    }
}

TEST_F(PanelModelTest, FinalLowPassStepsBackwardsWithHalfStepBounds) {
    params().final_lpf = 0;  // "thru"
    click(up_arrow(LPF));    // the right arrow lowers the index: -1, clamped to 0.5
    EXPECT_EQ(params().final_lpf, 0.5);
    EXPECT_EQ(text(LPF), " thru");
    click(down_arrow(LPF));  // the left arrow raises it
    EXPECT_EQ(params().final_lpf, 1.5);
    EXPECT_EQ(text(LPF), " 15k");
    // Shift+Ctrl+Alt goes to the bound of the arrow's side, whatever the step's sign.
    click(up_arrow(LPF), TO_BOUND);
    EXPECT_EQ(params().final_lpf, 6.5);
    EXPECT_EQ(text(LPF), "  4k");
}

TEST_F(PanelModelTest, ClicksOffTheArrowsChangeNothing) {
    params().bass_eq_freq_hz = 100;
    const ControlRow& s = control(FREQ).shape;
    // On the value text between the arrows, and just outside each zone.
    for (ClientPoint p : {ClientPoint{s.x + 55, s.y + 6}, ClientPoint{s.x + 29, s.y + 6},
                          ClientPoint{s.x + 41, s.y + 6}, ClientPoint{s.x + 69, s.y + 6},
                          ClientPoint{s.x + 81, s.y + 6}, ClientPoint{s.x + 75, s.y - 1},
                          ClientPoint{s.x + 75, s.y + 13}}) {
        model.left_down(p, NONE);
        EXPECT_EQ(model.press_state(FREQ), PressState::None);
        model.left_up();
    }
    EXPECT_EQ(params().bass_eq_freq_hz, 100);
    // Both ends of a zone count.
    click({s.x + 30, s.y}, NONE);
    click({s.x + 80, s.y + 12}, NONE);
    EXPECT_EQ(params().bass_eq_freq_hz, 100);  // one down, one up
    model.left_down({s.x + 80, s.y + 12}, NONE);
    EXPECT_EQ(model.press_state(FREQ), PressState::Up);
    model.clear_press_states();
    EXPECT_EQ(model.press_state(FREQ), PressState::None);
}

TEST_F(PanelModelTest, AnArrowShowsPressedWhileHeldAndNormalOnceReleased) {
    params().bass_eq_freq_hz = 100;
    model.left_down(up_arrow(FREQ), NONE);
    EXPECT_EQ(model.press_state(FREQ), PressState::Up);
    timer.advance(750, model);  // the repeats keep it pressed
    EXPECT_EQ(model.press_state(FREQ), PressState::Up);
    EXPECT_EQ(params().bass_eq_freq_hz, 115);
    model.left_up();
    EXPECT_EQ(model.press_state(FREQ), PressState::None);
    // A wheel notch steps without pressing the arrow.
    const ControlRow& s = control(FREQ).shape;
    EXPECT_TRUE(model.wheel({s.x + 55, s.y + 6}, -1, NONE));
    EXPECT_EQ(params().bass_eq_freq_hz, 110);
    EXPECT_EQ(model.press_state(FREQ), PressState::None);
}

TEST_F(PanelModelTest, GateColumnOnlyWithTheGateButItsAllRowAlways) {
    params().switches.noise_gate = 0;
    const int gate3 = band_control_index(BandColumn::GateTh, 2);
    click(up_arrow(gate3));
    EXPECT_EQ(params().bands[2].gate_threshold_db, -36);
    EXPECT_EQ(text(gate3), " ---");
    click(up_arrow(control_index(GeneralControl::AllGateTh)));
    for (const auto& b : params().bands) {
        EXPECT_NEAR(b.gate_threshold_db, -35.9, 1e-9);
    }
    params().switches.noise_gate = 1;
    click(down_arrow(gate3));
    EXPECT_NEAR(params().bands[2].gate_threshold_db, -36.0, 1e-9);
    EXPECT_EQ(text(gate3), "-36.0");
}

TEST_F(PanelModelTest, AllRowClampsEachBandToItsColumn) {
    params().bands[0].out_mix_db = 2.95;
    params().bands[1].out_mix_db = -96;
    params().bands[2].out_mix_db = 0;
    const int all = control_index(GeneralControl::AllOutMix);
    click(up_arrow(all));
    EXPECT_EQ(params().bands[0].out_mix_db, 3.0);
    EXPECT_NEAR(params().bands[2].out_mix_db, 0.1, 1e-12);
    click(down_arrow(all));
    EXPECT_NEAR(params().bands[0].out_mix_db, 2.9, 1e-12);
    click(down_arrow(all));
    EXPECT_EQ(params().bands[1].out_mix_db, -96);
    // With Shift the column moves by 1; the delta itself is back to zero after the tick.
    click(up_arrow(all), SHIFT);
    EXPECT_NEAR(params().bands[2].out_mix_db, 0.9, 1e-12);
    EXPECT_EQ(model.value(all), 0.0);
}

// A step lands on its grid, as the decimal it stands for, and no text shows "-0.0": Out Mix
// from -0.5 up is 0.0 (not -2.8e-17), -20 up seven times is -19.3 (not -19.29999999999999),
// in the field as in the ALL row's sweep.
TEST_F(PanelModelTest, StepsLandOnTheGridAndZeroHasNoSign) {
    const int mix = band_control_index(BandColumn::OutMix, 0);
    params().bands[0].out_mix_db = -0.5;
    for (int i = 0; i < 5; ++i) {
        click(up_arrow(mix));
    }
    EXPECT_EQ(params().bands[0].out_mix_db, 0.0);
    EXPECT_FALSE(std::signbit(params().bands[0].out_mix_db));
    EXPECT_EQ(text(mix), "  0.0");
    params().bands[0].out_mix_db = -20;
    for (int i = 0; i < 7; ++i) {
        click(up_arrow(mix));
    }
    EXPECT_EQ(params().bands[0].out_mix_db, -19.3);
    params().bands[1].out_mix_db = -20;
    const int all = control_index(GeneralControl::AllOutMix);
    for (int i = 0; i < 7; ++i) {
        click(up_arrow(all));
    }
    EXPECT_EQ(params().bands[1].out_mix_db, -19.3);
    // Halves stay halves; a value off the grid (from a file) steps onto it.
    params().bass_eq_gain_db = 0.1 + 0.2;
    click(up_arrow(control_index(GeneralControl::BassEqGain)));
    EXPECT_EQ(params().bass_eq_gain_db, 1.0);
    // Whatever puts a tiny negative or a negative zero in a field, its text has no sign.
    params().bands[0].out_mix_db = -0.04;
    EXPECT_EQ(text(mix), "  0.0");
    params().bands[0].out_mix_db = -0.0;
    EXPECT_EQ(text(mix), "  0.0");
    params().bands[0].out_mix_db = -0.05;
    EXPECT_EQ(text(mix), " -0.1");  // "%5.1f" rounds it away from zero: a real value
}

TEST_F(PanelModelTest, HoldingAnArrowRepeatsAfterTheFirstDelay) {
    params().bands[3].gain_db = 0;
    const int gain4 = band_control_index(BandColumn::Gain, 3);
    model.left_down(up_arrow(gain4), NONE);  // one step at once
    timer.advance(590, model);               // the first delay itself does not step
    EXPECT_NEAR(params().bands[3].gain_db, 0.1, 1e-9);
    timer.advance(460, model);  // repeats at 600, 700, 800, 900 and 1000 ms
    model.left_up();
    EXPECT_NEAR(params().bands[3].gain_db, 0.6, 1e-9);
    EXPECT_FALSE(timer.due.has_value());
    timer.advance(1000, model);
    EXPECT_NEAR(params().bands[3].gain_db, 0.6, 1e-9);
}

TEST_F(PanelModelTest, RepeatsActOnTheControlFirstHitAndReadTheKeysOfTheTick) {
    params().bass_eq_freq_hz = 50;
    model.left_down(up_arrow(FREQ), NONE);  // 55
    timer.advance(600, model, SHIFT);       // the 600 ms repeat with Shift held: 105
    EXPECT_EQ(params().bass_eq_freq_hz, 105);
    // Only a new press moves the click point.
    EXPECT_EQ(model.click_point().x, up_arrow(FREQ).x);
    model.left_up();
    timer.advance(300, model);
    EXPECT_EQ(params().bass_eq_freq_hz, 105);
}

TEST_F(PanelModelTest, SteppedFieldsGetTheirRecompute) {
    auto reference = make_processor();
    processor_startup(*reference);
    params().bass_eq_gain_db = 3;
    reference->params.bass_eq_gain_db = 3.5;
    design_bass_eq(*reference);
    click(up_arrow(control_index(GeneralControl::BassEqGain)));
    EXPECT_EQ(params().bass_eq_gain_db, 3.5);
    EXPECT_EQ(std::memcmp(&owned.processor->state.bass_eq, &reference->state.bass_eq,
                          sizeof reference->state.bass_eq),
              0);
    // With pre-emphasis off the HF limiter steps although it shows " ---".
    params().settings.preemphasis = 0;
    params().settings.hf_drive_db = 10;
    click(up_arrow(control_index(GeneralControl::HfDrive)));
    EXPECT_NEAR(params().settings.hf_drive_db, 10.1, 1e-9);
    EXPECT_EQ(text(control_index(GeneralControl::HfDrive)), " ---");
}

const PanelButtonRow& button(PanelButtonId id) {
    return PANEL_BUTTONS[static_cast<size_t>(id)];
}

TEST_F(PanelModelTest, SwitchButtonsSendTheirCommandsInsideTheirBorderOnly) {
    const PanelButtonRow& b = button(PanelButtonId::NoiseGate);
    click({b.x, b.y + 5});   // on the left border
    click({b.x + 10, b.y});  // on the top border
    click({b.x + b.width, b.y + 5});
    click({b.x + 10, b.y + b.height});
    EXPECT_TRUE(host.commands.empty());
    model.left_down({b.x + 1, b.y + 1}, NONE);
    EXPECT_EQ(host.commands, std::vector<int>{cmd::NOISE_GATE});
    EXPECT_TRUE(model.button_pressed(PanelButtonId::NoiseGate));
    model.left_up();
    EXPECT_FALSE(model.button_pressed(PanelButtonId::NoiseGate));

    // Each switch sends its menu item's command.
    host.commands.clear();
    for (const PanelButtonRow& r : PANEL_BUTTONS) {
        click({r.x + 10, r.y + 7});
    }
    EXPECT_EQ(host.commands,
              (std::vector<int>{cmd::BYPASS, cmd::BASS_EQ, cmd::BASS_PHASE, cmd::STEREO_ENHANCE,
                                cmd::DEEMPHASIS, cmd::CONTINUOUS_PLAYBACK, cmd::NOISE_GATE,
                                cmd::VIRTUAL_ROOM, cmd::INIT_VIRTUAL_ROOM}));
}

TEST_F(PanelModelTest, VirtualRoomIgnoresItsButtonWhileBypassed) {
    const PanelButtonRow& vr = button(PanelButtonId::VirtualRoom);
    params().switches.bypass = 1;
    model.left_down({vr.x + 40, vr.y + 7}, NONE);
    EXPECT_TRUE(model.button_pressed(PanelButtonId::VirtualRoom));
    EXPECT_TRUE(host.commands.empty());
    model.left_up();
    params().switches.bypass = 0;
    click({vr.x + 40, vr.y + 7});
    EXPECT_EQ(host.commands, std::vector<int>{cmd::VIRTUAL_ROOM});
}

TEST_F(PanelModelTest, TransportButtonsSendCommandsAndSeek) {
    auto centre = [](TransportId id) {
        const TransportRow& t = TRANSPORT_BUTTONS[static_cast<size_t>(id)];
        return ClientPoint{t.x + t.width / 2, TRANSPORT_Y + 12};
    };
    click(centre(TransportId::Play));
    click(centre(TransportId::Stop));
    EXPECT_EQ(host.commands, (std::vector<int>{cmd::PLAY, cmd::STOP}));
    model.left_down(centre(TransportId::Back20), NONE);
    EXPECT_TRUE(model.transport_pressed(TransportId::Back20));
    EXPECT_EQ(host.seeks, std::vector<int>{-20});
    // While held, the engine asks whether the pointer is still over a seek button.
    EXPECT_TRUE(model.pointer_over_seek_buttons(centre(TransportId::Back20), false));
    EXPECT_FALSE(model.pointer_over_seek_buttons(centre(TransportId::Back20), true));
    EXPECT_TRUE(model.pointer_over_seek_buttons(centre(TransportId::Forward5), true));
    EXPECT_FALSE(model.pointer_over_seek_buttons(centre(TransportId::Play), false));
    model.left_up();
    EXPECT_FALSE(model.transport_pressed(TransportId::Back20));
    EXPECT_GE(host.seek_releases, 1);
}

TEST_F(PanelModelTest, DoubleClickOnThePanelIsASecondPress) {
    params().bass_eq_freq_hz = 100;
    click(up_arrow(FREQ));
    model.double_click(up_arrow(FREQ), NONE);
    model.left_up();
    EXPECT_EQ(params().bass_eq_freq_hz, 110);
    model.double_click({10, PANEL_HEIGHT + 20}, NONE);  // below the panel: not the panel's
    EXPECT_FALSE(model.mouse_down());
}

TEST_F(PanelModelTest, WheelStepsTheControlUnderThePointer) {
    params().bass_eq_freq_hz = 100;
    const ControlRow& s = control(FREQ).shape;
    EXPECT_TRUE(model.wheel({s.x + 55, s.y + 6}, 2, NONE));
    EXPECT_EQ(params().bass_eq_freq_hz, 110);
    EXPECT_TRUE(model.wheel({s.x + 55, s.y + 6}, -1, SHIFT));
    EXPECT_EQ(params().bass_eq_freq_hz, 60);
    EXPECT_FALSE(model.wheel({s.x + 5, s.y + 6}, 1, NONE));
    EXPECT_FALSE(model.mouse_down());
}

// The position of a place in the focus order.
int position_of(FocusKind kind, int index) {
    const auto order = focus_order();
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i].kind == kind && order[i].index == index) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
int position_of(int control) {
    return position_of(FocusKind::Control, control);
}
int position_of(PanelButtonId id) {
    return position_of(FocusKind::Button, static_cast<int>(id));
}
std::string name_at(int position) {
    return focus_place_name(focus_order()[static_cast<size_t>(position)]);
}

TEST(PanelFocus, EveryPlaceOnceInReadingOrderWithItsName) {
    const auto order = focus_order();
    std::set<std::pair<int, int>> seen;
    for (const FocusPlace& p : order) {
        seen.insert({static_cast<int>(p.kind), p.index});
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(CONTROL_COUNT + PANEL_BUTTON_COUNT));
    // The switch box row by row, the lower band group by group, the Virtual Room row last.
    const std::vector<std::string> first = {name_at(0), name_at(1), name_at(2), name_at(3)};
    EXPECT_EQ(first, (std::vector<std::string>{"BYPASS", "ST ENHANCE", "NOISE GATE", "BASS EQ"}));
    EXPECT_EQ(name_at(7), "2 Band AGC Drv.");
    EXPECT_EQ(name_at(position_of(FREQ) + 1), "Bass EQ Gain");
    EXPECT_EQ(name_at(position_of(band_control_index(BandColumn::GateTh, 0)) + 1), "Gain 160");
    EXPECT_EQ(name_at(position_of(control_index(GeneralControl::AllOutMix))), "ALL Out Mix");
    EXPECT_EQ(name_at(FOCUS_PLACE_COUNT - 6), "VIRTUAL ROOM");
    EXPECT_EQ(name_at(FOCUS_PLACE_COUNT - 2), "Virtual Room for Headphones For Test");
    EXPECT_EQ(name_at(FOCUS_PLACE_COUNT - 1), "INIT");
}

TEST(PanelFocus, UpAndDownStayInTheirGroupsColumn) {
    const int freq = position_of(FREQ);
    EXPECT_EQ(name_at(focus_neighbour(freq, true)), "Bass EQ Gain");
    EXPECT_EQ(name_at(focus_neighbour(freq, false)), "Bass EQ Freq");  // the group's top
    const int q = position_of(control_index(GeneralControl::BassEqQ));
    EXPECT_EQ(focus_neighbour(q, true), q);  // not on into the next group
    // The band grid: down a column to its ALL control, and no further.
    const int gain6 = position_of(band_control_index(BandColumn::Gain, 5));
    const int all = focus_neighbour(gain6, true);
    EXPECT_EQ(name_at(all), "ALL Gain");
    EXPECT_EQ(focus_neighbour(all, true), all);
    EXPECT_EQ(name_at(focus_neighbour(gain6, false)), "Gain 3.2k");
    // The switch box by its columns.
    const int bypass = position_of(PanelButtonId::Bypass);
    EXPECT_EQ(name_at(focus_neighbour(bypass, true)), "BASS EQ");
    const int gate = position_of(PanelButtonId::NoiseGate);
    EXPECT_EQ(focus_neighbour(gate, true), gate);
}

TEST_F(PanelModelTest, TabWalksThePlacesAndLeavesAtTheEnds) {
    EXPECT_EQ(model.focus(), -1);
    EXPECT_TRUE(model.focus_next(true));
    EXPECT_EQ(model.focus(), 0);
    EXPECT_FALSE(model.focus_next(false));  // back past the first place: out of the panel
    EXPECT_EQ(model.focus(), -1);
    EXPECT_TRUE(model.focus_next(false));
    EXPECT_EQ(model.focus(), FOCUS_PLACE_COUNT - 1);
    EXPECT_FALSE(model.focus_next(true));
    EXPECT_EQ(model.focus(), -1);
    // Without a mark the keys are not the panel's.
    EXPECT_FALSE(model.key_step(true, NONE));
    EXPECT_FALSE(model.key_press_button());
}

// Every kind of control through the keys: Right and Left as its arrows, Shift ten steps,
// End and Home its bounds, with the recompute a click runs.
TEST_F(PanelModelTest, KeysStepEveryKindOfControlAsItsArrowsDo) {
    struct Case {
        GeneralControl control;
        double start;
        double right, shift_right, left, home, end;
    };
    params().switches.noise_gate = 1;
    const Case CASES[] = {
        {GeneralControl::BassEqFreq, 100, 105, 150, 145, 50, 150},  // Number
        {GeneralControl::Preemphasis, 1, 2, 2, 1, 0, 2},            // Pre
        {GeneralControl::AgcRelease, 2, 3, 4, 3, 1, 4},             // Speed
        {GeneralControl::MbAttack, 3, 4, 5, 4, 1, 5},               // AttRel
        {GeneralControl::FinalLpf, 0, 0.5, 0.5, 1.5, 0.5, 6.5},     // FinLpf, stepping back
        {GeneralControl::HfDrive, 10, 10.1, 11.1, 11.0, 0, 48},     // HfLim
        {GeneralControl::StereoType, 2, 3, 5, 4, 1, 5},             // EnhancerType
        {GeneralControl::FinalClipType, 0, 1, 1, 0, 0, 1},          // ClpTyp
        {GeneralControl::TestChannels, 1, 2, 2, 1, 0, 2},           // Mute
    };
    for (const Case& c : CASES) {
        const int index = control_index(c.control);
        SCOPED_TRACE(control(index).field_name);
        AllBandDelta scratch{};
        control_target(control(index), owned.view(), scratch) = c.start;
        model.set_focus(position_of(index));
        ASSERT_TRUE(model.key_step(true, NONE));
        EXPECT_NEAR(model.value(index), c.right, 1e-9);
        model.key_step(true, SHIFT);
        EXPECT_NEAR(model.value(index), c.shift_right, 1e-9);
        model.key_step(false, NONE);
        EXPECT_NEAR(model.value(index), c.left, 1e-9);
        model.key_to_bound(false);
        EXPECT_NEAR(model.value(index), c.home, 1e-9);
        model.key_to_bound(true);
        EXPECT_NEAR(model.value(index), c.end, 1e-9);
        EXPECT_EQ(model.press_state(index), PressState::None);  // keys press no arrow
    }

    // The bass EQ is designed anew, as after a click.
    auto reference = make_processor();
    processor_startup(*reference);
    params().bass_eq_gain_db = 3;
    reference->params.bass_eq_gain_db = 3.5;
    reference->params.bass_eq_freq_hz = params().bass_eq_freq_hz;  // as the keys left it
    design_bass_eq(*reference);
    model.set_focus(position_of(control_index(GeneralControl::BassEqGain)));
    model.key_step(true, NONE);
    EXPECT_EQ(std::memcmp(&owned.processor->state.bass_eq, &reference->state.bass_eq,
                          sizeof reference->state.bass_eq),
              0);

    // A band control, and the ALL row, which moves its whole column.
    for (auto& b : params().bands) {
        b.gain_db = 10;
    }
    model.set_focus(position_of(band_control_index(BandColumn::Gain, 2)));
    model.key_step(true, NONE);
    EXPECT_NEAR(params().bands[2].gain_db, 10.1, 1e-9);
    model.set_focus(position_of(control_index(GeneralControl::AllGain)));
    model.key_step(false, SHIFT);
    EXPECT_NEAR(params().bands[0].gain_db, 9.0, 1e-9);
    EXPECT_NEAR(params().bands[2].gain_db, 9.1, 1e-9);
    model.key_to_bound(true);
    EXPECT_NEAR(params().bands[0].gain_db, 10.0, 1e-9);
    EXPECT_EQ(model.value(control_index(GeneralControl::AllGain)), 0.0);

    // The gate column stays while the noise gate is off, as under the pointer.
    params().switches.noise_gate = 0;
    params().bands[0].gate_threshold_db = -36;
    model.set_focus(position_of(band_control_index(BandColumn::GateTh, 0)));
    EXPECT_TRUE(model.key_step(true, NONE));
    EXPECT_EQ(params().bands[0].gate_threshold_db, -36);
}

TEST_F(PanelModelTest, SpacePressesTheFocusedSwitch) {
    model.set_focus(position_of(PanelButtonId::ContPlay));
    EXPECT_TRUE(model.key_press_button());
    EXPECT_EQ(host.commands, std::vector<int>{cmd::CONTINUOUS_PLAYBACK});
    EXPECT_FALSE(model.button_pressed(PanelButtonId::ContPlay));  // over at once
    EXPECT_FALSE(model.key_step(true, NONE));                     // a switch has no steps
    params().switches.bypass = 1;
    model.set_focus(position_of(PanelButtonId::VirtualRoom));
    EXPECT_TRUE(model.key_press_button());
    EXPECT_EQ(host.commands.size(), 1u);  // bypassed: nothing sent
    model.set_focus(position_of(FREQ));
    EXPECT_FALSE(model.key_press_button());  // Space on a control is not the panel's
}

}  // namespace
}  // namespace zv
