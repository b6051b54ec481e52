#include "export/true_peak.h"

#include <algorithm>
#include <cmath>

#include "engine/lanes.h"
#include "export/flush_to_zero.h"

#if ZV_SSE2_LANES
#include <immintrin.h>
#endif

namespace zv {

namespace {

// The interpolator's design: 49 taps; a coefficient or a distance from the centre this small
// counts as zero.
constexpr unsigned TRUE_PEAK_TAPS = 49;
constexpr double TRUE_PEAK_ALMOST_ZERO = 0.000001;
// Frames taken at a time: the buffer of one channel's chunk stays in the first-level cache.
constexpr size_t TRUE_PEAK_CHUNK_FRAMES = 2048;

unsigned oversampling_for(int32_t rate) {
    return rate < 96000 ? 4u : rate < 192000 ? 2u : 1u;
}

// An interpolated sample as the meter keeps it, as a magnitude.
inline double kept_magnitude(double sum) {
    const double v = static_cast<double>(static_cast<float>(sum));
    return v > -v ? v : -v;
}

// The largest kept magnitude of one branch over frames [from, frames) of x (x[n] the chunk's
// frame n, its history before it), at least `peak`; one output sample at a time.
double phase_peak_scalar(const double* x, size_t from, size_t frames,
                         const TruePeakMeter::Phase& phase, double peak) {
    const size_t taps = phase.coeff.size();
    for (size_t n = from; n < frames; ++n) {
        double sum = 0.0;
        for (size_t k = 0; k < taps; ++k)
            sum += *(x + n - static_cast<size_t>(phase.delay[k])) * phase.coeff[k];
        const double m = kept_magnitude(sum);
        if (m > peak)
            peak = m;
    }
    return peak;
}

#if ZV_SSE2_LANES

// Two output samples a register, four registers at once (the sums are chains of additions;
// four of them keep the adder busy). Returns the frames done, a multiple of 8.
size_t phase_peak_sse2(const double* x, size_t frames, const TruePeakMeter::Phase& phase,
                       double& peak) {
    const size_t taps = phase.coeff.size();
    const __m128d sign = _mm_set1_pd(-0.0);
    __m128d best = _mm_set1_pd(peak);
    size_t n = 0;
    for (; n + 8 <= frames; n += 8) {
        __m128d s0 = _mm_setzero_pd(), s1 = _mm_setzero_pd();
        __m128d s2 = _mm_setzero_pd(), s3 = _mm_setzero_pd();
        for (size_t k = 0; k < taps; ++k) {
            const double* in = x + n - static_cast<size_t>(phase.delay[k]);
            const __m128d c = _mm_set1_pd(phase.coeff[k]);
            s0 = _mm_add_pd(s0, _mm_mul_pd(_mm_loadu_pd(in), c));
            s1 = _mm_add_pd(s1, _mm_mul_pd(_mm_loadu_pd(in + 2), c));
            s2 = _mm_add_pd(s2, _mm_mul_pd(_mm_loadu_pd(in + 4), c));
            s3 = _mm_add_pd(s3, _mm_mul_pd(_mm_loadu_pd(in + 6), c));
        }
        // Rounded to float and back, as kept; a NaN never wins (max takes the second operand).
        for (__m128d s : {s0, s1, s2, s3})
            best = _mm_max_pd(_mm_andnot_pd(sign, _mm_cvtps_pd(_mm_cvtpd_ps(s))), best);
    }
    const __m128d high = _mm_unpackhi_pd(best, best);
    peak = _mm_cvtsd_f64(_mm_max_sd(high, best));
    return n;
}

#endif

#if ZV_AVX_VARIANT

// The same with four output samples a register.
ZV_TARGET_AVX size_t phase_peak_avx(const double* x, size_t frames,
                                    const TruePeakMeter::Phase& phase, double& peak) {
    const size_t taps = phase.coeff.size();
    const __m256d sign = _mm256_set1_pd(-0.0);
    __m256d best = _mm256_set1_pd(peak);
    size_t n = 0;
    for (; n + 16 <= frames; n += 16) {
        __m256d s0 = _mm256_setzero_pd(), s1 = _mm256_setzero_pd();
        __m256d s2 = _mm256_setzero_pd(), s3 = _mm256_setzero_pd();
        for (size_t k = 0; k < taps; ++k) {
            const double* in = x + n - static_cast<size_t>(phase.delay[k]);
            const __m256d c = _mm256_broadcast_sd(&phase.coeff[k]);
            s0 = _mm256_add_pd(s0, _mm256_mul_pd(_mm256_loadu_pd(in), c));
            s1 = _mm256_add_pd(s1, _mm256_mul_pd(_mm256_loadu_pd(in + 4), c));
            s2 = _mm256_add_pd(s2, _mm256_mul_pd(_mm256_loadu_pd(in + 8), c));
            s3 = _mm256_add_pd(s3, _mm256_mul_pd(_mm256_loadu_pd(in + 12), c));
        }
        best = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_cvtps_pd(_mm256_cvtpd_ps(s0))), best);
        best = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_cvtps_pd(_mm256_cvtpd_ps(s1))), best);
        best = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_cvtps_pd(_mm256_cvtpd_ps(s2))), best);
        best = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_cvtps_pd(_mm256_cvtpd_ps(s3))), best);
    }
    const __m128d half = _mm_max_pd(_mm256_extractf128_pd(best, 1), _mm256_castpd256_pd128(best));
    peak = _mm_cvtsd_f64(_mm_max_sd(_mm_unpackhi_pd(half, half), half));
    return n;
}

