// The rates: 88.2 to 192 kHz through the resamplers, in level and in time; the rates the
// chain cannot run at refused at instantiation, never run.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "plugins/chain_stream.h"
#include "plugins/plugin_ids.h"
#include "tests/plugins/plugin_cases.h"

namespace zv::test {
namespace {

// Silence, then a tone: onset at frame `start`, a 5 ms rise.
std::vector<std::vector<float>> tone(int rate, double hz, float level, size_t start,
                                     size_t frames) {
    std::vector<float> s(frames, 0.0f);
    const double rise = 0.005 * rate;
    for (size_t f = start; f < frames; ++f) {
        const double t = static_cast<double>(f - start);
        const double env = t < rise ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / rise) : 1.0;
        s[f] = static_cast<float>(level * env * std::sin(2.0 * std::numbers::pi * hz * t / rate));
    }
    return {s, s};
}

double rms(const std::vector<float>& s, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(s[i]) * s[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

// The first frame whose size reaches a tenth of level.
size_t onset(const std::vector<float>& s, float level) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (std::fabs(s[i]) >= 0.1f * level) {
            return i;
        }
    }
    return s.size();
}

TEST(PluginRates, BypassedHighRatesComeBackAlignedToTheReportedLatency) {
    for (int rate : {88200, 96000, 176400, 192000}) {
        SCOPED_TRACE(rate);
        auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, rate);
        ASSERT_TRUE(p);
        p->set("bypass", 1.0f);
        const size_t frames = static_cast<size_t>(rate) / 2;
        // A band-limited mixture well inside the chain's 44.1/48 kHz band.
        std::vector<float> in(frames);
        for (size_t f = 0; f < frames; ++f) {
            const double t = static_cast<double>(f) / rate;
            in[f] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 440 * t) +
                                       0.2 * std::sin(2 * std::numbers::pi * 3100 * t) +
                                       0.1 * std::sin(2 * std::numbers::pi * 11000 * t));
        }
        const auto out = p->process({in, in}, varying_blocks(static_cast<unsigned>(rate)));
        const size_t latency = static_cast<size_t>(p->latency());
        ASSERT_GT(latency, 0u);
        ASSERT_LT(latency, frames / 4);
        // After the resamplers' start: the output is the input, latency frames late, within
        // 16-bit quantisation and the resamplers' ripple; a frame earlier or later is far off.
        double aligned = 0.0, early = 0.0, late = 0.0;
        for (size_t f = 2 * latency; f + 1 < frames; ++f) {
            aligned =
                std::max(aligned, std::fabs(static_cast<double>(out[0][f]) - in[f - latency]));
            early =
                std::max(early, std::fabs(static_cast<double>(out[0][f]) - in[f - latency + 1]));
            late = std::max(late, std::fabs(static_cast<double>(out[0][f]) - in[f - latency - 1]));
        }
        EXPECT_LT(aligned, 2e-3);
        EXPECT_GT(early, 10 * aligned);
        EXPECT_GT(late, 10 * aligned);
        EXPECT_EQ(rms(out[1], 2 * latency, frames) > 0.0, true);
    }
}

TEST(PluginRates, The96kPathHasTheLevelAndTimingOfThe48kChain) {
    const size_t start48 = 4800;
    auto native = Lv2Plugin::make(plugin::LV2_STEREO_URI, 48000);
    const auto out48 = native->process(tone(48000, 1000.0, 0.25f, start48, 48000), {4096});
    auto high = Lv2Plugin::make(plugin::LV2_STEREO_URI, 96000);
    const auto out96 = high->process(tone(96000, 1000.0, 0.25f, 2 * start48, 96000), {4096});

    // Level: the steady part of the processed tone, the same within a tenth of a dB.
    const double level48 = rms(out48[0], 24000, 48000);
    const double level96 = rms(out96[0], 48000, 96000);
    EXPECT_NEAR(20.0 * std::log10(level96 / level48), 0.0, 0.1);

    // Timing: the chain's delay doubled plus the resamplers' is what the 96 kHz plugin
    // reports, and the processed onset comes that late.
    const int chain48 = native->latency();
    const int reported96 = high->latency();
    EXPECT_GT(reported96, 2 * chain48);
    const float peak = static_cast<float>(level48 * std::sqrt(2.0));
    const double late48 = static_cast<double>(onset(out48[0], peak)) - start48 - chain48;
    const double late96 = static_cast<double>(onset(out96[0], peak)) - 2.0 * start48 - reported96;
    EXPECT_NEAR(late96, 2.0 * late48, 4.0)
        << "onset at 48 kHz " << late48 << " frames after the latency";
}

// libsoxr's hold-back follows a pattern that reaches its largest only after some 250000
// frames at 176.4 kHz: long enough a run for it to come round several times.
TEST(PluginRates, ResampledPathNeverRunsDryWhateverTheBlocks) {
    for (int rate : {88200, 176400}) {
        std::string why;
        auto s = plugin::ChainStream::make(rate, 2, plugin::OutputScale::Exact, why);
        ASSERT_TRUE(s) << why;
        const auto signal = tone(rate, 500.0, 0.5f, 100, static_cast<size_t>(rate) * 4);
        std::vector<float> l = signal[0], r = signal[1];
        size_t done = 0;
        const BlockPattern blocks = varying_blocks(3);
        for (size_t k = 0; done < l.size(); ++k) {
            const size_t n =
                std::min<size_t>(static_cast<size_t>(blocks[k % blocks.size()]), l.size() - done);
            const float* in[] = {l.data() + done, r.data() + done};
            float* out[] = {l.data() + done, r.data() + done};
            s->process(in, out, static_cast<uint32_t>(n));
            done += n;
        }
        EXPECT_EQ(s->underruns(), 0) << rate;
        s->restart();
        EXPECT_EQ(s->underruns(), 0);
    }
}

TEST(PluginRates, RatesTheChainCannotRunAtAreRefused) {
    for (double rate : {8000.0, 22050.0, 44000.0, 64000.0, 352800.0, 384000.0, 0.0, -48000.0,
                        44100.5, std::nan("")}) {
        SCOPED_TRACE(rate);
        EXPECT_FALSE(Lv2Plugin::make(plugin::LV2_STEREO_URI, rate));
        EXPECT_FALSE(Lv2Plugin::make(plugin::LV2_MONO_URI, rate));
        if (rate >= 0.0 && rate == std::floor(rate)) {
            EXPECT_FALSE(
                LadspaPlugin::make(plugin::LADSPA_STEREO_LABEL, static_cast<unsigned long>(rate)));
        }
    }
    for (double rate : {32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0}) {
        EXPECT_TRUE(Lv2Plugin::make(plugin::LV2_MONO_URI, rate)) << rate;
        EXPECT_TRUE(LadspaPlugin::make(plugin::LADSPA_MONO_LABEL, static_cast<unsigned long>(rate)))
            << rate;
    }
}

}  // namespace
}  // namespace zv::test
