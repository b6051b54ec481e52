#include "tests/plugins/plugin_cases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "engine/factory_presets.h"
#include "plugins/chain_fields.h"
#include "plugins/control_ports.h"
#include "plugins/ladspa_controls.h"
#include "plugins/plugin_ids.h"
#include "sources/wav_source.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/tools.h"

namespace zv::test {

Song read_song(const std::string& path) {
    WavReader r;
    Song s;
    if (!r.open(path)) {
        ADD_FAILURE() << path << ": " << r.error();
        return s;
    }
    s.rate = r.rate();
    s.channels = r.channels();
    s.samples.resize(r.data_bytes() / 2);
    const size_t got = r.read(s.samples.data(), s.samples.size() * 2);
    s.samples.resize(got / 2);
    s.samples.resize(s.frames() * static_cast<size_t>(s.channels));
    return s;
}

std::vector<std::vector<float>> host_signal(const Song& song, size_t tail) {
    const size_t frames = song.frames();
    std::vector<std::vector<float>> out(static_cast<size_t>(song.channels),
                                        std::vector<float>(frames + tail, 0.0f));
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < song.channels; ++c) {
            out[static_cast<size_t>(c)][f] =
                song.samples[f * static_cast<size_t>(song.channels) + static_cast<size_t>(c)] /
                32768.0f;
        }
    }
    return out;
}

Settings default_settings() {
    Settings s;
    s.name = "defaults";
    return s;
}

namespace {

std::string field_text(double v, double step) {
    char text[32];
    if (step >= 1.0) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(std::lround(v)));
    } else {
        std::snprintf(text, sizeof text, "%.1f", v);
    }
    return text;
}

// The panel's step of a control (0.1 unless it says otherwise).
double panel_step(const std::string& key, plugin::PortKind kind) {
    if (key == "bass_eq_gain_db" || key == "interaural_delay_cm" || key == "room_size_m") {
        return 0.5;
    }
    if (key == "bass_eq_freq_hz") {
        return 5.0;
    }
    return kind == plugin::PortKind::Real ? 0.1 : 1.0;
}

}  // namespace

Settings preset_settings(int menu_id) {
    Settings s;
    s.name = "preset " + std::to_string(menu_id);
    s.cli = {"--preset", std::to_string(menu_id)};
    s.lv2_preset = menu_id;
    const auto& list = factory_preset_list();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == menu_id) {
            s.ladspa["Preset"] = static_cast<float>(i);
        }
    }
    return s;
}

Settings random_panel_settings(unsigned seed) {
    std::mt19937 rng(seed);
    Settings s;
    s.name = "random panel " + std::to_string(seed);
    for (const plugin::ControlPortDef& control : plugin::control_ports()) {
        const std::string key = control.key;
        const plugin::ChainField& f = *plugin::find_chain_field(key);
        double v = 0.0;
        if (key == "bypass") {
            v = 0.0;
        } else if (key == "test_channels") {
            v = 1.0;
        } else {
            const plugin::PortRange r = plugin::port_range(control);
            const double step = panel_step(key, control.kind);
            // The out mix within 6 dB of full: an output near silence would tell little.
            const double low = key.find("out_mix") != std::string::npos ? -6.0 : r.min;
            const long lo = std::lround(std::ceil(low / step - 1e-9));
            const long hi = std::lround(std::floor(r.max / step + 1e-9));
            v = static_cast<double>(std::uniform_int_distribution<long>(lo, hi)(rng)) * step;
        }
        const std::string text = field_text(v, panel_step(key, control.kind));
        s.cli.push_back("--set");
        s.cli.push_back(f.field_name + "=" + text);
        s.lv2[key] = std::strtof(text.c_str(), nullptr);
    }
    return s;
}

