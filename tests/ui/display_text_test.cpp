// Value texts, the pixel fonts' metrics, the meter indices and decays, and the time display.
#include <gtest/gtest.h>

#include <vector>

#include "engine/processor.h"
#include "playback/audio_engine.h"
#include "ui/control_text.h"
#include "ui/display_model.h"

namespace zv {
namespace {

const PanelControl& general(GeneralControl g) {
    return panel_controls()[static_cast<size_t>(control_index(g))];
}

TEST(ControlText, LabelSetsFormatsAndBlanks) {
    ProcessorParams p;
    p.switches.noise_gate = 0;
    const PanelControl& gate = panel_controls()[band_control_index(BandColumn::GateTh, 0)];
    EXPECT_EQ(control_text(gate, -36, p), " ---");
    p.switches.noise_gate = 1;
    EXPECT_EQ(control_text(gate, -36, p), "-36.0");

    EXPECT_EQ(control_text(general(GeneralControl::FinalLpf), 0.5, p), " thru");
    EXPECT_EQ(control_text(general(GeneralControl::FinalLpf), 4, p), "  8k");
    EXPECT_EQ(control_text(general(GeneralControl::FinalLpf), 6.5, p), "  4k");
    EXPECT_EQ(control_text(general(GeneralControl::StereoDelay), 7, p), "  7ms");
    EXPECT_EQ(control_text(general(GeneralControl::ReverbLevel), 40, p), "  40%");
    EXPECT_EQ(control_text(general(GeneralControl::InterauralDelay), 18, p), "18.0cm");
    EXPECT_EQ(control_text(general(GeneralControl::BassEqFreq), 60, p), "  60");
    EXPECT_EQ(control_text(general(GeneralControl::AgcRelease), 2, p), "m.slow");
    EXPECT_EQ(control_text(general(GeneralControl::AgcRelease), 9, p), " fast");
    EXPECT_EQ(control_text(general(GeneralControl::MbAttack), 1, p), "100ms");
    EXPECT_EQ(control_text(general(GeneralControl::MbAttack), 5, p), "  6ms");
    EXPECT_EQ(control_text(general(GeneralControl::Preemphasis), 2, p), " 75us");
    EXPECT_EQ(control_text(general(GeneralControl::Preemphasis), 3, p), "");
    EXPECT_EQ(control_text(general(GeneralControl::StereoType), 4, p), "4.Tr-");
    EXPECT_EQ(control_text(general(GeneralControl::FinalClipType), 1, p), "HARD ");
    EXPECT_EQ(control_text(general(GeneralControl::TestChannels), 2, p), "   >R ");
    EXPECT_EQ(control_text(general(GeneralControl::AllGain), 0, p), "");
    // The HF limiter is blanked while pre-emphasis is off, whatever its value.
    p.settings.preemphasis = 0;
    EXPECT_EQ(control_text(general(GeneralControl::HfThreshold), -12.3, p), " ---");
    p.settings.preemphasis = 1;
    EXPECT_EQ(control_text(general(GeneralControl::HfThreshold), -12.3, p), "-12.3");
    // Wild values stay inside the text routines.
    EXPECT_EQ(control_text(general(GeneralControl::StereoType), 1e300, p), "");
}

TEST(ControlText, FieldBoundsComeFromTheFieldTable) {
    const PanelControl& freq = general(GeneralControl::BassEqFreq);
    ASSERT_NE(freq.field, nullptr);
    EXPECT_EQ(freq.min, freq.field->min);
    EXPECT_EQ(freq.max, freq.field->max);
    EXPECT_EQ(freq.derived, DerivedUpdate::BassEq);
    EXPECT_EQ(general(GeneralControl::MbRelease).derived, DerivedUpdate::Release);
    EXPECT_EQ(general(GeneralControl::FinalLpf).derived, DerivedUpdate::FinalLpf);
    EXPECT_EQ(general(GeneralControl::FinalLpf).min, 0.5);
    EXPECT_EQ(general(GeneralControl::FinalLpf).max, 6.5);
    EXPECT_LT(general(GeneralControl::FinalLpf).shape.step, 0);
    EXPECT_EQ(panel_controls()[band_control_index(BandColumn::OutMix, 5)].field_name,
              "bands[6].out_mix_db");
}

std::vector<GlyphCopy> small(const std::string& text) {
    std::vector<GlyphCopy> out;
    for_each_small_glyph(text, 100, 200, [&](const GlyphCopy& g) { out.push_back(g); });
    return out;
}

TEST(PixelFonts, SmallFontMetrics) {
    // " 50us" as the panel draws it: a blank, then 5 0 U S; lower case is upper-cased.
    const auto g = small(" 50us");
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].dst_x, 100 + 1 + 6);
    EXPECT_EQ(g[0].dst_y, 202);
    EXPECT_EQ(g[0].src_x, 25);  // "5"
    EXPECT_EQ(g[2].src_x, 0);   // "U": row 3, column 0
    EXPECT_EQ(g[2].src_y, 30);
    EXPECT_EQ(g[3].dst_x, 100 + 1 + 6 * 4);
    EXPECT_EQ(g[0].width, 5);
    EXPECT_EQ(g[0].height, 8);
    // "." and ":" are 3 wide and advance 4; "%" sits at column 11 of row 2.
    const auto dot = small("m.s%");
    ASSERT_EQ(dot.size(), 4u);
    EXPECT_EQ(dot[1].width, 3);
    EXPECT_EQ(dot[1].src_x, 55);
    EXPECT_EQ(dot[2].dst_x, dot[1].dst_x + 4);
    EXPECT_EQ(dot[3].src_x, 55);
    EXPECT_EQ(dot[3].src_y, 20);
    // A character the font lacks is skipped without advancing.
    const auto skipped = small("1#2");
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[1].dst_x, skipped[0].dst_x + 6);
    // Long texts simply run on.
    EXPECT_EQ(for_each_small_glyph("1234567890", 0, 0, [](const GlyphCopy&) {}), 1 + 60);
}

