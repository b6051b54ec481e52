// The plugins' own parts beneath the host interfaces: the sample scalings against every 16-bit
// value and the ways hosts write them back, control values as decimals, the rates, and the
// port table against the panel's own control table and labels.
#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <thread>
#include <vector>

#include "plugins/chain_fields.h"
#include "plugins/chain_stream.h"
#include "plugins/control_ports.h"
#include "plugins/decimal_value.h"
#include "plugins/denormal_scope.h"
#include "plugins/published_settings.h"
#include "plugins/sample_scaling.h"
#include "settings/program_state.h"
#include "tests/plugins/plugin_hosts.h"
#include "ui/control_text.h"
#include "ui/panel_controls.h"

namespace zv::test {
namespace {

using plugin::OutputScale;
using plugin::OutputScaling;

TEST(PluginSamples, EveryInputSampleReachesTheChainUnchanged) {
    for (int x = -32768; x <= 32767; ++x) {
        ASSERT_EQ(plugin::sample_from_float(static_cast<float>(x) / 32768.0f), x);
    }
    EXPECT_EQ(plugin::sample_from_float(1.0f), 32767);
    EXPECT_EQ(plugin::sample_from_float(-1.5f), -32768);
    EXPECT_EQ(plugin::sample_from_float(std::nanf("")), 0);
    EXPECT_EQ(plugin::sample_from_float(INFINITY), 32767);
    EXPECT_EQ(plugin::sample_from_float(0.6f / 32768.0f), 1);  // rounded, not truncated
}

TEST(PluginSamples, Lv2OutputsRoundBackUnderBothRoundingScalings) {
    const OutputScaling lv2(OutputScale::Halfway);
    int both_missed = 0;
    for (int y = -32768; y <= 32767; ++y) {
        const float f = lv2(static_cast<int16_t>(y));
        ASSERT_LE(std::fabs(f), 1.0f) << y;
        ASSERT_EQ(written_sample(f, Writer::Round32768), y) << y;
        if (written_sample(f, Writer::Round32767) != y) {
            // Only where no float within full scale serves both.
            ASSERT_TRUE(y == -32768 || (std::abs(y) > 32672 && std::abs(y) % 2 == 1)) << y;
            ++both_missed;
        }
    }
    EXPECT_EQ(both_missed, 96);  // 47 above zero (32767 has one), 48 below, and -32768
}

TEST(PluginSamples, LadspaOutputsAreExactForRoundingAndFloorWriters) {
    const OutputScaling ladspa(OutputScale::Exact);
    for (int y = -32768; y <= 32767; ++y) {
        const float f = ladspa(static_cast<int16_t>(y));
        ASSERT_EQ(written_sample(f, Writer::Round32768), y);
        ASSERT_EQ(written_sample(f, Writer::Floor32768), y);
    }
}

// The block conversions (four frames at a time where the machine can) give what the one-sample
// ones give, for every sample and the floats no file holds.
TEST(PluginSamples, BlockConversionsEqualTheSampleByOneOnes) {
    std::vector<float> left, right;
    for (int x = -32768; x <= 32767; ++x) {
        left.push_back(static_cast<float>(x) / 32768.0f);
        right.push_back(static_cast<float>(-x - 1) / 32768.0f + 0.4f / 32768.0f);
    }
    for (float odd : {std::nanf(""), INFINITY, -INFINITY, 3.0f, -7.5f, 1e30f, 0.99999f, -1.0f}) {
        left.push_back(odd);
        right.push_back(-odd);
    }
    const int n = static_cast<int>(left.size());
    std::vector<int16_t> stereo(2 * left.size());
    plugin::samples_from_floats(left.data(), right.data(), stereo.data(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(stereo[2 * i], plugin::sample_from_float(left[i])) << left[i];
        ASSERT_EQ(stereo[2 * i + 1], plugin::sample_from_float(right[i])) << right[i];
    }
    std::vector<int16_t> every(2 * 65536);
    for (int y = -32768; y <= 32767; ++y) {
        every[2 * (y + 32768)] = static_cast<int16_t>(y);
        every[2 * (y + 32768) + 1] = static_cast<int16_t>(-1 - y);
    }
    for (OutputScale scale : {OutputScale::Halfway, OutputScale::Exact}) {
        const OutputScaling s(scale);
        for (int channel : {0, 1}) {
            std::vector<float> out(65536);
            s.to_floats(every.data(), channel, out.data(), 65536);
            for (int i = 0; i < 65536; ++i) {
                ASSERT_EQ(out[i], s(every[2 * i + channel])) << every[2 * i + channel];
            }
        }
    }
}

TEST(PluginControls, FloatControlsAreTheDecimalsTheyStandFor) {
    EXPECT_EQ(plugin::decimal_value(17.3f), 17.3);
    EXPECT_EQ(plugin::decimal_value(-0.8f), -0.8);
    EXPECT_EQ(plugin::decimal_value(-96.0f), -96.0);
    EXPECT_EQ(plugin::decimal_value(0.2f), 0.2);
    EXPECT_EQ(plugin::decimal_value(1.5e-7f), 1.5e-7);
    EXPECT_EQ(plugin::decimal_value(3e20f), 3e20);
    EXPECT_EQ(plugin::decimal_value(1e-30f), static_cast<double>(1e-30f));  // beyond the fast path
    EXPECT_TRUE(std::isnan(plugin::decimal_value(std::nanf(""))));
    EXPECT_EQ(plugin::round_to_decimals(-0.8 + 0.3), -0.5);
    EXPECT_EQ(plugin::round_to_decimals(24.0 + 0.1), 24.1);
    EXPECT_EQ(plugin::round_to_decimals(2e6 + 0.1), 2e6 + 0.1);
}

TEST(PluginControls, ValuesAreBroughtWithinTheFieldsAsLoadsBringThem) {
    const auto field = [](const char* key) { return *plugin::find_chain_field(key); };
    EXPECT_EQ(plugin::bounded_value(field("agc_drive_db"), 30.0), 24.0);
    EXPECT_EQ(plugin::bounded_value(field("agc_drive_db"), std::nan("")), 0.0);
    EXPECT_EQ(plugin::bounded_value(field("final_lpf"), 0.0), 0.0);  // reads as "thru"
    EXPECT_EQ(plugin::bounded_value(field("final_lpf"), 9.0), 6.0);
    EXPECT_EQ(plugin::bounded_value(field("test_channels"), 5.0), 2.0);
    EXPECT_EQ(plugin::bounded_value(field("bass_eq_off"), 0.5), 1.0);
    EXPECT_EQ(plugin::bounded_value(field("bass_phase"), 0.5), 0.0);
    const auto& ports = plugin::control_ports();
    const auto port = [&](const char* key) {
        for (const auto& p : ports) {
            if (std::string(p.key) == key) {
                return p;
            }
        }
        throw std::logic_error(key);
    };
    EXPECT_EQ(plugin::port_value_to_field(port("bypass"), 0.2f), 1.0);
    EXPECT_EQ(plugin::port_value_to_field(port("bypass"), 0.0f), 0.0);
    EXPECT_EQ(plugin::port_value_to_field(port("mb_release"), 2.9999f), 3.0);
    EXPECT_EQ(plugin::port_value_to_field(port("stereo_delay_ms"), 10.4f), 10.0);
}

TEST(PluginRates, ChainRates) {
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(32000), 32000);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(44100), 44100);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(48000), 48000);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(88200), 44100);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(96000), 48000);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(176400), 44100);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(192000), 48000);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(64000), 0);
    EXPECT_EQ(plugin::ChainStream::chain_rate_for(128000), 0);
}

