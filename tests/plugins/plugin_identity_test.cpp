// The plugins produce what the export writes: the fixture songs (stereo 44.1 and 32 kHz, mono
// 48 kHz, stereo 48 kHz) through the LV2 bundle (lilv) and the LADSPA object (dlopen), with the
// start-up settings, three factory presets and random settings, in blocks of 1, 64, 4096 and
// varying sizes: after the reported latency, every 16-bit sample equals
// `zvmp3-cli export --wav --no-normalise` of the same song with the same settings.
#include <gtest/gtest.h>

#include "tests/plugins/plugin_cases.h"
#include "tests/support/fixtures.h"

namespace zv::test {
namespace {

// More than any latency the chain has at its own rates.
constexpr size_t TAIL = 2048;

struct Run {
    bool lv2;
    BlockPattern blocks;
    bool in_place = false;
};

// One song and one setting through every run given; each run's output is checked with the
// writers its plugin kind is made for.
// loud: the export's loudest sample, at least: the start-up settings and the presets reach past
// half of full scale, where the 32767 and 32768 scalings part; random settings at least give
// real program.
void check_song(const std::string& name, const Settings& settings, const std::vector<Run>& runs,
                int loud = 16500) {
    const Song song = read_song(fixture(name));
    ASSERT_GT(song.frames(), 0u);
    const Song exported = export_song(fixture(name), settings.cli);
    ASSERT_EQ(exported.frames(), song.frames()) << name;
    int loudest = 0;
    for (int16_t v : exported.samples) {
        loudest = std::max(loudest, std::abs(static_cast<int>(v)));
    }
    EXPECT_GT(loudest, loud) << name << ", " << settings.name;
    const auto signal = host_signal(song, TAIL);
    for (const Run& r : runs) {
        SCOPED_TRACE(name + ", " + settings.name + (r.lv2 ? ", LV2" : ", LADSPA") + ", blocks " +
                     std::to_string(r.blocks.front()) + (r.blocks.size() > 1 ? "..." : "") +
                     (r.in_place ? " in place" : ""));
        auto plugin = make_plugin(r.lv2, song.channels, song.rate, settings);
        ASSERT_TRUE(plugin);
        const auto out = plugin->process(signal, r.blocks, r.in_place);
        const int latency = plugin->latency();
        EXPECT_GT(latency, 0);
        if (r.lv2) {
            EXPECT_EQ(compare_with_export(exported, out, latency, Writer::Round32768), "");
            EXPECT_EQ(compare_with_export(exported, out, latency, Writer::Round32767, true), "");
        } else {
            EXPECT_EQ(compare_with_export(exported, out, latency, Writer::Round32768), "");
            EXPECT_EQ(compare_with_export(exported, out, latency, Writer::Floor32768), "");
        }
    }
}

const BlockPattern ONE = {1};
const BlockPattern SIXTY_FOUR = {64};
const BlockPattern LARGE = {4096};

TEST(PluginIdentity, StartUpSettingsInEveryBlockSize) {
    for (const char* song :
         {"pcm16_stereo_44100.wav", "pcm16_mono_48000.wav", "pcm16_stereo_32000.wav"}) {
        check_song(
            song, default_settings(),
            {{true, ONE}, {true, varying_blocks(1)}, {false, SIXTY_FOUR}, {false, LARGE, true}});
    }
    check_song("extensible_pcm16.wav", default_settings(), {{true, LARGE}, {false, ONE}}, 5000);
}

TEST(PluginIdentity, FactoryPresets) {
    // FM with its FIR low-pass, digital with the medium knee that only the preset's state
    // holds, AM with the 6 kHz IIR low-pass and the fastest release.
    for (int preset : {343, 338, 334}) {
        for (const char* song :
             {"pcm16_stereo_44100.wav", "pcm16_mono_48000.wav", "pcm16_stereo_32000.wav"}) {
            check_song(song, preset_settings(preset),
                       {{true, varying_blocks(static_cast<unsigned>(preset))},
                        {false, varying_blocks(static_cast<unsigned>(preset) + 1)}});
        }
    }
}

TEST(PluginIdentity, RandomPanelSettingsThroughLv2) {
    const char* songs[] = {"pcm16_stereo_44100.wav", "pcm16_mono_48000.wav",
                           "pcm16_stereo_32000.wav"};
    for (unsigned seed = 1; seed <= 3; ++seed) {
        check_song(songs[seed - 1], random_panel_settings(seed),
                   {{true, varying_blocks(seed + 10)}, {true, SIXTY_FOUR, true}}, 5000);
    }
}

TEST(PluginIdentity, RandomPresetOffsetsAndSwitchesThroughLadspa) {
    const char* songs[] = {"pcm16_stereo_44100.wav", "pcm16_mono_48000.wav",
                           "pcm16_stereo_32000.wav"};
    for (unsigned seed = 1; seed <= 3; ++seed) {
        check_song(songs[seed - 1], random_ladspa_settings(seed),
                   {{false, varying_blocks(seed + 20)}, {false, LARGE}}, 5000);
    }
}

}  // namespace
}  // namespace zv::test