TEST(PixelFonts, LargeDigitsMetrics) {
    std::vector<GlyphCopy> g;
    const int end =
        for_each_large_glyph(" 01:5/x", 405, 33, [&](const GlyphCopy& c) { g.push_back(c); });
    ASSERT_EQ(g.size(), 5u);
    EXPECT_EQ(g[0].dst_x, 405 + 13);
    EXPECT_EQ(g[1].src_x, 20);
    EXPECT_EQ(g[2].src_x, 200);
    EXPECT_EQ(g[2].width, 8);
    EXPECT_EQ(g[3].dst_x, g[2].dst_x + 10);
    EXPECT_EQ(g[4].src_x, 220);
    EXPECT_EQ(end, g[4].dst_x + 13);  // "x" is skipped
}

TEST(Meters, IndexRulesAtTheirEdges) {
    EXPECT_EQ(peak_index(31456), 23);
    EXPECT_EQ(peak_index(31457), 24);
    EXPECT_EQ(peak_index(32767), 24);
    EXPECT_EQ(peak_index(1310), 0);
    EXPECT_EQ(peak_index(1311), 1);
    EXPECT_EQ(level_index(29489, 25), 23);
    EXPECT_EQ(level_index(29490, 25), 24);
    EXPECT_EQ(level_index(1227, 25), 0);
    EXPECT_EQ(level_index(1228, 25), 1);
    EXPECT_EQ(level_index(20478, 36), 23);
    EXPECT_EQ(level_index(20479, 36), 24);
    EXPECT_EQ(level_index(-5, 25), 0);
}

