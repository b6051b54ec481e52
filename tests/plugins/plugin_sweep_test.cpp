// Every control from its minimum to its maximum while program runs, alone and all together:
// the output stays finite and within full scale. LV2 and LADSPA, stereo and mono.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "plugins/plugin_ids.h"
#include "tests/plugins/plugin_cases.h"

namespace zv::test {
namespace {

constexpr int BLOCK = 512;
constexpr int STEPS = 8;

// Loud program: a sweep and noise, past full scale at its peaks (clipped as a file would be).
std::vector<std::vector<float>> program_block(int channels, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::vector<std::vector<float>> s(static_cast<size_t>(channels), std::vector<float>(BLOCK));
    for (int f = 0; f < BLOCK; ++f) {
        const float t = static_cast<float>(seed * BLOCK + static_cast<unsigned>(f));
        for (auto& ch : s) {
            ch[static_cast<size_t>(f)] =
                std::clamp(0.8f * std::sin(0.0005f * t * t / 4096.0f) + noise(rng), -1.0f, 1.0f);
        }
    }
    return s;
}

// Runs one block and checks it; counts the blocks run.
void run_checked(PluginUnderTest& p, unsigned& blocks, const std::string& what) {
    const auto in = program_block(p.channels(), blocks++);
    const auto out = p.process(in, {BLOCK});
    for (const auto& ch : out) {
        for (float v : ch) {
            ASSERT_TRUE(std::isfinite(v)) << what;
            ASSERT_LE(std::fabs(v), 1.0f) << what;
        }
    }
}

template <typename Plugin>
void sweep(Plugin& p, const std::vector<std::string>& controls,
           float default_of(Plugin&, const std::string&)) {
    unsigned blocks = 0;
    for (const std::string& c : controls) {
        const auto [lo, hi] = p.range(c);
        const float start = default_of(p, c);
        for (int k = 0; k <= STEPS; ++k) {
            p.set(c, lo + (hi - lo) * static_cast<float>(k) / STEPS);
            run_checked(p, blocks, c + " step " + std::to_string(k));
        }
        p.set(c, start);
    }
    for (bool high : {false, true}) {
        for (const std::string& c : controls) {
            const auto [lo, hi] = p.range(c);
            p.set(c, high ? hi : lo);
        }
        for (int k = 0; k < 4; ++k) {
            run_checked(p, blocks,
                        high ? "every control at its maximum" : "every control at its minimum");
        }
    }
    std::mt19937 rng(5);
    for (int k = 0; k < 40; ++k) {
        for (const std::string& c : controls) {
            const auto [lo, hi] = p.range(c);
            p.set(c, std::uniform_real_distribution<float>(lo, hi)(rng));
        }
        run_checked(p, blocks, "random controls " + std::to_string(k));
    }
}

float lv2_value(Lv2Plugin& p, const std::string& c) {
    return p.get(c);
}
float ladspa_value(LadspaPlugin&, const std::string&) {
    return 0.0f;
}

TEST(PluginSweep, EveryLv2ControlFromMinimumToMaximum) {
    for (const auto& [uri, rate] :
         {std::pair{plugin::LV2_STEREO_URI, 44100}, std::pair{plugin::LV2_MONO_URI, 32000}}) {
        SCOPED_TRACE(uri);
        auto p = Lv2Plugin::make(uri, rate);
        ASSERT_TRUE(p);
        sweep<Lv2Plugin>(*p, p->control_symbols(), lv2_value);
    }
}

TEST(PluginSweep, EveryLadspaControlFromMinimumToMaximum) {
    for (const auto& [label, rate] : {std::pair{plugin::LADSPA_STEREO_LABEL, 48000},
                                      std::pair{plugin::LADSPA_MONO_LABEL, 96000}}) {
        SCOPED_TRACE(label);
        auto p = LadspaPlugin::make(label, static_cast<unsigned long>(rate));
        ASSERT_TRUE(p);
        sweep<LadspaPlugin>(*p, p->control_names(), ladspa_value);
    }
}

// Values no range allows, as a careless host may send them: the chain keeps to its bounds.
TEST(PluginSweep, ValuesOutsideTheRangesAndNaN) {
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 48000);
    ASSERT_TRUE(p);
    unsigned blocks = 0;
    for (float v : {1e9f, -1e9f, std::nanf(""), INFINITY, -INFINITY}) {
        for (const std::string& c : p->control_symbols()) {
            p->set(c, v);
        }
        run_checked(*p, blocks, "every control at " + std::to_string(v));
    }
    auto l = LadspaPlugin::make(plugin::LADSPA_STEREO_LABEL, 44100);
    for (float v : {1e9f, -1e9f, std::nanf(""), INFINITY}) {
        for (const std::string& c : l->control_names()) {
            l->set(c, v);
        }
        run_checked(*l, blocks, "every LADSPA control at " + std::to_string(v));
    }
}

}  // namespace
}  // namespace zv::test
