// Whole-chain properties: whatever the preset, switches and knobs (within the panel's ranges)
// and whatever the rate, the chain stays finite and inside its output limit; and the same
// input after a reset always gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/factory_presets.h"
#include "engine/processor.h"

namespace zv {
namespace {

constexpr int BLOCK_VALUES = 8192;  // one 16384-byte playback buffer
constexpr int RATES[] = {48000, 44100, 32000};

// Music-like stereo: a bass line, chords, a hi-hat of noise bursts and a kick, with the level
// swelling from quiet to driven into the rails, so every stage's envelopes move.
std::vector<int16_t> music(int rate, double seconds, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const int frames = static_cast<int>(rate * seconds);
    std::vector<int16_t> out(2 * static_cast<std::size_t>(frames));
    const double two_pi = 2.0 * std::numbers::pi;
    const double bass_notes[] = {55.0, 73.4, 82.4, 61.7};
    double hat = 0.0;
    for (int n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate;
        const double beat = std::fmod(t, 0.5);
        const double bass = std::sin(two_pi * bass_notes[static_cast<int>(t * 2) % 4] * t);
        const double kick = std::exp(-beat * 30.0) * std::sin(two_pi * 60.0 * beat);
        const double chord = std::sin(two_pi * 261.6 * t) + std::sin(two_pi * 329.6 * t) +
                             0.7 * std::sin(two_pi * 392.0 * t) + 0.3 * std::sin(two_pi * 3136 * t);
        if (std::fmod(t, 0.125) < 1.0 / rate) {
            hat = 1.0;
        }
        hat *= 0.9995;
        const double hiss = hat * noise(rng);
        const double swell = 0.05 + 1.4 * (0.5 - 0.5 * std::cos(two_pi * t / seconds));
        const double l = swell * (0.45 * bass + 0.5 * kick + 0.18 * chord + 0.25 * hiss);
        const double r = swell * (0.45 * bass + 0.5 * kick + 0.12 * chord - 0.3 * hiss +
                                  0.1 * std::sin(two_pi * 7040 * t));
        auto to16 = [](double v) {
            return static_cast<int16_t>(std::lround(std::clamp(v * 32767.0, -32768.0, 32767.0)));
        };
        out[2 * n] = to16(l);
        out[2 * n + 1] = to16(r);
    }
    return out;
}

double uniform(std::mt19937& rng, double lo, double hi, double step) {
    // Panel values sit on the knob's steps; the ends are favoured, as users leave knobs there.
    std::uniform_int_distribution<int> pick(0, 9);
    const int p = pick(rng);
    if (p == 0) {
        return lo;
    }
    if (p == 1) {
        return hi;
    }
    const int steps = static_cast<int>(std::lround((hi - lo) / step));
    std::uniform_int_distribution<int> s(0, steps);
    return lo + s(rng) * step;
}

int coin(std::mt19937& rng) {
    return std::uniform_int_distribution<int>(0, 1)(rng);
}

// Turns every knob and switch as the panel could, then recomputes what the panel recomputes.
void randomise_panel(Processor& p, std::mt19937& rng) {
    ProcessorParams& q = p.params;
    ProcessorSettings& s = q.settings;
    for (ProcessorBand& b : q.bands) {
        b.gain_db = uniform(rng, 0, 24, 0.1);
        b.limiter_drive_db = uniform(rng, 0, 24, 0.1);
        b.vca_threshold_db = uniform(rng, -32, 0, 0.1);
        b.clip_threshold_db = uniform(rng, -24, 6, 0.1);
        b.out_mix_db = uniform(rng, -96, 3, 0.1);
        b.gate_threshold_db = uniform(rng, -60, -12, 0.1);
    }
    q.bands[0].bass_attack_ms = uniform(rng, 0, 100, 1);
    s.agc_threshold_db = uniform(rng, -36, 0, 0.1);
    s.agc_drive_db = uniform(rng, 0, 24, 0.1);
    s.stereo_level_db = uniform(rng, -48, 0, 0.1);
    s.stereo_delay_ms = uniform(rng, 1, 50, 1);
    s.mb_release = uniform(rng, 1, 5, 1);
    s.mb_attack = uniform(rng, 1, 5, 1);
    s.final_clip_threshold_db = uniform(rng, -24, 0, 0.1);
    s.stereo_type = uniform(rng, 1, 5, 1);
    s.band_clip_knee = uniform(rng, 0, 2, 1);  // presets and files only
    s.hf_threshold_db = uniform(rng, -32, 0, 0.1);
    s.hf_drive_db = uniform(rng, 0, 48, 0.1);
    s.preemphasis = uniform(rng, 0, 2, 1);
    s.overshoot_threshold_db = uniform(rng, -24, 6, 0.1);
    s.agc_release = uniform(rng, 1, 4, 1);
    s.final_clip_type = uniform(rng, 0, 1, 1);
    q.bass_eq_gain_db = uniform(rng, 0, 12, 0.5);
    q.bass_eq_freq_hz = uniform(rng, 50, 150, 5);
    q.bass_eq_q = uniform(rng, 0.2, 2, 0.1);
    q.final_lpf = uniform(rng, 0, 6, 1);
    q.interaural_delay_cm = uniform(rng, 1, 30, 0.5);
    q.room_size_m = uniform(rng, 2, 34, 0.5);
    q.reverb_level_pct = uniform(rng, 0, 100, 1);
    q.test_channels = uniform(rng, 0, 2, 1);
    q.normalisation_gain = uniform(rng, 1, 16, 0.25);
    ProcessorSwitches& w = q.switches;
    w.bypass = std::uniform_int_distribution<int>(0, 5)(rng) == 0;  // mostly processing
    w.bass_eq_off = coin(rng);
    w.bass_phase = coin(rng);
    w.stereo_enhance = coin(rng);
    w.deemphasis = coin(rng);
    w.noise_gate = coin(rng);
    w.virtual_room = coin(rng);
    apply_release_setting(p);
    apply_final_lpf(p);
    design_bass_eq(p);
}

bool finite_meters(const Processor& p, std::string& which) {
    const ProcessorParams& q = p.params;
    const ProcessorSettings& s = q.settings;
    const MeterSnapshot& m = p.state.meters;
    const double values[] = {s.agc_gain_lo,         s.agc_gain_hi,         m.input_peak_l,
                             m.input_peak_r,        m.output_peak_l,       m.output_peak_r,
                             s.hf_gain_reduction_l, s.hf_gain_reduction_r, s.hf_state_l,
                             s.hf_state_r,          m.enhancer_peak,       m.hf_limit_peak,
                             q.normalisation_gain};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        if (!std::isfinite(values[i])) {
            which = "settings meter " + std::to_string(i);
            return false;
        }
    }
    for (int b = 0; b < BAND_COUNT; ++b) {
        const ProcessorBand& band = q.bands[b];
        for (double v :
             {band.gain_reduction, m.band_gain_reduction_peak[b], band.delayed_gain_reduction,
              band.sidechain_l, band.sidechain_r, band.gate_gain, band.out_l, band.out_r}) {
            if (!std::isfinite(v)) {
                which = "band " + std::to_string(b + 1);
                return false;
            }
        }
    }
    return true;
}

TEST(EngineProperties, RandomPanelsStayFiniteAndInsideTheOutputLimit) {
    enable_flush_denormals();
    constexpr double SECONDS = 3.0;
    constexpr int SEGMENTS = 6;  // the panel is turned this many times per run
    uint32_t seed = 20240601;
    for (int rate : RATES) {
        const std::vector<int16_t> in = music(rate, SECONDS, static_cast<uint32_t>(rate));
        std::vector<int16_t> out(in.size());
        const std::size_t segment_values = in.size() / SEGMENTS;
        for (const FactoryPresetInfo& preset : factory_preset_list()) {
            SCOPED_TRACE("preset " + std::to_string(preset.id) + " at " + std::to_string(rate));
            std::mt19937 rng(seed++);
            auto p = make_processor();
            processor_startup(*p);
            apply_factory_preset(*p, preset.id);
            reset_processor_state(*p);
            change_sample_rate(*p, rate);
            std::size_t at = 0;
            for (int segment = 0; segment < SEGMENTS; ++segment) {
                // The first segment plays the preset as it stands.
                if (segment > 0) {
                    randomise_panel(*p, rng);
                }
                const bool bypass = p->params.switches.bypass != 0;
                const std::size_t end = segment + 1 == SEGMENTS ? in.size() : at + segment_values;
                while (at < end) {
                    const int count =
                        static_cast<int>(std::min<std::size_t>(BLOCK_VALUES, end - at));
                    process_block(*p, count, in.data() + at, out.data() + at);
                    std::string which;
                    ASSERT_TRUE(finite_meters(*p, which)) << which << " in segment " << segment;
                    if (!bypass) {
                        for (int i = 0; i < count; ++i) {
                            ASSERT_LE(std::abs(static_cast<int>(out[at + i])), 32760)
                                << "value " << at + i << " in segment " << segment;
                        }
                    }
                    at += static_cast<std::size_t>(count);
                }
            }
        }
    }
}

// A busy configuration: every optional stage on, so every piece of state is exercised.
std::unique_ptr<Processor> busy_processor(int rate) {
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, 343);
    p->params.switches.noise_gate = 1;
    p->params.switches.virtual_room = 1;
    p->params.settings.stereo_type = 5;
    p->params.normalisation_gain = 2.0;
    reset_processor_state(*p);
    change_sample_rate(*p, rate);
    return p;
}

