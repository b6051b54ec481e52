// Songs, settings and the export to compare the plugins with: a fixture song's samples, the
// settings of one case as the CLI, the LV2 ports and the LADSPA controls express them, and
// `zvmp3-cli export --wav --no-normalise` of the song with the same settings.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/plugins/plugin_hosts.h"

namespace zv::test {

struct Song {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};
// A 16-bit WAV's samples; fails the test when it cannot be read.
Song read_song(const std::string& path);
// The song as a host reading the file hands it over (x / 32768), one vector per channel, with
// tail frames of silence after it.
std::vector<std::vector<float>> host_signal(const Song& song, size_t tail);

struct Settings {
    std::string name;
    std::vector<std::string> cli;         // settings options of zvmp3-cli
    std::map<std::string, float> lv2;     // LV2 control values by symbol
    int lv2_preset = 0;                   // a factory preset the LV2 host applies first
    std::map<std::string, float> ladspa;  // LADSPA control values by port name
};
Settings default_settings();
// Factory preset menu_id: from the LV2 host's preset menu and the LADSPA Preset index.
Settings preset_settings(int menu_id);
// Every panel control and switch at a random value on its panel grid (no bypass; the listening
// test at both channels, as exports have it).
Settings random_panel_settings(unsigned seed);
// A random preset index, offsets and switches of the LADSPA plugins.
Settings random_ladspa_settings(unsigned seed);

// zvmp3-cli export --wav --no-normalise of the song with the settings.
Song export_song(const std::string& song_path, const std::vector<std::string>& cli);

// The plugin's output after its latency, written as writer writes it, against the export:
// every sample equal. Returns a description of the first differences ("" when equal).
// odd_top_allowed lets odd samples above 32672 in size, and -32768, come out one step nearer
// zero (the Round32767 writer on the LV2 plugins' outputs; sample_scaling.h).
std::string compare_with_export(const Song& exported, const std::vector<std::vector<float>>& out,
                                int latency, Writer writer, bool odd_top_allowed = false);

std::unique_ptr<PluginUnderTest> make_plugin(bool lv2, int channels, int rate,
                                             const Settings& settings);

}  // namespace zv::test
