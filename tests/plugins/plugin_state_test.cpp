// What a host session does with the LV2 plugins besides running them: presets from its menu,
// a parameter file, saving and restoring the session, controls moved while playing,
// deactivating and activating again, and hosts without any feature (lv2apply). Each is compared
// with the export or with the chain run by hand.
#include <gtest/gtest.h>

#include "engine/processor.h"
#include "plugins/plugin_ids.h"
#include "tests/plugins/plugin_cases.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/tools.h"

namespace zv::test {
namespace {

constexpr size_t TAIL = 2048;
const char* const SONG = "pcm16_stereo_44100.wav";

std::vector<std::vector<float>> run_song(Lv2Plugin& p, const Song& song) {
    return p.process(host_signal(song, TAIL), varying_blocks(9));
}

void expect_export(Lv2Plugin& p, const std::vector<std::string>& cli) {
    const Song song = read_song(fixture(SONG));
    const Song exported = export_song(fixture(SONG), cli);
    const auto out = run_song(p, song);
    EXPECT_EQ(compare_with_export(exported, out, p.latency(), Writer::Round32768), "");
}

std::string save_parameter_file(ScratchDir& dir, const std::vector<std::string>& cli) {
    const std::string file = dir / "station.zv3";
    std::string command = shell_quote(ZVMP3_CLI) + " params";
    for (const std::string& a : cli) {
        command += " " + shell_quote(a);
    }
    EXPECT_TRUE(run(command + " --save " + shell_quote(file)));
    return file;
}

// One block so the plugin takes what the host set.
void one_block(Lv2Plugin& p) {
    std::vector<std::vector<float>> silence(2, std::vector<float>(64, 0.0f));
    p.process(silence, {64});
}

TEST(PluginState, PresetFromTheMenuThenAKnob) {
    // 341 has the soft band-clipper knee, which no port shows: the preset's state carries it.
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    p->apply_preset(341);
    p->set("agc_drive_db", 20.0f);
    expect_export(*p, {"--preset", "341", "--set", "agc_drive_db=20"});
}

TEST(PluginState, ParameterFileLoadedThroughThePatchMessage) {
    ScratchDir dir;
    const std::string file = save_parameter_file(
        dir, {"--preset", "337", "--set", "mb_release=3", "--set", "bass_eq_freq_hz=95", "--set",
              "final_lpf=2", "--set", "noise_gate=1"});
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    p->set("band1_gate_threshold_db", -30.0f);
    one_block(*p);
    p->load_parameter_file(file);
    one_block(*p);
    one_block(*p);  // the worker's answer came after the first; the second reports the file
    EXPECT_EQ(p->reported_path(), file);
    p->deactivate();
    p->activate();
    // A parameter file leaves the gate column and the noise gate as they were, like the
    // program's load.
    expect_export(*p, {"--set", "bands[1].gate_threshold_db=-30", "--params", file});
}

TEST(PluginState, AFileThatIsNoParameterFileChangesNothing) {
    ScratchDir dir;
    const std::string bad = dir / "song.zv3";
    ASSERT_TRUE(run("cp " + shell_quote(fixture(SONG)) + " " + shell_quote(bad)));
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    for (const std::string& path : {bad, dir / "missing.zv3", std::string(dir.path())}) {
        p->load_parameter_file(path);
        one_block(*p);
    }
    EXPECT_EQ(p->reported_path(), "");
    p->deactivate();
    p->activate();
    expect_export(*p, {});
}

TEST(PluginState, SessionRestoresTheSettingsExactly) {
    ScratchDir dir;
    const std::string file =
        save_parameter_file(dir, {"--preset", "338", "--set", "hf_drive_db=30.5"});
    const Settings random = random_panel_settings(4);
    auto a = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    for (const auto& [symbol, v] : random.lv2) {
        a->set(symbol, v);
    }
    one_block(*a);
    // The file's values now stand behind knobs that still show the random ones.
    a->load_parameter_file(file);
    one_block(*a);
    const std::string session = a->save_state();

    auto b = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    b->restore_state(session);
    for (const auto& [symbol, v] : random.lv2) {
        EXPECT_EQ(b->get(symbol), v) << symbol;  // the host got its port values back
    }
    std::vector<std::string> cli = random.cli;
    cli.insert(cli.end(), {"--params", file});
    expect_export(*b, cli);
}

TEST(PluginState, SessionOfPortsAloneRestoresThem) {
    const Settings random = random_panel_settings(5);
    auto a = Lv2Plugin::make(plugin::LV2_MONO_URI, 48000);
    for (const auto& [symbol, v] : random.lv2) {
        a->set(symbol, v);
    }
    one_block(*a);
    auto b = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    b->restore_state(a->save_state());
    expect_export(*b, random.cli);
}

TEST(PluginState, ActivatingAgainStartsAfresh) {
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    p->set("noise_gate", 1.0f);
    p->set("virtual_room", 1.0f);
    const Song song = read_song(fixture(SONG));
    const Song exported =
        export_song(fixture(SONG), {"--set", "noise_gate=1", "--set", "virtual_room=1"});
    for (int round = 0; round < 2; ++round) {
        const auto out = run_song(*p, song);
        EXPECT_EQ(compare_with_export(exported, out, p->latency(), Writer::Round32768), "")
            << "round " << round;
        p->deactivate();
        p->activate();
    }
}

TEST(PluginState, HostsWithoutFeaturesRunThePlugins) {
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100, false);
    ASSERT_TRUE(p);
    expect_export(*p, {});
}

// A control moved between blocks acts from the next block on, with the recompute the panel
// runs after a click: the plugin's output equals the chain run by hand with the same change at
// the same frame.
TEST(PluginState, AControlMovedWhilePlayingActsAsThePanelsClick) {
    const Song song = read_song(fixture(SONG));
    const int rate = song.rate;
    const size_t at = 30000;  // the frame of the change, inside a chunk of the chain
    struct Change {
        const char* symbol;
        float value;
        void (*by_hand)(Processor&);
    };
    const Change changes[] = {
        {"bass_eq_freq_hz", 120.0f,
         [](Processor& p) {
             p.params.bass_eq_freq_hz = 120.0;
             design_bass_eq(p);
         }},
        {"mb_release", 4.0f,
         [](Processor& p) {
             p.params.settings.mb_release = 4.0;
             apply_release_setting(p);
         }},
        {"final_lpf", 5.0f,
         [](Processor& p) {
             p.params.final_lpf = 5.0;
             apply_final_lpf(p);
         }},
        {"agc_drive_db", 7.5f, [](Processor& p) { p.params.settings.agc_drive_db = 7.5; }},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.symbol);
        const auto hand = make_processor();
        processor_startup(*hand);
        reset_processor_state(*hand);
        change_sample_rate(*hand, rate);
        enable_flush_denormals();
        std::vector<int16_t> want(song.samples.size());
        process_block(*hand, static_cast<int32_t>(2 * at), song.samples.data(), want.data());
        c.by_hand(*hand);
        process_block(*hand, static_cast<int32_t>(song.samples.size() - 2 * at),
                      song.samples.data() + 2 * at, want.data() + 2 * at);

        auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, rate);
        const auto signal = host_signal(song, 0);
        std::vector<std::vector<float>> first(2), second(2);
        for (int ch = 0; ch < 2; ++ch) {
            first[ch].assign(signal[ch].begin(), signal[ch].begin() + at);
            second[ch].assign(signal[ch].begin() + at, signal[ch].end());
        }
        const auto out1 = p->process(first, {4096});
        p->set(c.symbol, c.value);
        const auto out2 = p->process(second, {4096});
        long differences = 0;
        for (size_t f = 0; f < song.frames(); ++f) {
            for (int ch = 0; ch < 2; ++ch) {
                const float v = f < at ? out1[ch][f] : out2[ch][f - at];
                differences += written_sample(v, Writer::Round32768) != want[2 * f + ch];
            }
        }
        EXPECT_EQ(differences, 0);
    }
}

}  // namespace
}  // namespace zv::test
