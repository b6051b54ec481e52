// The LV2 plugins' port indices, shared by the plugins and their Turtle description: the audio
// ports (inputs then outputs), the control ports of control_ports.h, the latency output, and
// the two atom ports that carry patch messages (the parameter file).
#pragma once

#include "plugins/control_ports.h"

namespace zv::plugin {

constexpr int lv2_audio_in(int channel) {
    return channel;
}
constexpr int lv2_audio_out(int channels, int channel) {
    return channels + channel;
}
constexpr int lv2_control_port(int channels, int i) {
    return 2 * channels + i;
}
constexpr int lv2_latency_port(int channels) {
    return 2 * channels + CONTROL_PORT_COUNT;
}
constexpr int lv2_patch_in_port(int channels) {
    return lv2_latency_port(channels) + 1;
}
constexpr int lv2_patch_out_port(int channels) {
    return lv2_latency_port(channels) + 2;
}
constexpr int lv2_port_count(int channels) {
    return lv2_latency_port(channels) + 3;
}

// The atom ports' buffers must hold a patch:Set with a whole path.
constexpr int LV2_ATOM_BUFFER_BYTES = 8192;

}  // namespace zv::plugin
