// Helpers of the plugin script tests, on the suite's own hosts:
//   zv_plugin_tool latency lv2|ladspa CHANNELS RATE [NAME=VALUE]...
//       the latency the plugin reports with those controls (LV2 symbols, LADSPA port names)
//   zv_plugin_tool preset-controls MENU_ID
//       the LV2 port values of a factory preset, one "SYMBOL VALUE" a line
//   zv_plugin_tool symbols | ladspa-ports
//       the LV2 control ports' symbols, the LADSPA control ports' names, one a line
//   zv_plugin_tool compare EXPORT.wav HOST.wav LATENCY [--odd-top]
//       HOST.wav from frame LATENCY on against EXPORT.wav, sample for sample, as far as both
//       go; --odd-top lets odd samples above 32672 in size come one step nearer zero (a
//       32767-scaling writer on the LV2 outputs). Exit status 0 when equal.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/factory_presets.h"
#include "plugins/chain_fields.h"
#include "plugins/control_ports.h"
#include "plugins/ladspa_controls.h"
#include "plugins/plugin_ids.h"
#include "sources/wav_source.h"
#include "tests/plugins/plugin_hosts.h"

namespace {

using namespace zv;

bool read_wav(const std::string& path, std::vector<int16_t>& samples, int& channels) {
    WavReader r;
    if (!r.open(path)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), r.error().c_str());
        return false;
    }
    channels = r.channels();
    samples.resize(r.data_bytes() / 2);
    samples.resize(r.read(samples.data(), samples.size() * 2) / 2);
    return true;
}

int compare(const std::string& exported, const std::string& host, long latency, bool odd_top) {
    std::vector<int16_t> a, b;
    int ca = 0, cb = 0;
    if (!read_wav(exported, a, ca) || !read_wav(host, b, cb)) {
        return 2;
    }
    if (ca != cb) {
        std::fprintf(stderr, "channels differ: %d and %d\n", ca, cb);
        return 1;
    }
    const size_t offset = static_cast<size_t>(latency) * static_cast<size_t>(ca);
    if (b.size() <= offset) {
        std::fprintf(stderr, "the host's output is shorter than the latency\n");
        return 1;
    }
    const size_t n = std::min(a.size(), b.size() - offset);
    long differ = 0, tolerated = 0;
    for (size_t i = 0; i < n; ++i) {
        const int want = a[i], got = b[i + offset];
        if (want == got) {
            continue;
        }
        const int size = std::abs(want);
        if (odd_top && size > 32672 && (size % 2 == 1 || size == 32768) &&
            std::abs(got) == size - 1) {
            ++tolerated;
            continue;
        }
        if (differ++ < 5) {
            std::fprintf(stderr, "frame %zu channel %zu: %d instead of %d\n", i / ca, i % ca, got,
                         want);
        }
    }
    std::printf("%zu samples compared, %ld differ, %ld at the odd top\n", n, differ, tolerated);
    // Nearly all of the song must have been compared.
    if (n + offset + static_cast<size_t>(ca) < std::min(a.size(), b.size())) {
        return 1;
    }
    return differ == 0 ? 0 : 1;
}

int latency(const std::string& kind, int channels, int rate, int argc, char** argv) {
    std::vector<std::vector<float>> silence(static_cast<size_t>(channels),
                                            std::vector<float>(16, 0.0f));
    std::unique_ptr<test::PluginUnderTest> p;
    if (kind == "lv2") {
        auto l = test::Lv2Plugin::make(
            channels == 2 ? plugin::LV2_STEREO_URI : plugin::LV2_MONO_URI, rate);
        for (int i = 0; l && i < argc; ++i) {
            const std::string a = argv[i];
            l->set(a.substr(0, a.find('=')), std::strtof(a.c_str() + a.find('=') + 1, nullptr));
        }
        p = std::move(l);
    } else {
        auto l = test::LadspaPlugin::make(
            channels == 2 ? plugin::LADSPA_STEREO_LABEL : plugin::LADSPA_MONO_LABEL,
            static_cast<unsigned long>(rate));
        for (int i = 0; l && i < argc; ++i) {
            const std::string a = argv[i];
            l->set(a.substr(0, a.find('=')), std::strtof(a.c_str() + a.find('=') + 1, nullptr));
        }
        p = std::move(l);
    }
    if (!p) {
        std::fprintf(stderr, "the plugin refused %d Hz\n", rate);
        return 1;
    }
    p->process(silence, {16});
    std::printf("%d\n", p->latency());
    return 0;
}

int preset_controls(int id) {
    if (!is_factory_preset_id(id)) {
        return 2;
    }
    const auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, id);
    for (const plugin::ControlPortDef& control : plugin::control_ports()) {
        const double v = plugin::locate_field(*plugin::find_chain_field(control.key), *p).get();
        std::printf("%s %.17g\n", control.key, v);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "compare" && (argc == 5 || argc == 6)) {
        return compare(argv[2], argv[3], std::atol(argv[4]),
                       argc == 6 && std::string(argv[5]) == "--odd-top");
    }
    if (command == "latency" && argc >= 5) {
        return latency(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc - 5, argv + 5);
    }
    if (command == "preset-controls" && argc == 3) {
        return preset_controls(std::atoi(argv[2]));
    }
    if (command == "symbols") {
        for (const plugin::ControlPortDef& control : plugin::control_ports()) {
            std::printf("%s\n", control.key);
        }
        return 0;
    }
    if (command == "ladspa-ports") {
        for (const plugin::LadspaControlSpec& c : plugin::LADSPA_CONTROLS) {
            std::printf("%s\n", c.name);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: see the head of tests/plugins/plugin_tool.cpp\n");
    return 2;
}