#if defined(__SSE__) || defined(__aarch64__)
TEST(PluginDenormals, TheChainRunsFlushingDenormalsAndTheHostKeepsItsMode) {
    volatile double smallest = DBL_MIN;
    volatile double below = DBL_MIN / 4.0;  // a denormal, made outside the scope
    ASSERT_NE(smallest / 2.0, 0.0);
    {
        plugin::DenormalScope flush;
        EXPECT_EQ(smallest / 2.0, 0.0);  // results flush to zero
        EXPECT_EQ(below * 1.0, 0.0);     // denormal inputs read as zero
    }
    EXPECT_NE(smallest / 2.0, 0.0);
}
#endif

// A host's save() reads the settings while run() publishes changes: every copy it takes is one
// publication whole, never parts of two.
TEST(PluginState, SavesReadWholePublicationsWhileRunPublishes) {
    std::string why;
    auto stream = plugin::ChainStream::make(44100, 2, OutputScale::Halfway, why);
    ASSERT_TRUE(stream);
    plugin::PublishedSettings published;
    std::atomic<bool> done{false};
    std::atomic<long> torn{0}, reads{0};
    std::thread saver([&] {
        while (!done.load()) {
            const plugin::SettingsCopy c = published.read();
            for (float v : c.seen) {
                torn += v != c.seen[0];
            }
            ++reads;
        }
    });
    std::array<float, plugin::CONTROL_PORT_COUNT> seen{};
    for (int k = 0; k < 20000; ++k) {
        seen.fill(static_cast<float>(k));
        published.publish(*stream, seen);
    }
    while (reads.load() < 100) {
        std::this_thread::yield();
    }
    done = true;
    saver.join();
    EXPECT_EQ(torn.load(), 0);
}