Settings random_ladspa_settings(unsigned seed) {
    std::mt19937 rng(seed);
    const auto& list = factory_preset_list();
    const size_t index = rng() % list.size();
    const int id = list[index].id;
    Settings s;
    s.name = "random LADSPA " + std::to_string(seed);
    s.cli = {"--preset", std::to_string(id)};
    s.ladspa["Preset"] = static_cast<float>(index);
    const PresetRecord& r = factory_preset_record(id);
    auto offset = [&](const char* control, int tenths, const std::vector<std::string>& fields,
                      const std::vector<double>& own) {
        const int k = std::uniform_int_distribution<int>(-tenths, tenths)(rng);
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", k / 10.0);
        s.ladspa[control] = std::strtof(text, nullptr);
        for (size_t i = 0; i < fields.size(); ++i) {
            const plugin::ChainField& f = *plugin::find_chain_field(fields[i]);
            const double v = std::clamp(std::round(own[i] * 10.0 + k) / 10.0, f.min, f.max);
            s.cli.push_back("--set");
            s.cli.push_back(f.field_name + "=" + field_text(v, 0.1));
        }
    };
    offset("AGC drive offset", 60, {"agc_drive_db"}, {r.agc_drive_db});
    offset("Final clipper threshold offset", 30, {"final_clip_threshold_db"},
           {r.final_clip_threshold_db});
    offset("Stereo enhancer level offset", 100, {"stereo_level_db"}, {r.stereo_level_db});
    std::vector<std::string> mixes;
    std::vector<double> own;
    for (int b = 0; b < BAND_COUNT; ++b) {
        mixes.push_back("band" + std::to_string(b + 1) + "_out_mix_db");
        own.push_back(r.out_mix_db[static_cast<size_t>(b)]);
    }
    offset("Out mix offset", 30, mixes, own);
    for (const char* toggle : {"Noise gate", "Virtual room"}) {
        const int on = static_cast<int>(rng() % 2);
        s.ladspa[toggle] = static_cast<float>(on);
        s.cli.push_back("--set");
        s.cli.push_back(std::string(toggle[0] == 'N' ? "noise_gate" : "virtual_room") + "=" +
                        std::to_string(on));
    }
    const struct {
        const char* control;
        const char* field;
        int32_t preset_on;
        bool inverse;
    } switches[] = {{"Bass EQ", "bass_eq_off", r.bass_eq_off == 0, true},
                    {"Bass phase", "bass_phase", r.bass_phase, false},
                    {"Stereo enhancer", "stereo_enhance", r.stereo_enhance, false},
                    {"De-emphasis", "deemphasis", r.deemphasis, false}};
    for (const auto& sw : switches) {
        const int choice = static_cast<int>(rng() % 3) - 1;
        s.ladspa[sw.control] = static_cast<float>(choice);
        const bool on = choice > 0 || (choice == 0 && sw.preset_on != 0);
        s.cli.push_back("--set");
        s.cli.push_back(std::string(sw.field) + "=" + ((on != sw.inverse) ? "1" : "0"));
    }
    return s;
}

Song export_song(const std::string& song_path, const std::vector<std::string>& cli) {
    ScratchDir dir;
    const std::string out = dir / "exported.wav";
    std::string command = shell_quote(ZVMP3_CLI) + " export";
    for (const std::string& a : cli) {
        command += " " + shell_quote(a);
    }
    // After the settings: a parameter file among them carries an output format of its own.
    command += " --wav --no-normalise -q " + shell_quote(song_path) + " -o " + shell_quote(out);
    if (!run(command)) {
        ADD_FAILURE() << "export failed: " << command;
        return Song{};
    }
    return read_song(out);
}

std::string compare_with_export(const Song& exported, const std::vector<std::vector<float>>& out,
                                int latency, Writer writer, bool odd_top_allowed) {
    std::ostringstream why;
    const size_t frames = exported.frames();
    const int ch = exported.channels;
    if (out.size() != static_cast<size_t>(ch) || out[0].size() < frames + latency) {
        return "the plugin's output is too short for the song and its latency";
    }
    int shown = 0;
    long differences = 0, tolerated = 0;
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < ch; ++c) {
            const int16_t want = exported.samples[f * static_cast<size_t>(ch) + c];
            const int16_t got = written_sample(
                out[static_cast<size_t>(c)][f + static_cast<size_t>(latency)], writer);
            if (got == want) {
                continue;
            }
            const int size = std::abs(static_cast<int>(want));
            if (odd_top_allowed && size > 32672 && (size % 2 == 1 || size == 32768) &&
                std::abs(static_cast<int>(got)) == size - 1) {
                ++tolerated;
                continue;
            }
            ++differences;
            if (shown++ < 5) {
                why << " frame " << f << " channel " << c << ": " << got << " instead of " << want
                    << ";";
            }
        }
    }
    if (differences == 0) {
        return "";
    }
    return std::to_string(differences) + " samples differ (latency " + std::to_string(latency) +
           "):" + why.str();
}

std::unique_ptr<PluginUnderTest> make_plugin(bool lv2, int channels, int rate,
                                             const Settings& settings) {
    if (lv2) {
        auto p =
            Lv2Plugin::make(channels == 2 ? plugin::LV2_STEREO_URI : plugin::LV2_MONO_URI, rate);
        if (settings.lv2_preset != 0) {
            p->apply_preset(settings.lv2_preset);
        }
        for (const auto& [symbol, v] : settings.lv2) {
            p->set(symbol, v);
        }
        return p;
    }
    auto p =
        LadspaPlugin::make(channels == 2 ? plugin::LADSPA_STEREO_LABEL : plugin::LADSPA_MONO_LABEL,
                           static_cast<unsigned long>(rate));
    for (const auto& [name, v] : settings.ladspa) {
        p->set(name, v);
    }
    return p;
}

}  // namespace zv::test
