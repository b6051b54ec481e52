// The upper band's displays without a window: the UI's own meter model (held values that the
// gathered blocks raise and that fall with time), and the frame a repaint draws (which image of
// each meter, button, LED and indicator, and the time text). The processor is never read or
// written here: the engine and an export gather their blocks' meters (engine/meter_mailbox.h)
// and the window's meter clock (meter_clock.h) hands them over; a repaint only reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/meter_snapshot.h"
#include "engine/processor_params.h"
#include "ui/panel_layout.h"

namespace zv {

// Image index 0..24 of a meter (k segments lit).
constexpr int METER_LEVELS = 25;
// v / 32767 x 25, truncated, clamped: the input and output peak meters.
int peak_index(double v);
// (v + 1) / 30719 x scale, truncated, clamped: every other meter (scale 25, or 36 for the AGC).
int level_index(double v, int scale);

constexpr double PEAK_DECAY = 0.9;    // input and output peaks, per fall step
constexpr double LEVEL_DECAY = 0.85;  // enhancer, HF limiter, band reductions, per fall step
// The held values fall this many steps a second, whatever the screen's or the song's rate, so a
// full meter is dark about a second after its last block.
constexpr double METER_FALL_STEPS_PER_SECOND = 30.0;
// A clip bar stays lit this long after its last clip: about one 4096-frame buffer at 44.1 kHz,
// what a bar lit for one repaint showed when the panel was repainted per buffer.
constexpr double CLIP_HOLD_SECONDS = 0.1;

class MeterModel {
public:
    // Lays gathered blocks' meters (one or many blocks) on what is held.
    void absorb(const MeterSnapshot& gathered);
    // Time has passed: the held peaks fall (PEAK_DECAY and LEVEL_DECAY per fall step) and the
    // clip bars whose hold is over go out.
    void advance(double seconds);
    // What a repaint draws now: the image index of each meter of METERS, in table order, the
    // clip bars and the gate indicators. Reads only.
    struct Frame {
        std::array<int, METER_COUNT> meter{};
        std::array<bool, METER_BANDS> band_clip{};
        bool clip_l = false, clip_r = false;
        std::array<int, METER_BANDS> gate_indicator{};  // 0..3
        bool operator==(const Frame&) const = default;
    };
    Frame frame() const;
    // Nothing left that falls with time is lit (the AGC meters and the gate lamps show states
    // and do not fall).
    bool at_rest() const;
    // Playback has stopped: the engine's gate lamps and the AGC reductions go back to rest.
    void engine_stopped();

    const MeterSnapshot& held() const { return held_; }
    double hf_held() const { return hf_held_; }

private:
    MeterSnapshot held_;  // peaks held and the latest states; its clip flags are not used
    double hf_held_ = 0;  // the HF limiter reduction shown
    std::array<double, METER_BANDS> band_clip_left_{};  // seconds each band's bar stays lit
    double clip_left_l_ = 0, clip_left_r_ = 0;
};

// Everything a repaint shows in the upper band besides the meters.
struct DisplayInputs {
    ProcessorSwitches switches;
    int32_t continuous_playback = 0;
    int16_t engine_state = 0;
    bool output_open = false;
    bool onair_mode = false;
    bool export_in_progress = false;
    int64_t played_bytes = 0;
    int32_t song_count = 0;
    int32_t selected_index = 0;
    // The song the engine plays (zero while idle).
    int32_t current_rate = 0;
    int32_t current_channels = 0;
    int32_t current_source_type = 0;
};

struct DisplayFrame {
    std::array<bool, SWITCH_BUTTON_COUNT> led_on{};  // by PanelButtonId of the switches
    std::array<bool, TRANSPORT_COUNT> transport_shown{};
    bool indicators_shown = true;  // not while exporting
    SkinId channel_image = SkinId::ChannelsNone;
    SkinId rate_image = SkinId::RateNone;
    std::array<SkinId, METER_BANDS> gate_led_image{};
    std::string time_text;
    bool operator==(const DisplayFrame&) const = default;
};

DisplayFrame make_display_frame(const DisplayInputs& in, const MeterModel::Frame& meters);

// The time display's text: " %d/%d" of the export, the played time " mm:ss", a single blank
// in ON AIR mode, " 00:00" at rest.
std::string time_display_text(const DisplayInputs& in);

}  // namespace zv