// The ports are the panel's: one per control of its table (the ALL row aside) in its order,
// with its bounds, its start-up value and, for the choices, its labels as its font draws them.
TEST(PluginPorts, ThePortsAreThePanelsControls) {
    const PanelControls& panel = panel_controls();
    const auto& ports = plugin::control_ports();
    OwnedProgramState owned;
    processor_startup(*owned.processor);
    const ProgramState startup = owned.view();
    AllBandDelta deltas{};
    size_t next = 0;
    for (const PanelControl& c : panel) {
        if (c.shape.all_column >= 0) {
            continue;
        }
        ASSERT_LT(next, ports.size());
        const plugin::ControlPortDef& port = ports[next++];
        const plugin::ChainField& f = *plugin::find_chain_field(port.key);
        SCOPED_TRACE(port.key);
        EXPECT_EQ(f.field_name, c.field_name);
        const plugin::PortRange r = plugin::port_range(port);
        if (port.kind == plugin::PortKind::Choice) {
            EXPECT_EQ(r.min, choice_of(c.min));
            EXPECT_EQ(r.max, choice_of(c.max));
            ASSERT_EQ(port.labels.size(), static_cast<size_t>(r.max - r.min + 1));
            for (size_t k = 0; k < port.labels.size(); ++k) {
                std::string shown =
                    control_text(c, r.min + static_cast<double>(k), startup.processor.params);
                shown.erase(0, shown.find_first_not_of(' '));
                shown.erase(shown.find_last_not_of(' ') + 1);
                for (char& ch : shown) {
                    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                }
                EXPECT_EQ(port.labels[k], shown);
            }
        } else {
            EXPECT_EQ(r.min, c.min);
            EXPECT_EQ(r.max, c.max);
            EXPECT_TRUE(port.labels.empty());
        }
        EXPECT_EQ(r.start, control_target(c, startup, deltas));
    }
    EXPECT_EQ(next, static_cast<size_t>(plugin::PANEL_CONTROL_PORTS));
    const char* switches[] = {"bypass",     "bass_eq_off", "bass_phase",  "stereo_enhance",
                              "deemphasis", "noise_gate",  "virtual_room"};
    for (const char* s : switches) {
        ASSERT_LT(next, ports.size());
        EXPECT_STREQ(ports[next].key, s);
        EXPECT_EQ(ports[next++].kind, plugin::PortKind::Toggle);
    }
}

}  // namespace
}  // namespace zv::test