std::vector<int16_t> process_all(Processor& p, const std::vector<int16_t>& in, int block) {
    std::vector<int16_t> out(in.size());
    for (std::size_t at = 0; at < in.size(); at += static_cast<std::size_t>(block)) {
        const int count = static_cast<int>(std::min<std::size_t>(block, in.size() - at));
        process_block(p, count, in.data() + at, out.data() + at);
    }
    return out;
}

// The HF limiter's feedback (its detector reads its own gain-reduced output) must not run away
// when the drive knob is high: a gain reduction beyond 23169 would turn the gain negative and
// grow without bound, pinning the output at the rail for good.
TEST(EngineProperties, HfLimiterGainReductionStaysBoundedAtFullDrive) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, 343);
    p->params.settings.hf_threshold_db = -32.0;
    p->params.settings.hf_drive_db = 48.0;  // top of the knob
    change_sample_rate(*p, 44100);
    std::vector<int16_t> tone(BLOCK_VALUES);
    for (int n = 0; n < BLOCK_VALUES / 2; ++n) {
        const auto v = static_cast<int16_t>(
            std::lround(32000.0 * std::sin(2.0 * std::numbers::pi * 9000.0 * n / 44100.0)));
        tone[2 * n] = v;
        tone[2 * n + 1] = v;
    }
    const std::vector<int16_t> silence(BLOCK_VALUES, 0);
    std::vector<int16_t> out(BLOCK_VALUES);
    for (int block = 0; block < 10; ++block) {
        process_block(*p, BLOCK_VALUES, tone.data(), out.data());
        const ProcessorSettings& s = p->params.settings;
        ASSERT_TRUE(std::isfinite(s.hf_state_l) && std::isfinite(s.hf_state_r)) << block;
        ASSERT_GE(s.hf_gain_reduction_l, 0.0);
        ASSERT_LE(s.hf_gain_reduction_l, 23169.0) << block;
        ASSERT_LE(s.hf_gain_reduction_r, 23169.0) << block;
    }
    // After two seconds of silence the chain has let go of the tone.
    for (int block = 0; block < 22; ++block) {
        process_block(*p, BLOCK_VALUES, silence.data(), out.data());
    }
    for (int16_t v : out) {
        ASSERT_LE(std::abs(static_cast<int>(v)), 8);
    }
}

