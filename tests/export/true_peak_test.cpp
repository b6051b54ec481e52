#include "export/true_peak.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "export/loudness.h"

namespace zv {
namespace {

// libebur128's own true peak of the samples fed in the same pieces: what the loudness line
// gave before the meter interpolated by itself, and must still give to the bit.
template <typename Sample>
std::vector<double> library_true_peaks(const std::vector<Sample>& samples, int channels, int rate,
                                       size_t piece) {
    ebur128_state* st = ebur128_init(static_cast<unsigned>(channels),
                                     static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK);
    EXPECT_NE(st, nullptr);
    for (size_t at = 0; at < samples.size();) {
        const size_t n = std::min(samples.size() - at, piece * static_cast<size_t>(channels));
        int result;
        if constexpr (std::is_same_v<Sample, int16_t>)
            result = ebur128_add_frames_short(st, samples.data() + at, n / channels);
        else
            result = ebur128_add_frames_float(st, samples.data() + at, n / channels);
        EXPECT_EQ(result, EBUR128_SUCCESS);
        at += n;
    }
    std::vector<double> peaks(static_cast<size_t>(channels));
    for (int c = 0; c < channels; ++c)
        ebur128_true_peak(st, static_cast<unsigned>(c), &peaks[static_cast<size_t>(c)]);
    ebur128_destroy(&st);
    return peaks;
}

// Ours: the interpolator's peak and the sample peak, the larger of the two.
template <typename Sample>
std::vector<double> our_true_peaks(const std::vector<Sample>& samples, int channels, int rate,
                                   size_t piece, double scale) {
    TruePeakMeter meter(channels, rate);
    std::vector<double> peaks(static_cast<size_t>(channels), 0.0);
    for (size_t at = 0; at < samples.size();) {
        const size_t n = std::min(samples.size() - at, piece * static_cast<size_t>(channels));
        meter.add(std::span<const Sample>(samples.data() + at, n));
        at += n;
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        const double v = static_cast<double>(samples[i]);
        double& p = peaks[i % static_cast<size_t>(channels)];
        if (std::fabs(v) / scale > p)
            p = std::fabs(v) / scale;
    }
    for (int c = 0; c < channels; ++c)
        peaks[static_cast<size_t>(c)] = std::max(peaks[static_cast<size_t>(c)], meter.peak(c));
    return peaks;
}

// Loud noise and a quarter-rate sine between its samples peak between the samples, above
// the sample peak, so any wrong product or sum in the interpolator shows; fed whole, frame by
// frame and in pieces that cross the meter's chunks, at the rates of each branch count.
TEST(TruePeakMeter, BitForBitTheLibrarysInterpolator) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> full(-32768, 32767);
    for (int rate : {44100, 48000, 96000, 176400, 192000}) {
        for (int channels : {1, 2}) {
            std::vector<int16_t> samples;
            for (int i = 0; i < 9000 * channels; ++i)
                samples.push_back(static_cast<int16_t>(full(random)));
            for (int i = 0; i < 5000; ++i) {
                const double s = 32767.0 * std::sin(M_PI / 2 * i + M_PI / 4);
                samples.insert(samples.end(), static_cast<size_t>(channels),
                               static_cast<int16_t>(std::lround(s)));
            }
            for (size_t piece :
                 {size_t{1}, size_t{13}, size_t{2047}, size_t{4099}, size_t{1 << 20}}) {
                if (piece == 1 && rate != 44100)
                    continue;
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels, "
                                                << piece << " frames a piece");
                const std::vector<double> want = library_true_peaks(samples, channels, rate, piece);
                EXPECT_EQ(our_true_peaks(samples, channels, rate, piece, 32768.0), want);
                if (rate < 192000) {
                    EXPECT_GT(want[0], 1.0);  // between the samples, above full scale
                }
            }
        }
    }
}

// Floats as they are: above full scale, a NaN and an infinity in a channel of their own, and
// samples so small that the interpolated ones are flushed to zero as the library flushes them.
TEST(TruePeakMeter, FloatsBeyondFullScaleNanAndTinyValues) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> wide(-3.0f, 3.0f);
    std::vector<float> samples;
    for (int i = 0; i < 6000; ++i) {
        samples.push_back(wide(random));
        samples.push_back(i == 3000 ? std::numeric_limits<float>::quiet_NaN() : wide(random));
    }
    // The NaN spoils the interpolated samples near it, which never count.
    const std::vector<double> got = our_true_peaks(samples, 2, 48000, 1000, 1.0);
    EXPECT_EQ(got, library_true_peaks(samples, 2, 48000, 1000));
    EXPECT_FALSE(std::isnan(got[1]));

    std::vector<float> tiny(4000);
    for (size_t i = 0; i < tiny.size(); ++i)
        tiny[i] = (i % 2 ? 1.0f : -1.0f) * 1e-39f;
    const std::vector<double> tiny_want = library_true_peaks(tiny, 1, 44100, 4000);
    EXPECT_EQ(our_true_peaks(tiny, 1, 44100, 4000, 1.0), tiny_want);

    std::vector<float> infinite(2000, 0.25f);
    infinite[700] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(our_true_peaks(infinite, 1, 44100, 512, 1.0),
              library_true_peaks(infinite, 1, 44100, 512));
}

// The loudness line's true peak through the meter equals the library's, in dBTP.
TEST(TruePeakMeter, LoudnessFiguresKeepTheLibrarysTruePeak) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 9000.0);
    std::vector<int16_t> samples(2 * 44100 * 3);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(std::clamp(std::lround(noise(random)), -32768L, 32767L));
    LoudnessMeter meter(2, 44100);
    meter.add(std::span<const int16_t>(samples));
    LoudnessFigures f;
    ASSERT_TRUE(meter.figures(f));
    const std::vector<double> want = library_true_peaks(samples, 2, 44100, 16384);
    EXPECT_EQ(f.true_peak_dbtp, 20.0 * std::log10(std::max(want[0], want[1])));
}

}  // namespace
}  // namespace zv
