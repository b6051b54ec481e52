#include "ui/display_model.h"

#include <algorithm>
#include <cstdio>

#include "playback/audio_engine.h"
#include "sources/playlist.h"

namespace zv {
namespace {

int clamp_index(double v) {
    if (!(v > 0.0)) {
        return 0;  // NaN included
    }
    if (v >= METER_LEVELS - 1) {
        return METER_LEVELS - 1;
    }
    return static_cast<int>(v);
}

int meter_index(MeterIndex kind, double v) {
    switch (kind) {
        case MeterIndex::Peak:
            return peak_index(v);
        case MeterIndex::Level25:
            return level_index(v, 25);
        case MeterIndex::Level36:
            return level_index(v, 36);
    }
    return 0;
}

}  // namespace

int peak_index(double v) {
    return clamp_index(v / 32767.0 * 25.0);
}

int level_index(double v, int scale) {
    return clamp_index((v + 1.0) / 30719.0 * scale);
}

void MeterModel::absorb(const MeterSnapshot& b) {
    MeterSnapshot& h = held_;
    h.input_peak_l = std::max(h.input_peak_l, b.input_peak_l);
    h.input_peak_r = std::max(h.input_peak_r, b.input_peak_r);
    h.output_peak_l = std::max(h.output_peak_l, b.output_peak_l);
    h.output_peak_r = std::max(h.output_peak_r, b.output_peak_r);
    h.enhancer_peak = std::max(h.enhancer_peak, b.enhancer_peak);
    h.hf_limit_peak = std::max(h.hf_limit_peak, b.hf_limit_peak);
    // The AGC reductions and the HF limiter's are states, not peaks: the latest counts.
    h.agc_gain_lo = b.agc_gain_lo;
    h.agc_gain_hi = b.agc_gain_hi;
    h.hf_gain_reduction_l = std::max(h.hf_gain_reduction_l, b.hf_gain_reduction_l);
    h.hf_gain_reduction_r = std::max(h.hf_gain_reduction_r, b.hf_gain_reduction_r);
    for (int i = 0; i < METER_BANDS; ++i) {
        const auto k = static_cast<size_t>(i);
        h.band_gain_reduction_peak[k] =
            std::max(h.band_gain_reduction_peak[k], b.band_gain_reduction_peak[k]);
        h.band_clip_flag[k] |= b.band_clip_flag[k];
        h.gate_indicator[k] = b.gate_indicator[k];
    }
    h.clip_flag_l |= b.clip_flag_l;
    h.clip_flag_r |= b.clip_flag_r;
}

MeterModel::Frame MeterModel::take_frame() {
    MeterSnapshot& h = held_;
    hf_held_ = std::max({hf_held_, h.hf_gain_reduction_l, h.hf_gain_reduction_r}) * LEVEL_DECAY;
    // The reductions between repaints are taken by hf_held_; the next repaint starts afresh.
    h.hf_gain_reduction_l = 0;
    h.hf_gain_reduction_r = 0;

    Frame f;
    for (int i = 0; i < METER_COUNT; ++i) {
        const MeterRow& m = METERS[static_cast<size_t>(i)];
        double v = 0;
        switch (m.source) {
            case MeterSource::Enhancer:
                v = h.enhancer_peak;
                break;
            case MeterSource::InputL:
                v = h.input_peak_l;
                break;
            case MeterSource::InputR:
                v = h.input_peak_r;
                break;
            case MeterSource::AgcLo:
                v = h.agc_gain_lo;
                break;
            case MeterSource::AgcHi:
                v = h.agc_gain_hi;
                break;
            case MeterSource::HfHeld:
                v = hf_held_;
                break;
            case MeterSource::HfLevel:
                v = h.hf_limit_peak;
                break;
            case MeterSource::OutputL:
                v = h.output_peak_l;
                break;
            case MeterSource::OutputR:
                v = h.output_peak_r;
                break;
            default:
                v = h.band_gain_reduction_peak[static_cast<size_t>(
                    static_cast<int>(m.source) - static_cast<int>(MeterSource::Band1))];
                break;
        }
        f.meter[static_cast<size_t>(i)] = meter_index(m.index, v);
    }
    for (int b = 0; b < METER_BANDS; ++b) {
        f.band_clip[static_cast<size_t>(b)] = h.band_clip_flag[static_cast<size_t>(b)] != 0;
        f.gate_indicator[static_cast<size_t>(b)] =
            std::clamp(h.gate_indicator[static_cast<size_t>(b)], 0, 3);
    }
    f.clip_l = h.clip_flag_l != 0;
    f.clip_r = h.clip_flag_r != 0;

    // After drawing: the decays and the clears.
    h.input_peak_l *= PEAK_DECAY;
    h.input_peak_r *= PEAK_DECAY;
    h.output_peak_l *= PEAK_DECAY;
    h.output_peak_r *= PEAK_DECAY;
    h.enhancer_peak *= LEVEL_DECAY;
    h.hf_limit_peak *= LEVEL_DECAY;
    for (double& v : h.band_gain_reduction_peak) {
        v *= LEVEL_DECAY;
    }
    h.band_clip_flag.fill(0);
    h.clip_flag_l = 0;
    h.clip_flag_r = 0;
    return f;
}

void MeterModel::engine_stopped() {
    held_.gate_indicator.fill(0);
    held_.agc_gain_lo = 0;
    held_.agc_gain_hi = 0;
}

std::string time_display_text(const DisplayInputs& in) {
    char text[48];
    if (in.export_in_progress) {
        std::snprintf(text, sizeof text, " %d/%d", in.selected_index, in.song_count);
        return text;
    }
    if (in.output_open && in.engine_state != ENGINE_IDLE) {
        if (in.onair_mode) {
            return " ";
        }
        if (in.current_channels == 0 || in.current_rate == 0) {
            return " 00:00";
        }
        const int64_t seconds = in.played_bytes / 4 / in.current_rate;
        std::snprintf(text, sizeof text, " %02lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
        return text;
    }
    return " 00:00";
}

DisplayFrame make_display_frame(const DisplayInputs& in, const MeterModel::Frame& meters) {
    DisplayFrame f;
    const ProcessorSwitches& s = in.switches;
    auto led = [&f](PanelButtonId id, bool on) { f.led_on[static_cast<size_t>(id)] = on; };
    led(PanelButtonId::Bypass, s.bypass != 0);
    led(PanelButtonId::BassEq, s.bass_eq_off == 0);
    led(PanelButtonId::BassPhase, s.bass_phase != 0);
    led(PanelButtonId::StEnhance, s.stereo_enhance != 0);
    led(PanelButtonId::Deemphasis, s.deemphasis != 0);
    led(PanelButtonId::ContPlay, in.continuous_playback != 0);
    led(PanelButtonId::NoiseGate, s.noise_gate != 0);
    led(PanelButtonId::VirtualRoom, s.virtual_room != 0 && s.bypass == 0);

    const bool idle = in.engine_state == ENGINE_IDLE;
    const bool mp3 = in.current_source_type == SOURCE_MP3;
    for (const TransportRow& t : TRANSPORT_BUTTONS) {
        bool shown = true;
        if (idle) {
            shown = t.id == TransportId::Stop || t.id == TransportId::Play;
        } else if (mp3) {
            shown = t.seek_step >= 0;  // an MP3 cannot seek backwards
        }
        f.transport_shown[static_cast<size_t>(t.id)] = shown;
    }

    f.indicators_shown = !in.export_in_progress;
    if (in.engine_state == ENGINE_PLAYING) {
        f.channel_image = in.current_channels == 1   ? SkinId::ChannelsMono
                          : in.current_channels == 2 ? SkinId::ChannelsStereo
                                                     : SkinId::ChannelsNone;
        f.rate_image = in.current_rate == 32000   ? SkinId::Rate32k
                       : in.current_rate == 44100 ? SkinId::Rate44k
                       : in.current_rate == 48000 ? SkinId::Rate48k
                                                  : SkinId::RateNone;
    }
    for (int b = 0; b < METER_BANDS; ++b) {
        const int image = s.noise_gate != 0 ? meters.gate_indicator[static_cast<size_t>(b)] : 3;
        f.gate_led_image[static_cast<size_t>(b)] = gate_led_image_id(image);
    }
    f.time_text = time_display_text(in);
    return f;
}

}  // namespace zv
