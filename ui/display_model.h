// The upper band's displays without a window: the UI's own meter model (held values that the
// engine's per-block snapshots raise and every repaint decays), and the frame a repaint draws
// (which image of each meter, button, LED and indicator, and the time text). The processor is
// never read or written here: playback hands over its snapshot after each buffer, an export
// its published one.
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

constexpr double PEAK_DECAY = 0.9;    // input and output peaks, per repaint
constexpr double LEVEL_DECAY = 0.85;  // enhancer, HF limiter, band reductions

class MeterModel {
public:
    // Lays a processed block's meters on top of what is held.
    void absorb(const MeterSnapshot& block);
    // The meters of one repaint: the image index of each meter of METERS, in table order.
    // Computes the HF limiter's held value, then decays the peaks and clears the clip flags
    // as a repaint does after drawing.
    struct Frame {
        std::array<int, METER_COUNT> meter{};
        std::array<bool, METER_BANDS> band_clip{};
        bool clip_l = false, clip_r = false;
        std::array<int, METER_BANDS> gate_indicator{};  // 0..3
    };
    Frame take_frame();
    // Playback has stopped: the engine's gate lamps and the AGC reductions go back to rest.
    void engine_stopped();

    const MeterSnapshot& held() const { return held_; }
    double hf_held() const { return hf_held_; }

private:
    MeterSnapshot held_;  // peaks held, flags collected since the last repaint
    double hf_held_ = 0;  // the HF limiter reduction shown (decays while computed)
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
};

DisplayFrame make_display_frame(const DisplayInputs& in, const MeterModel::Frame& meters);

// The time display's text: " %d/%d" of the export, the played time " mm:ss", a single blank
// in ON AIR mode, " 00:00" at rest.
std::string time_display_text(const DisplayInputs& in);

}  // namespace zv