TEST(EngineProperties, SameInputAfterAResetGivesTheSameBytes) {
    enable_flush_denormals();
    for (int rate : RATES) {
        SCOPED_TRACE(rate);
        const std::vector<int16_t> in = music(rate, 1.5, 7);
        auto p = busy_processor(rate);
        const std::vector<int16_t> first = process_all(*p, in, BLOCK_VALUES);
        // What a second export of the same song does.
        reset_processor_state(*p);
        change_sample_rate(*p, rate);
        const std::vector<int16_t> second = process_all(*p, in, BLOCK_VALUES);
        EXPECT_TRUE(first == second);
        // And a fresh processor agrees with both.
        auto fresh = busy_processor(rate);
        EXPECT_TRUE(process_all(*fresh, in, BLOCK_VALUES) == first);
    }
}

TEST(EngineProperties, BlockBoundariesDoNotChangeTheStream) {
    enable_flush_denormals();
    const std::vector<int16_t> in = music(44100, 1.0, 11);
    auto whole = busy_processor(44100);
    auto pieces = busy_processor(44100);
    // 32768 is the export's chunk; 1026 values is not a power of two.
    const std::vector<int16_t> a = process_all(*whole, in, 32768);
    const std::vector<int16_t> b = process_all(*pieces, in, 1026);
    EXPECT_TRUE(a == b);
}

// The batch export runs one processor per worker: processors share nothing but the read-only
// coefficient sets, so two running at once give exactly what each gives alone.
TEST(EngineProperties, ProcessorsOnTwoThreadsDoNotInterfere) {
    const std::vector<int16_t> in48 = music(48000, 1.0, 21);
    const std::vector<int16_t> in32 = music(32000, 1.0, 22);
    std::vector<int16_t> together48;
    std::vector<int16_t> together32;
    // Each thread builds its processor itself, so when this test runs alone the first uses of
    // the coefficient sets happen on both threads at once.
    std::thread t1([&] {
        enable_flush_denormals();
        auto p = busy_processor(48000);
        together48 = process_all(*p, in48, BLOCK_VALUES);
    });
    std::thread t2([&] {
        enable_flush_denormals();
        auto p = busy_processor(32000);
        together32 = process_all(*p, in32, 4096);
    });
    t1.join();
    t2.join();
    std::vector<int16_t> alone48;
    std::vector<int16_t> alone32;
    {
        enable_flush_denormals();
        auto a = busy_processor(48000);
        alone48 = process_all(*a, in48, BLOCK_VALUES);
        auto b = busy_processor(32000);
        alone32 = process_all(*b, in32, BLOCK_VALUES);
    }
    EXPECT_TRUE(together48 == alone48);
    EXPECT_TRUE(together32 == alone32);
}

}  // namespace
}  // namespace zv
