#include "export/gated_loudness.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <new>

#include "export/flush_to_zero.h"

namespace zv {

namespace {

// The rates the loudness line takes.
constexpr int32_t GATED_MIN_RATE = 16;
constexpr int32_t GATED_MAX_RATE = 2822400;
// The longest block (3 s) in milliseconds, which sizes the library's ring.
constexpr int64_t GATED_WINDOW_MS = 3000;
// Chunks of 100 ms in a block: 400 ms for the integrated loudness, 3 s for the range; a 3 s
// block every ten chunks once there is one.
constexpr int32_t GATED_BLOCK_CHUNKS = 4;
constexpr int32_t GATED_TERM_CHUNKS = 30;
constexpr int64_t GATED_TERM_EVERY = 10;
// Our ring holds this many chunks more than the library's: a 3 s block due now is summed while
// the next ten chunks are filtered, and none of them overwrites a chunk it reads.
constexpr int64_t GATED_RING_SPARE = GATED_TERM_EVERY;
// In the fused loop each frame filtered sums this many frames of the 400 ms block due and of
// the 3 s block due: each is done within the chunks before the next is due.
constexpr size_t GATED_BLOCK_STEP = GATED_BLOCK_CHUNKS;
constexpr size_t GATED_TERM_STEP = GATED_TERM_CHUNKS / GATED_TERM_EVERY;

// The gates (energies): absolute at -70 LUFS, relative 10 LU below the mean for the integrated
// loudness and 20 LU below for the range.
double absolute_gate() {
    return std::pow(10.0, (-70.0 + 0.691) / 10.0);
}
double relative_gate_factor() {
    return std::pow(10.0, -10.0 / 10.0);
}
double range_gate_factor() {
    return std::pow(10.0, -20.0 / 10.0);
}

double energy_to_loudness(double energy) {
    return 10 * (std::log(energy) / std::log(10.0)) - 0.691;
}

}  // namespace

GatedLoudness::GatedLoudness(int channels, int32_t rate) : channels_(channels) {
    if ((channels != 1 && channels != 2) || rate < GATED_MIN_RATE || rate > GATED_MAX_RATE) {
        return;
    }
    const int64_t r = rate;
    chunk_frames_ = static_cast<size_t>((r + 5) / 10);
    const int64_t chunk = static_cast<int64_t>(chunk_frames_);
    int64_t frames = r * GATED_WINDOW_MS / 1000;
    if (frames % chunk != 0) {
        frames = frames + chunk - frames % chunk;
    }
    library_chunks_ = frames / chunk;
    ring_chunks_ = library_chunks_ + GATED_RING_SPARE;
    try {
        ring_.assign(2 * static_cast<size_t>(ring_chunks_) * chunk_frames_, 0.0);
        block_.chunks.reserve(static_cast<size_t>(library_chunks_));
        term_.chunks.reserve(static_cast<size_t>(library_chunks_));
    } catch (const std::bad_alloc&) {
        ring_ = {};
        return;
    }

    // The shelf and the high-pass, multiplied out into one section, as the library designs
    // them: the same expressions give the same coefficients.
    double f0 = 1681.974450955533;
    double G = 3.999843853973347;
    double Q = 0.7071752369554196;
    double K = std::tan(M_PI * f0 / static_cast<double>(rate));
    const double Vh = std::pow(10.0, G / 20.0);
    const double Vb = std::pow(Vh, 0.4996667741545416);
    double pb[3] = {0.0, 0.0, 0.0};
    double pa[3] = {1.0, 0.0, 0.0};
    const double rb[3] = {1.0, -2.0, 1.0};
    double ra[3] = {1.0, 0.0, 0.0};
    const double a0 = 1.0 + K / Q + K * K;
    pb[0] = (Vh + Vb * K / Q + K * K) / a0;
    pb[1] = 2.0 * (K * K - Vh) / a0;
    pb[2] = (Vh - Vb * K / Q + K * K) / a0;
    pa[1] = 2.0 * (K * K - 1.0) / a0;
    pa[2] = (1.0 - K / Q + K * K) / a0;
    f0 = 38.13547087602444;
    Q = 0.5003270373238773;
    K = std::tan(M_PI * f0 / static_cast<double>(rate));
    ra[1] = 2.0 * (K * K - 1.0) / (1.0 + K / Q + K * K);
    ra[2] = (1.0 - K / Q + K * K) / (1.0 + K / Q + K * K);
    b0_ = splat(pb[0] * rb[0]);
    b1_ = splat(pb[0] * rb[1] + pb[1] * rb[0]);
    b2_ = splat(pb[0] * rb[2] + pb[1] * rb[1] + pb[2] * rb[0]);
    b3_ = splat(pb[1] * rb[2] + pb[2] * rb[1]);
    b4_ = splat(pb[2] * rb[2]);
    a1_ = splat(pa[0] * ra[1] + pa[1] * ra[0]);
    a2_ = splat(pa[0] * ra[2] + pa[1] * ra[1] + pa[2] * ra[0]);
    a3_ = splat(pa[1] * ra[2] + pa[2] * ra[1]);
    a4_ = splat(pa[2] * ra[2]);
    ok_ = true;
}

void GatedLoudness::add(std::span<const int16_t> samples) {
    add_frames(samples.data(), samples.size() / static_cast<size_t>(std::max(1, channels_)),
               32768.0);
}

void GatedLoudness::add(std::span<const float> samples) {
    add_frames(samples.data(), samples.size() / static_cast<size_t>(std::max(1, channels_)), 1.0);
}

// The filter over `frames` frames of the chunk being filled, each frame also adding
// GATED_BLOCK_STEP frames of `blocks` to the 400 ms sum and GATED_TERM_STEP of `terms` to the
// 3 s sum when they run. The same operations per lane in the library's order.
template <typename Sample, int Channels, bool Blocks, bool Terms>
void GatedLoudness::filter_run(const Sample* in, size_t frames, Pair inverse, const double* blocks,
                               const double* terms) {
    Pair v1 = v1_, v2 = v2_, v3 = v3_, v4 = v4_, peak = peak_;
    Pair block_sum = block_.sum, term_sum = term_.sum;
    double* out = ring_.data() +
                  2 * (static_cast<size_t>(chunks_done_ % ring_chunks_) * chunk_frames_ + filled_);
    for (size_t i = 0; i < frames; ++i) {
        // The scale is a power of two: the product by its inverse is the quotient.
        Pair x;
        if constexpr (Channels == 2) {
            x = pair(static_cast<double>(in[2 * i]), static_cast<double>(in[2 * i + 1])) * inverse;
        } else {
            x = pair(static_cast<double>(in[i]), 0.0) * inverse;
        }
        peak = max2(abs2(x), peak);  // a NaN never wins
        const Pair v0 = x - a1_ * v1 - a2_ * v2 - a3_ * v3 - a4_ * v4;
        store_pair(out + 2 * i, b0_ * v0 + b1_ * v1 + b2_ * v2 + b3_ * v3 + b4_ * v4);
        v4 = v3;
        v3 = v2;
        v2 = v1;
        v1 = v0;
        if constexpr (Blocks) {
            for (size_t k = 0; k < GATED_BLOCK_STEP; ++k) {
                const Pair y = load_pair(blocks + 2 * (GATED_BLOCK_STEP * i + k));
                block_sum = block_sum + y * y;
            }
        }
        if constexpr (Terms) {
            for (size_t k = 0; k < GATED_TERM_STEP; ++k) {
                const Pair y = load_pair(terms + 2 * (GATED_TERM_STEP * i + k));
                term_sum = term_sum + y * y;
            }
        }
    }
    v1_ = v1;
    v2_ = v2;
    v3_ = v3;
    v4_ = v4;
    peak_ = peak;
    block_.sum = block_sum;
    term_.sum = term_sum;
}

template <typename Sample>
void GatedLoudness::add_frames(const Sample* samples, size_t frames, double scale) {
    if (!ok_ || frames == 0) {
        return;
    }
    fused_ = FlushToZero::on();
    if (!fused_) {
        finish_and_keep(block_, blocks_);
        finish_and_keep(term_, terms_);
    }
    const Pair inverse = splat(1.0 / scale);
    const size_t channels = static_cast<size_t>(channels_);
    while (frames > 0) {
        size_t n = std::min(frames, chunk_frames_ - filled_);
        if (!fit(block_, blocks_, GATED_BLOCK_STEP, n) || !fit(term_, terms_, GATED_TERM_STEP, n)) {
            continue;
        }
        const bool blocks = block_.active, terms = term_.active;
        const double* b = blocks ? frame_at(block_) : nullptr;
        const double* t = terms ? frame_at(term_) : nullptr;
        auto run = [&]<bool B, bool T>() {
            if (channels == 2) {
                filter_run<Sample, 2, B, T>(samples, n, inverse, b, t);
            } else {
                filter_run<Sample, 1, B, T>(samples, n, inverse, b, t);
            }
        };
        if (blocks && terms) {
            run.template operator()<true, true>();
        } else if (blocks) {
            run.template operator()<true, false>();
        } else if (terms) {
            run.template operator()<false, true>();
        } else if (fused_) {
            run.template operator()<false, false>();
        } else {
            const FlushToZero flush;  // the filter's results as the library's
            run.template operator()<false, false>();
        }
        summed(block_, blocks_, n * GATED_BLOCK_STEP);
        summed(term_, terms_, n * GATED_TERM_STEP);
        samples += n * channels;
        frames -= n;
        filled_ += n;
        if (filled_ == chunk_frames_) {
            filled_ = 0;
            ++chunks_done_;
            chunk_done();
        }
    }
    flush_state_by_hand();
}

// Each running sum's current chunk must hold its `per_frame` frames for every frame the fused
// loop filters: n is cut to what it holds. A sum within a step of its chunk's end goes on by
// itself to the chunk's end first (false: look again).
bool GatedLoudness::fit(BlockSum& sum, std::vector<double>& kept, size_t per_frame, size_t& n) {
    if (!sum.active) {
        return true;
    }
    const size_t left = chunk_frames_ - sum.done;
    if (left < per_frame) {
        advance(sum, left);
        keep_if_done(sum, kept);
        return false;
    }
    n = std::min(n, left / per_frame);
    return true;
}

// The fused loop summed `count` frames of the running sum's current chunk.
void GatedLoudness::summed(BlockSum& sum, std::vector<double>& kept, size_t count) {
    if (sum.active) {
        step(sum, count);
        keep_if_done(sum, kept);
    }
}

void GatedLoudness::chunk_done() {
    ++term_counter_;
    // The library's first block waits for four chunks; after that one is due every chunk.
    if (chunks_done_ < GATED_BLOCK_CHUNKS) {
        return;
    }
    flush_state_by_hand();
    finish_and_keep(block_, blocks_);
    begin_sum(block_, GATED_BLOCK_CHUNKS);
    if (!fused_) {
        finish_and_keep(block_, blocks_);
    }
    if (term_counter_ == GATED_TERM_CHUNKS) {
        // At the lowest rates (below about 150 Hz) the library's ring, rounded to whole
        // chunks, holds less than 3 s: it refuses every 3 s block, and the range stays 0.
        if (library_chunks_ >= GATED_TERM_CHUNKS) {
            finish_and_keep(term_, terms_);
            begin_sum(term_, GATED_TERM_CHUNKS);
            if (!fused_) {
                finish_and_keep(term_, terms_);
            }
        }
        term_counter_ = GATED_TERM_CHUNKS - GATED_TERM_EVERY;
    }
}

// Where the machine cannot flush results to zero, the library clears the filter's tiny states
// at the end of each of its filter calls: at each block due and at the end of each call.
void GatedLoudness::flush_state_by_hand() {
#if !ZV_SSE2_LANES
    for (Pair* v : {&v1_, &v2_, &v3_, &v4_}) {
        v->l = std::fabs(v->l) < DBL_MIN ? 0.0 : v->l;
        v->r = std::fabs(v->r) < DBL_MIN ? 0.0 : v->r;
    }
#endif
}

// The library's ring holds chunk n in slot n % library_chunks_; a block of `count` chunks
// sums the slots before the write position, wrapping to the ring's end, in slot order.
void GatedLoudness::begin_sum(BlockSum& sum, int32_t count) {
    const int64_t ring = library_chunks_;
    const int64_t last = chunks_done_ - 1;
    const int64_t written = last % ring + 1;  // the library's write position, in chunks
    sum.chunks.clear();
    auto take_slot = [&](int64_t slot) {
        const int64_t chunk = last - ((last - slot) % ring + ring) % ring;
        if (chunk >= 0) {  // a slot never written holds zeros, which add nothing
            sum.chunks.push_back(static_cast<size_t>(chunk % ring_chunks_) * chunk_frames_);
        }
    };
    if (written < count) {
        for (int64_t s = 0; s < written; ++s) {
            take_slot(s);
        }
        for (int64_t s = ring - (count - written); s < ring; ++s) {
            take_slot(s);
        }
    } else {
        for (int64_t s = written - count; s < written; ++s) {
            take_slot(s);
        }
    }
    sum.next = 0;
    sum.done = 0;
    sum.sum = zero2();
    sum.frames = static_cast<int64_t>(count) * static_cast<int64_t>(chunk_frames_);
    sum.active = true;
}

void GatedLoudness::step(BlockSum& sum, size_t count) const {
    sum.done += count;
    if (sum.done == chunk_frames_) {
        sum.done = 0;
        ++sum.next;
    }
}

void GatedLoudness::advance(BlockSum& sum, size_t count) const {
    const double* y = frame_at(sum);
    Pair s = sum.sum;
    for (size_t i = 0; i < count; ++i) {
        const Pair v = load_pair(y + 2 * i);
        s = s + v * v;
    }
    sum.sum = s;
    step(sum, count);
}

void GatedLoudness::complete(BlockSum& sum) const {
    while (sum.next < sum.chunks.size()) {
        advance(sum, chunk_frames_ - sum.done);
    }
}

double GatedLoudness::mean_square(const BlockSum& sum) const {
    double total = 0.0;
    total += lane_l(sum.sum);
    if (channels_ == 2) {
        total += lane_r(sum.sum);
    }
    return total / static_cast<double>(sum.frames);
}

void GatedLoudness::keep_if_done(BlockSum& sum, std::vector<double>& kept) {
    if (!sum.active || sum.next < sum.chunks.size()) {
        return;
    }
    sum.active = false;
    const double energy = mean_square(sum);
    if (energy >= absolute_gate()) {
        kept.push_back(energy);
    }
}

void GatedLoudness::finish_and_keep(BlockSum& sum, std::vector<double>& kept) {
    if (sum.active) {
        complete(sum);
        keep_if_done(sum, kept);
    }
}

std::vector<double> GatedLoudness::with_pending(const std::vector<double>& kept,
                                                const BlockSum& sum) const {
    std::vector<double> all = kept;
    if (sum.active) {
        BlockSum rest = sum;
        complete(rest);
        const double energy = mean_square(rest);
        if (energy >= absolute_gate()) {
            all.push_back(energy);
        }
    }
    return all;
}

double GatedLoudness::integrated_lufs() const {
    const double minus_infinity = -std::numeric_limits<double>::infinity();
    if (!ok_) {
        return minus_infinity;
    }
    const std::vector<double> blocks = with_pending(blocks_, block_);
    if (blocks.empty()) {
        return minus_infinity;
    }
    double threshold = 0.0;
    for (double z : blocks) {
        threshold += z;
    }
    threshold /= static_cast<double>(blocks.size());
    threshold *= relative_gate_factor();
    double gated = 0.0;
    size_t above = 0;
    for (double z : blocks) {
        if (z >= threshold) {
            ++above;
            gated += z;
        }
    }
    if (above == 0) {
        return minus_infinity;
    }
    gated /= static_cast<double>(above);
    return energy_to_loudness(gated);
}

double GatedLoudness::range_lu() const {
    if (!ok_) {
        return 0.0;
    }
    std::vector<double> terms = with_pending(terms_, term_);
    if (terms.empty()) {
        return 0.0;
    }
    std::sort(terms.begin(), terms.end());
    double power = 0.0;
    for (double z : terms) {
        power += z;
    }
    power /= static_cast<double>(terms.size());
    const double gate = range_gate_factor() * power;
    const auto first =
        std::find_if(terms.begin(), terms.end(), [&](double z) { return !(z < gate); });
    const size_t n = static_cast<size_t>(terms.end() - first);
    if (n == 0) {
        return 0.0;
    }
    const double high = first[static_cast<std::ptrdiff_t>(static_cast<double>(n - 1) * 0.95 + 0.5)];
    const double low = first[static_cast<std::ptrdiff_t>(static_cast<double>(n - 1) * 0.1 + 0.5)];
    return energy_to_loudness(high) - energy_to_loudness(low);
}

}  // namespace zv
