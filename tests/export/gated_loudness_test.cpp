#include "export/gated_loudness.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

#include "engine/lanes.h"

#if ZV_SSE2_LANES
#include <xmmintrin.h>
#endif

namespace zv {
namespace {

// The library's figures and ours, asked at the same points of the same stream.
struct Figures {
    double integrated = 0.0;
    double range = 0.0;
    std::vector<double> peaks;
};

// The same double, a NaN (from a filter that is unstable at the lowest rates) for a NaN.
bool same(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

void expect_same(const Figures& library, const Figures& ours, const std::string& where) {
    // To the bit: the same doubles (the same infinity for silence).
    EXPECT_PRED2(same, library.integrated, ours.integrated) << where;
    EXPECT_PRED2(same, library.range, ours.range) << where;
    EXPECT_EQ(library.peaks, ours.peaks) << where;
}

// Feeds both meters the samples in pieces of `piece` frames and compares them halfway
// (a block still being summed is counted) and at the end.
template <typename Sample>
void compare(const std::vector<Sample>& samples, int channels, int rate, size_t piece,
             const std::string& what) {
    ebur128_state* st =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                     EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK);
    ASSERT_NE(st, nullptr);
    GatedLoudness ours(channels, rate);
    ASSERT_TRUE(ours.ok());
    const size_t ch = static_cast<size_t>(channels);
    const size_t total = samples.size() / ch;
    auto figures = [&](Figures& library, Figures& mine) {
        ebur128_loudness_global(st, &library.integrated);
        ebur128_loudness_range(st, &library.range);
        mine.integrated = ours.integrated_lufs();
        mine.range = ours.range_lu();
        for (int c = 0; c < channels; ++c) {
            double p = 0.0;
            ebur128_sample_peak(st, static_cast<unsigned>(c), &p);
            library.peaks.push_back(p);
            mine.peaks.push_back(ours.sample_peak(c));
        }
    };
    bool halfway = false;
    for (size_t at = 0; at < total;) {
        const size_t n = std::min(piece, total - at);
        const Sample* p = samples.data() + at * ch;
        if constexpr (std::is_same_v<Sample, int16_t>) {
            ebur128_add_frames_short(st, p, n);
        } else {
            ebur128_add_frames_float(st, p, n);
        }
        ours.add(std::span<const Sample>(p, n * ch));
        at += n;
        if (!halfway && at >= total / 2) {
            halfway = true;
            Figures library, mine;
            figures(library, mine);
            expect_same(library, mine, what + ", halfway");
        }
    }
    Figures library, mine;
    figures(library, mine);
    expect_same(library, mine, what);
    ebur128_destroy(&st);
}

// Noise whose level steps every 1.3 s across 40 dB (blocks on both sides of the relative
// gates and a range of many LU), then digital silence long enough for the filter's decay to
// pass through numbers too small for a normal double, then noise again.
std::vector<int16_t> stepped_noise(int rate, int channels, double seconds, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    const size_t frames = static_cast<size_t>(seconds * rate);
    const size_t silence_from = frames / 2, silence_to = frames / 2 + static_cast<size_t>(4 * rate);
    std::vector<int16_t> out;
    out.reserve(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const int step = static_cast<int>(static_cast<double>(i) / (1.3 * rate));
        const double level = 6000.0 * std::pow(10.0, -0.5 * (step % 5));
        for (int c = 0; c < channels; ++c) {
            const double v = (i >= silence_from && i < silence_to) ? 0.0 : level * noise(random);
            out.push_back(static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L)));
        }
    }
    return out;
}

class FlushMode {
public:
#if ZV_SSE2_LANES
    explicit FlushMode(bool on) : saved_(_mm_getcsr()) {
        // An export worker's mode (flush to zero, denormals are zero), or none.
        const unsigned both = _MM_FLUSH_ZERO_ON | 0x0040u;
        _mm_setcsr(on ? (saved_ | both) : (saved_ & ~both));
    }
    ~FlushMode() {
        _mm_setcsr(saved_);
    }

private:
    unsigned saved_;
#else
    explicit FlushMode(bool) {}
#endif
};

// Rates with rings of 30 chunks and one of 31 (44104 Hz), mono and stereo, fed whole, frame by
// frame and in pieces across the chunks, with and without an export worker's float mode (the
// fused loop and the sums when due).
TEST(GatedLoudness, BitForBitTheLibrary) {
    uint32_t seed = 1;
    for (int rate : {44100, 48000, 44104, 22050, 8000}) {
        for (int channels : {1, 2}) {
            const std::vector<int16_t> song = stepped_noise(rate, channels, 14.0, seed++);
            for (size_t piece : {size_t{1}, size_t{1237}, size_t{8192}, size_t{1} << 24}) {
                if (piece == 1 && rate != 44104) {
                    continue;  // frame by frame once is enough
                }
                for (bool flush : {true, false}) {
                    const FlushMode mode(flush);
                    compare(song, channels, rate, piece,
                            std::to_string(rate) + " Hz, " + std::to_string(channels) +
                                " channels, pieces of " + std::to_string(piece) +
                                (flush ? ", flushing" : ""));
                }
            }
        }
    }
}

// Floats: tiny values that are subnormal in a float, full scale and beyond, an infinity and a
// NaN (which poisons every later block in both), and songs too short for a block or a range.
TEST(GatedLoudness, FloatsEdgesAndShortSongs) {
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::vector<float> song;
    for (int i = 0; i < 48000 * 5 * 2; ++i) {
        song.push_back(i < 48000 ? 1e-40f * static_cast<float>(i % 7) : noise(random) * 1.5f);
    }
    for (bool flush : {true, false}) {
        const FlushMode mode(flush);
        compare(song, 2, 48000, 999, "floats");
        std::vector<float> poisoned = song;
        poisoned[48000 * 6] = std::numeric_limits<float>::infinity();
        poisoned[48000 * 8 + 1] = std::numeric_limits<float>::quiet_NaN();
        compare(poisoned, 2, 48000, 4096, "floats with an infinity and a NaN");
        const std::vector<int16_t> shorter = stepped_noise(44100, 2, 0.35, 3);
        compare(shorter, 2, 44100, 512, "shorter than a block");
        const std::vector<int16_t> no_range = stepped_noise(44100, 1, 2.9, 4);
        compare(no_range, 1, 44100, 512, "shorter than a 3 s block");
        compare(std::vector<int16_t>(44100 * 2 * 5, 0), 2, 44100, 4096, "silence");
    }
}

// The lowest rates: rings of fewer than 30 chunks, where the library takes no 3 s block.
TEST(GatedLoudness, LowestRatesAsTheLibrary) {
    for (int rate : {16, 100, 145, 151, 1000}) {
        for (int channels : {1, 2}) {
            const std::vector<int16_t> song = stepped_noise(rate, channels, 40.0, 9);
            compare(song, channels, rate, 7, std::to_string(rate) + " Hz");
        }
    }
}

TEST(GatedLoudness, RefusesWhatTheLibraryRefuses) {
    for (auto [channels, rate] : {std::pair{0, 44100}, {3, 44100}, {2, 15}, {2, 2822401}}) {
        GatedLoudness meter(channels, rate);
        EXPECT_FALSE(meter.ok());
        meter.add(std::span<const int16_t>());
        EXPECT_EQ(meter.integrated_lufs(), -std::numeric_limits<double>::infinity());
    }
    EXPECT_TRUE(GatedLoudness(2, 16).ok());
}

}  // namespace
}  // namespace zv