TEST(Meters, HeldPeaksDecayAndFlagsLightForOneRepaint) {
    MeterModel m;
    MeterSnapshot block;
    block.input_peak_l = 32767;
    block.band_clip_flag[2] = 1;
    block.clip_flag_r = 1;
    block.hf_gain_reduction_l = 30000;
    block.agc_gain_lo = 20479;
    m.absorb(block);
    MeterSnapshot quieter;  // a later block of the same buffer batch: peaks stay held
    quieter.input_peak_l = 100;
    quieter.agc_gain_lo = 20479;
    m.absorb(quieter);
    MeterModel::Frame f = m.take_frame();
    EXPECT_EQ(f.meter[1], 24);  // input left
    EXPECT_EQ(f.meter[3], 24);  // AGC low
    EXPECT_TRUE(f.band_clip[2]);
    EXPECT_TRUE(f.clip_r);
    EXPECT_EQ(f.meter[5], level_index(30000 * 0.85, 25));  // the HF held value, decayed
    f = m.take_frame();
    EXPECT_FALSE(f.band_clip[2]);
    EXPECT_FALSE(f.clip_r);
    EXPECT_EQ(f.meter[1], peak_index(32767 * 0.9));
    EXPECT_EQ(f.meter[3], 24);  // the AGC is not decayed
    // With no input a full meter falls to nothing within a few dozen repaints.
    int repaints = 2;
    while (m.take_frame().meter[1] > 0) {
        ++repaints;
    }
    EXPECT_LT(repaints, 40);
    m.engine_stopped();
    EXPECT_EQ(m.take_frame().meter[3], 0);
}

TEST(Displays, TimeText) {
    DisplayInputs in;
    EXPECT_EQ(time_display_text(in), " 00:00");
    in.output_open = true;
    in.engine_state = ENGINE_PLAYING;
    in.current_rate = 44100;
    in.played_bytes = 10584000;  // 60 s of output, 4 bytes a frame for mono songs too
    for (int channels : {1, 2}) {
        in.current_channels = channels;
        EXPECT_EQ(time_display_text(in), " 01:00");
    }
    in.played_bytes = 4LL * 44100 * 6001;  // minutes are not capped
    EXPECT_EQ(time_display_text(in), " 100:01");
    in.current_channels = 0;
    EXPECT_EQ(time_display_text(in), " 00:00");
    in.onair_mode = true;
    EXPECT_EQ(time_display_text(in), " ");
    in.export_in_progress = true;
    in.selected_index = 2;
    in.song_count = 7;
    EXPECT_EQ(time_display_text(in), " 2/7");
}

TEST(Displays, ButtonsIndicatorsAndLamps) {
    DisplayInputs in;
    in.switches.bypass = 1;
    in.switches.virtual_room = 1;
    in.switches.bass_eq_off = 0;
    MeterModel::Frame meters;
    meters.gate_indicator = {0, 1, 2, 3, 1, 0};
    DisplayFrame f = make_display_frame(in, meters);
    EXPECT_TRUE(f.led_on[static_cast<size_t>(PanelButtonId::Bypass)]);
    EXPECT_TRUE(f.led_on[static_cast<size_t>(PanelButtonId::BassEq)]);  // lit when not off
    EXPECT_FALSE(f.led_on[static_cast<size_t>(PanelButtonId::VirtualRoom)]);
    // Stopped: only stop and play, no indicator lit, gate LEDs show image 3 with the gate off.
    EXPECT_EQ(f.transport_shown, (std::array<bool, 6>{false, false, true, true, false, false}));
    EXPECT_EQ(f.channel_image, SkinId::ChannelsNone);
    EXPECT_EQ(f.rate_image, SkinId::RateNone);
    EXPECT_EQ(f.gate_led_image[0], SkinId::GateLed3);

    in.switches.noise_gate = 1;
    in.engine_state = ENGINE_PLAYING;
    in.song_count = 1;
    in.current_channels = 1;
    in.current_rate = 48000;
    in.current_source_type = SOURCE_MP3;
    f = make_display_frame(in, meters);
    EXPECT_EQ(f.transport_shown, (std::array<bool, 6>{false, false, true, true, true, true}));
    EXPECT_EQ(f.channel_image, SkinId::ChannelsMono);
    EXPECT_EQ(f.rate_image, SkinId::Rate48k);
    EXPECT_EQ(f.gate_led_image[1], SkinId::GateLed1);
    EXPECT_EQ(f.gate_led_image[3], SkinId::GateLed3);
    in.current_source_type = SOURCE_WAV;
    in.export_in_progress = true;
    f = make_display_frame(in, meters);
    EXPECT_TRUE(f.transport_shown[0]);
    EXPECT_FALSE(f.indicators_shown);
}

}  // namespace
}  // namespace zv
