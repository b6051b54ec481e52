// The names by which hosts find the plugins: LV2 URIs, the LADSPA labels and unique ids, the
// bundle and the shared object. Sessions, presets and station scripts store them, so they
// never change once released.
#pragma once

namespace zv::plugin {

constexpr const char* BUNDLE_NAME = "zelvonic-chain.lv2";
constexpr const char* BINARY_NAME = "zelvonic-chain.so";

constexpr const char* LV2_STEREO_URI = "https://zelvonicmp3.example.org/lv2/chain-stereo";
constexpr const char* LV2_MONO_URI = "https://zelvonicmp3.example.org/lv2/chain-mono";
// The plugins' own properties (state keys, the parameter file) are this URI plus "#name".
constexpr const char* LV2_PROPERTY_BASE = "https://zelvonicmp3.example.org/lv2/chain";
// A factory preset of a plugin: the plugin's URI, "/preset/" and the preset's menu id.
constexpr const char* LV2_PRESET_PATH = "/preset/";

constexpr const char* LADSPA_STEREO_LABEL = "zelvonic_chain_stereo";
constexpr const char* LADSPA_MONO_LABEL = "zelvonic_chain_mono";
constexpr unsigned long LADSPA_STEREO_ID = 5831;
constexpr unsigned long LADSPA_MONO_ID = 5832;

constexpr const char* PLUGIN_NAME_STEREO = "ZelvonicMP3 Chain (stereo)";
constexpr const char* PLUGIN_NAME_MONO = "ZelvonicMP3 Chain (mono)";
constexpr const char* PLUGIN_MAKER = "The ZelvonicMP3 developers";
constexpr const char* PLUGIN_COPYRIGHT = "2026 The ZelvonicMP3 developers";

}  // namespace zv::plugin