#endif

}  // namespace

TruePeakMeter::TruePeakMeter(int channels, int32_t rate)
    : channels_(std::max(1, channels)), peak_(static_cast<size_t>(std::max(1, channels)), 0.0) {
    const unsigned factor = oversampling_for(rate);
    if (factor == 1)
        return;
    phases_.resize(factor);
    for (unsigned j = 0; j < TRUE_PEAK_TAPS; ++j) {
        // A windowed sinc, computed as the meter computes it, so that the coefficients are
        // the same doubles.
        const double m = static_cast<double>(j) - static_cast<double>(TRUE_PEAK_TAPS - 1) / 2.0;
        double c = 1.0;
        if (std::fabs(m) > TRUE_PEAK_ALMOST_ZERO)
            c = std::sin(m * M_PI / factor) / (m * M_PI / factor);
        c *= 0.5 * (1 - std::cos(2 * M_PI * j / (TRUE_PEAK_TAPS - 1)));
        if (std::fabs(c) > TRUE_PEAK_ALMOST_ZERO) {
            Phase& phase = phases_[j % factor];
            phase.coeff.push_back(c);
            phase.delay.push_back(static_cast<int>(j / factor));
        }
    }
    history_ = (TRUE_PEAK_TAPS + factor - 1) / factor - 1;
    input_.assign(history_ + TRUE_PEAK_CHUNK_FRAMES, 0.0);
    tails_.assign(history_ * static_cast<size_t>(channels_), 0.0);
}

void TruePeakMeter::add(std::span<const int16_t> samples) {
    add_frames(samples.data(), samples.size() / static_cast<size_t>(channels_), 32768.0);
}

void TruePeakMeter::add(std::span<const float> samples) {
    add_frames(samples.data(), samples.size() / static_cast<size_t>(channels_), 1.0);
}

template <typename Sample>
void TruePeakMeter::add_frames(const Sample* samples, size_t frames, double scale) {
    if (phases_.empty())
        return;
    const FlushToZero flush;
    const double inverse = 1.0 / scale;
    const size_t channels = static_cast<size_t>(channels_);
    for (size_t done = 0; done < frames;) {
        const size_t chunk = std::min(TRUE_PEAK_CHUNK_FRAMES, frames - done);
        for (size_t c = 0; c < channels; ++c) {
            double* tail = tails_.data() + c * history_;
            std::copy(tail, tail + history_, input_.begin());
            const Sample* in = samples + done * channels + c;
            double* x = input_.data() + history_;
            // The input as the meter holds it: a float of the sample over full scale (a power
            // of two, so that the product by its inverse is the quotient exactly).
            for (size_t n = 0; n < chunk; ++n)
                x[n] = static_cast<double>(
                    static_cast<float>(static_cast<double>(in[n * channels]) * inverse));
            run_phases(static_cast<int>(c), chunk);
            std::copy(input_.begin() + static_cast<std::ptrdiff_t>(chunk),
                      input_.begin() + static_cast<std::ptrdiff_t>(chunk + history_), tail);
        }
        done += chunk;
    }
}

void TruePeakMeter::run_phases(int channel, size_t frames) {
    const double* x = input_.data() + history_;
    double& peak = peak_[static_cast<size_t>(channel)];
    for (const Phase& phase : phases_) {
        size_t from = 0;
#if ZV_AVX_VARIANT
        if (machine_runs_avx_loops())
            from = phase_peak_avx(x, frames, phase, peak);
        else
            from = phase_peak_sse2(x, frames, phase, peak);
#elif ZV_SSE2_LANES
        from = phase_peak_sse2(x, frames, phase, peak);
#endif
        peak = phase_peak_scalar(x, from, frames, phase, peak);
    }
}

}  // namespace zv
