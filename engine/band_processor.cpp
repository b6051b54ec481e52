#include "engine/band_processor.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace zv {

namespace {

constexpr double FULL_SCALE = 32767.0;

// Trunc of a double known to be finite and within the int range after clamping.
int clamped_length(double v, int lo, int hi) {
    if (!(v >= lo)) {
        return lo;
    }
    if (v >= hi) {
        return hi;
    }
    return static_cast<int>(v);
}

// Detector input o: the larger overshoot of the two channels, each channel taking the
// louder of its own side-chain sample and the coupled one.
[[gnu::always_inline]] inline double overshoot(Pair sidechain, Pair coupled, Pair t) {
    Pair m = max2(abs2(sidechain), abs2(coupled));
    Pair ov = max2(m - t, zero2());
    return std::max(lane_l(ov), lane_r(ov));
}

[[gnu::always_inline]] inline double overshoot(Pair sidechain, Pair t) {
    Pair ov = max2(abs2(sidechain) - t, zero2());
    return std::max(lane_l(ov), lane_r(ov));
}

[[gnu::always_inline]] inline void set_gain_reduction(ProcessorBand& band, double& peak,
                                                      double drive, double s) {
    double gr = std::clamp(drive * s, -GAIN_REDUCTION_LIMIT, GAIN_REDUCTION_LIMIT);
    band.gain_reduction = gr;
    peak = std::max(peak, gr);
}

// A band's audio path over the frames of a chunk, after the per-frame part has left its filter
// output times N, gain and gate gain in the scratch: audio look-ahead, a = D * u * gate gain, the
// band's own shaping (clipper, post filters), mix gain and output line; add puts the output
// into the mix. One band at a time, its line positions and sections stay in registers. The
// shape and add lambdas are marked always_inline: with the audio paths in two forms (gates on
// and off) g++ stopped inlining them in the plain lanes build, a call per band and frame
// (engine_scalar_bench preset 232: 113x -> 140x).
template <bool GATE, typename Shape, typename Add>
[[gnu::always_inline]] inline void audio_path(ProcessorState& s, const BandBlockFactors& bf, int b,
                                              int32_t frames, Shape shape, Add add) {
    BandDelayBlock& delays = s.band_delays[b];
    const BandScratch& w = s.band_scratch;
    const BandFactors& f = bf.band[b];
    const Pair mix = f.mix2;
    const int audio_len = f.audio_len;
    const int output_len = BAND_LATENCY_LINE - f.audio_len;
    int audio_pos = delays.audio.pos;
    int output_pos = delays.output.pos;
    Pair out = zero2();
    auto frame = [&](int32_t i, auto unwrapped) __attribute__((always_inline)) {
        Pair* audio = delays.audio.buf;
        Pair* output = delays.output.buf;
        Pair u = unwrapped ? lookahead_step_unwrapped(audio, audio_pos, w.filtered[b][i])
                           : lookahead_step(audio, audio_pos, w.filtered[b][i], audio_len);
        Pair a = splat(w.gain[b][i]) * u;
        // With the gates off the gate gain is 1: the product would be D * u unchanged (under
        // flush-to-zero D * u is never a denormal that DAZ could turn into 0).
        if constexpr (GATE) {
            a = a * splat(w.gate[b][i]);
        }
        out = unwrapped ? lookahead_step_unwrapped(output, output_pos, shape(a) * mix)
                        : lookahead_step(output, output_pos, shape(a) * mix, output_len);
        add(i, out);
    };
    // Runs of frames in which neither line reaches its end take the step without the wrap
    // tests (about 50 of 1330 instructions per frame).
    int32_t i = 0;
    while (i < frames) {
        const int32_t run =
            std::min({frames - i, audio_len - 2 - audio_pos, output_len - 2 - output_pos});
        if (run > 0) {
            for (const int32_t end = i + run; i < end; ++i) {
                frame(i, std::true_type{});
            }
        } else {
            frame(i, std::false_type{});
            ++i;
        }
    }
    delays.audio.pos = audio_pos;
    delays.output.pos = output_pos;
    s.band_block.out[b] = out;
}

[[gnu::always_inline]] inline Pair band_input(Pair& in_record, const BandFactors& f, Pair in) {
    in_record = in;
    return in * f.g2;
}

}  // namespace

double band_clip_slope(double band_clip_knee) {
    if (band_clip_knee < 0.5) {
        return 0.125;
    }
    if (band_clip_knee < 1.5) {
        return 0.0625;
    }
    return 0.0;
}

BandBlockFactors prepare_bands(const ProcessorParams& q) {
    BandBlockFactors bf;
    for (int b = 0; b < BAND_COUNT; ++b) {
        const ProcessorBand& band = q.bands[b];
        BandFactors& f = bf.band[b];
        f.g = std::pow(10.0, band.gain_db / 20.0);
        f.drive = std::pow(10.0, band.limiter_drive_db / 20.0);
        f.t_vca = FULL_SCALE * std::pow(10.0, band.vca_threshold_db / 20.0);
        f.t_clip = FULL_SCALE * std::pow(10.0, band.clip_threshold_db / 20.0);
        f.mix = std::pow(10.0, band.out_mix_db / 20.0);
        f.k_gate = std::pow(10.0, -band.gate_threshold_db / 20.0);
        // Both lines of a band must hold at least one position.
        f.audio_len = std::clamp(band.lookahead_len, 1, BAND_LATENCY_LINE - 1);
    }
    bf.normalisation = q.normalisation_gain;
    bf.clip_slope = band_clip_slope(q.settings.band_clip_knee);
    // 44.1 is used at every rate.
    bf.bass_attack_len = clamped_length(q.bands[0].bass_attack_ms * 44.1, 1, 4799);
    bool emphasis = choice_of(q.settings.preemphasis) != 0;
    bf.coupling_5 = emphasis ? 0.21 : 0.3;
    bf.coupling_6 = emphasis ? 0.707 : 1.0;
    bf.gate_on = q.switches.noise_gate == 1;
    for (BandFactors& f : bf.band) {
        f.g2 = splat(f.g);
        f.mix2 = splat(f.mix);
        f.t_clip2 = splat(f.t_clip);
        f.t_vca2 = splat(f.t_vca);
    }
    bf.normalisation2 = splat(bf.normalisation);
    bf.clip_slope2 = splat(bf.clip_slope);
    bf.coupling_52 = splat(bf.coupling_5);
    bf.coupling_62 = splat(bf.coupling_6);
    return bf;
}

namespace {

// Smoother lanes: pair k holds bands 2k + 2 and 2k + 3 (1-based), the last pair band 6 and
// an idle lane.
constexpr int SMOOTHER_PAIRS = 3;
constexpr int GATE_PAIRS = 3;  // bands (1, 2), (3, 4), (5, 6)
constexpr int band_of_lane(int k, int lane) {
    return 1 + 2 * k + lane;
}

StereoFirstOrder lanes_of(const FirstOrderSection& a, const FirstOrderSection* b) {
    FirstOrderSection idle;
    const FirstOrderSection& r = b != nullptr ? *b : idle;
    return StereoFirstOrder{pair(a.b0, r.b0), pair(a.b1, r.b1), pair(a.a1, r.a1), pair(a.x1, r.x1),
                            pair(a.y1, r.y1)};
}

void store_lanes(const StereoFirstOrder& lanes, FirstOrderSection& a, FirstOrderSection* b) {
    a.x1 = lane_l(lanes.x1);
    a.y1 = lane_l(lanes.y1);
    if (b != nullptr) {
        b->x1 = lane_r(lanes.x1);
        b->y1 = lane_r(lanes.y1);
    }
}

}  // namespace

void begin_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf) {
    BandSmoothing& sm = s.smoothing;
    BandBlockState& lanes = s.band_block;
    for (int k = 0; k < SMOOTHER_PAIRS; ++k) {
        int a = band_of_lane(k, 0);
        int b = band_of_lane(k, 1);
        bool has_b = b < BAND_COUNT;
        lanes.release[k] = lanes_of(sm.release[a], has_b ? &sm.release[b] : nullptr);
        lanes.attack[k] = lanes_of(sm.attack[a], has_b ? &sm.attack[b] : nullptr);
        lanes.copy[k] = lanes_of(sm.release_copy[a], has_b ? &sm.release_copy[b] : nullptr);
        lanes.program[k] =
            lanes_of(q.bands[a].program_section, has_b ? &q.bands[b].program_section : nullptr);
        lanes.drive[k] = pair(bf.band[a].drive, has_b ? bf.band[b].drive : 0.0);
        lanes.gain_reduction[k] =
            pair(q.bands[a].gain_reduction, has_b ? q.bands[b].gain_reduction : 0.0);
        const std::array<double, BAND_COUNT>& peaks = s.meters.band_gain_reduction_peak;
        lanes.gain_reduction_peak[k] = pair(peaks[a], has_b ? peaks[b] : 0.0);
    }
    for (int k = 0; k < GATE_PAIRS; ++k) {
        lanes.gate[k] = lanes_of(sm.gate[2 * k], &sm.gate[2 * k + 1]);
        lanes.k_gate[k] = pair(bf.band[2 * k].k_gate, bf.band[2 * k + 1].k_gate);
        lanes.gate_k[k] = pair(BAND_GATE_K[2 * k], BAND_GATE_K[2 * k + 1]);
    }
    for (int b = 0; b < BAND_COUNT; ++b) {
        ProcessorBand& band = q.bands[b];
        lanes.in[b] = pair(band.in_l, band.in_r);
        lanes.out[b] = pair(band.out_l, band.out_r);
        lanes.sidechain[b] = pair(band.sidechain_l, band.sidechain_r);
        if (!bf.gate_on) {
            band.gate_gain = 1.0;
            s.meters.gate_indicator[b] = 3;
        }
    }
}

void end_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf) {
    BandSmoothing& sm = s.smoothing;
    const BandBlockState& lanes = s.band_block;
    for (int k = 0; k < SMOOTHER_PAIRS; ++k) {
        int a = band_of_lane(k, 0);
        int b = band_of_lane(k, 1);
        bool has_b = b < BAND_COUNT;
        store_lanes(lanes.release[k], sm.release[a], has_b ? &sm.release[b] : nullptr);
        store_lanes(lanes.attack[k], sm.attack[a], has_b ? &sm.attack[b] : nullptr);
        store_lanes(lanes.copy[k], sm.release_copy[a], has_b ? &sm.release_copy[b] : nullptr);
        store_lanes(lanes.program[k], q.bands[a].program_section,
                    has_b ? &q.bands[b].program_section : nullptr);
        std::array<double, BAND_COUNT>& peaks = s.meters.band_gain_reduction_peak;
        q.bands[a].gain_reduction = lane_l(lanes.gain_reduction[k]);
        peaks[a] = lane_l(lanes.gain_reduction_peak[k]);
        if (has_b) {
            q.bands[b].gain_reduction = lane_r(lanes.gain_reduction[k]);
            peaks[b] = lane_r(lanes.gain_reduction_peak[k]);
        }
    }
    for (int b = 0; b < BAND_COUNT; ++b) {
        ProcessorBand& band = q.bands[b];
        band.in_l = lane_l(lanes.in[b]);
        band.in_r = lane_r(lanes.in[b]);
        band.out_l = lane_l(lanes.out[b]);
        band.out_r = lane_r(lanes.out[b]);
        band.sidechain_l = lane_l(lanes.sidechain[b]);
        band.sidechain_r = lane_r(lanes.sidechain[b]);
    }
    if (bf.gate_on) {
        for (int k = 0; k < GATE_PAIRS; ++k) {
            store_lanes(lanes.gate[k], sm.gate[2 * k], &sm.gate[2 * k + 1]);
            for (int lane = 0; lane < 2; ++lane) {
                ProcessorBand& band = q.bands[2 * k + lane];
                double v = lane == 0 ? lane_l(lanes.gate_gain[k]) : lane_r(lanes.gate_gain[k]);
                band.gate_gain = v;
                s.meters.gate_indicator[2 * k + lane] = v > 0.9    ? 3
                                                        : v > 0.5  ? 2
                                                        : v > 0.25 ? 1
                                                                   : 0;
            }
        }
    }
}

// The per-frame part of frame i: the pre-split, the band filters F, the gates and the gain
// computers, whose reductions feed back into the next frame's side chains. Leaves each band's
// filter output, audio gain and gate gain in the scratch for the audio paths. Its loops over
// bands are unrolled: kept as loops (g++ -O2), their counts and branches cost about 200 of
// the chain's 1800 instructions per frame.
namespace {

[[gnu::always_inline]] inline void gain_frame(ProcessorParams& q, ProcessorState& s,
                                              const BandBlockFactors& bf, Pair x, int32_t i) {
    ChainSections& cs = s.channels;
    BandSmoothing& sm = s.smoothing;
    BandBlockState& lanes = s.band_block;
    BandScratch& w = s.band_scratch;
    MeterSnapshot& meters = s.meters;
    const Pair low = step(cs.presplit_lp, x);
    const Pair high = step(cs.presplit_ap, x);
    const Pair zero = zero2();
    const Pair full_scale = splat(FULL_SCALE);

    // Each band's gain 1 - GR/32767 from the previous frame, bands 2 to 6 two at a time.
    double gain[BAND_COUNT];
    gain[0] = 1.0 - q.bands[0].gain_reduction / FULL_SCALE;
#pragma GCC unroll 3
    for (int k = 0; k < SMOOTHER_PAIRS; ++k) {
        Pair g = splat(1.0) - lanes.gain_reduction[k] / full_scale;
        gain[band_of_lane(k, 0)] = lane_l(g);
        if (band_of_lane(k, 1) < BAND_COUNT) {
            gain[band_of_lane(k, 1)] = lane_r(g);
        }
    }

    // Band filters F.
    const std::array<BandFactors, BAND_COUNT>& f6 = bf.band;
    Pair xf[BAND_COUNT];
    xf[0] = step(cs.band1_lp, band_input(lanes.in[0], f6[0], low));
    xf[1] = step(cs.band2_hp, band_input(lanes.in[1], f6[1], low));
    xf[2] = step(cs.band3_lp, step(cs.band3_hp, band_input(lanes.in[2], f6[2], high)));
    xf[3] = step(cs.band4_lp, step(cs.band4_hp, band_input(lanes.in[3], f6[3], high)));
    xf[4] = step(cs.band5_presence,
                 step(cs.band5_lp, step(cs.band5_hp, band_input(lanes.in[4], f6[4], high))));
    xf[5] = step(cs.band6_hp, band_input(lanes.in[5], f6[5], high));
    // N x F, for the audio paths and the side chains alike.
    const Pair n = bf.normalisation2;
    Pair nxf[BAND_COUNT];
#pragma GCC unroll 6
    for (int b = 0; b < BAND_COUNT; ++b) {
        nxf[b] = n * xf[b];
        w.filtered[b][i] = nxf[b];
    }

    // Noise gates, two bands per register: each gate section follows its band's louder
    // channel.
    if (bf.gate_on) {
#pragma GCC unroll 6
        for (int k = 0; k < GATE_PAIRS; ++k) {
            Pair a = abs2(xf[2 * k]);
            Pair b = abs2(xf[2 * k + 1]);
            Pair louder = max2(lefts(a, b), rights(a, b));
            Pair e = step(lanes.gate[k], louder);
            Pair v = lanes.k_gate[k] * e / splat(GATE_SCALE) * lanes.gate_k[k];
            v = min2(max2(v, zero), splat(1.0));
            lanes.gate_gain[k] = v;
            w.gate[2 * k][i] = lane_l(v);
            w.gate[2 * k + 1][i] = lane_r(v);
        }
    }

    // Audio gains: band 1 (160) uses its gain reduction delayed by the bass attack line.
    {
        ProcessorBand& band = q.bands[0];
        double dgr = step(s.band_delays[0].bass_attack, band.gain_reduction, bf.bass_attack_len);
        band.delayed_gain_reduction = dgr;
        w.gain[0][i] = 1.0 - dgr / FULL_SCALE;
    }
#pragma GCC unroll 6
    for (int b = 1; b < BAND_COUNT; ++b) {
        w.gain[b][i] = gain[b];
    }

    // Side chains N x F x G; bands 5 and 6 also hear bands 4 and 5.
    Pair sc[BAND_COUNT];
#pragma GCC unroll 6
    for (int b = 0; b < BAND_COUNT; ++b) {
        sc[b] = nxf[b] * splat(gain[b]);
        lanes.sidechain[b] = sc[b];
    }
    double o[BAND_COUNT];  // detector inputs
#pragma GCC unroll 6
    for (int b = 0; b < 4; ++b) {
        o[b] = overshoot(sc[b], f6[b].t_vca2);
    }
    o[4] = overshoot(sc[4], sc[3] * bf.coupling_52, f6[4].t_vca2);
    o[5] = overshoot(sc[5], sc[4] * bf.coupling_62, f6[5].t_vca2);

    // Gain computers. Band 1 follows its release section alone.
    set_gain_reduction(q.bands[0], meters.band_gain_reduction_peak[0], bf.band[0].drive,
                       step(sm.release[0], o[0]));
    // Bands 2 to 6: the attack and release sections share one state that rises at the faster
    // and falls at the slower rate; the program section blends in the free release copy.
    const Pair limit = splat(GAIN_REDUCTION_LIMIT);
#pragma GCC unroll 6
    for (int k = 0; k < SMOOTHER_PAIRS; ++k) {
        int a = band_of_lane(k, 0);
        int b = band_of_lane(k, 1);
        bool has_b = b < BAND_COUNT;
        Pair ov = pair(o[a], has_b ? o[b] : 0.0);
        Pair c = step(lanes.release[k], ov);
        Pair d = step(lanes.attack[k], ov);
        Pair m = max2(c, d);
        lanes.release[k].y1 = m;
        lanes.attack[k].y1 = m;
        Pair r = step(lanes.copy[k], ov);
        Pair w8 = min2(sqrt2(step(lanes.program[k], c + d) / full_scale), splat(1.0));
        Pair sv = (splat(1.0) - w8) * c + w8 * r;
        Pair gr = min2(max2(lanes.drive[k] * sv, zero - limit), limit);
        lanes.gain_reduction[k] = gr;
        // max2(gr, peak) takes gr exactly where std::max(peak, gr) does, NaN included.
        lanes.gain_reduction_peak[k] = max2(gr, lanes.gain_reduction_peak[k]);
    }
}

// Bands 3 (800) and 4 (1.6k): hard clip with restore, then their post filters.
template <bool GATE>
[[gnu::always_inline]] inline void restoring_band(ProcessorState& s, const BandBlockFactors& bf,
                                                  int b, int32_t frames,
                                                  StereoBiquad& restore_section,
                                                  StereoFirstOrder& post_section) {
    Pair* mix = s.band_scratch.mix;
    const Pair t = bf.band[b].t_clip2;
    const Pair zero = zero2();
    StereoBiquad restore = restore_section;
    StereoFirstOrder post = post_section;
    bool clipped = false;
    audio_path<GATE>(
        s, bf, b, frames,
        [&](Pair a) __attribute__((always_inline)) {
            Pair c = a;
            clipped |= clip2(c, t, zero);
            Pair restored = c + step(restore, a - c);
            return step(post, restored);
        },
        [&](int32_t i, Pair out) __attribute__((always_inline)) { mix[i] = mix[i] + out; });
    restore_section = restore;
    post_section = post;
    if (clipped) {
        s.meters.band_clip_flag[b] = 1;
    }
}

template <bool GATE>
[[gnu::always_inline]] inline void audio_paths(ProcessorState& s, const BandBlockFactors& bf,
                                               Pair* signal, int32_t frames) {
    ChainSections& cs = s.channels;
    Pair* mix = s.band_scratch.mix;
    std::array<int32_t, BAND_COUNT>& clip_flag = s.meters.band_clip_flag;
    const Pair zero = zero2();
    const Pair slope = bf.clip_slope2;

    // Band 1 (160): band clipper and 150 Hz post filter.
    {
        const Pair t = bf.band[0].t_clip2;
        StereoFirstOrder post = cs.band1_post;
        bool clipped = false;
        audio_path<GATE>(
            s, bf, 0, frames,
            [&](Pair a) __attribute__((always_inline)) {
                clipped |= clip2(a, t, slope);
                return step(post, a);
            },
            [&](int32_t i, Pair out) __attribute__((always_inline)) { mix[i] = out; });
        cs.band1_post = post;
        if (clipped) {
            clip_flag[0] = 1;
        }
    }
    // Band 2 (400): no clipper of its own; bands 1 and 2 are clipped together at band 2's
    // level, then low-passed.
    {
        const Pair t = bf.band[1].t_clip2;
        StereoFirstOrder recombine = cs.recombine_lp;
        bool clipped = false;
        audio_path<GATE>(
            s, bf, 1, frames, [](Pair a) __attribute__((always_inline)) { return a; },
            [&](int32_t i, Pair out) __attribute__((always_inline)) {
                Pair b12 = mix[i] + out;
                clipped |= clip2(b12, t, slope);
                mix[i] = step(recombine, b12);
            });
        cs.recombine_lp = recombine;
        if (clipped) {
            clip_flag[1] = 1;
        }
    }
    restoring_band<GATE>(s, bf, 2, frames, cs.band3_restore, cs.band3_post);
    restoring_band<GATE>(s, bf, 3, frames, cs.band4_restore, cs.band4_post);
    // Band 5 (3.2k): hard clip, 5900 Hz post filter.
    {
        const Pair t = bf.band[4].t_clip2;
        StereoFirstOrder post = cs.band5_post;
        bool clipped = false;
        audio_path<GATE>(
            s, bf, 4, frames,
            [&](Pair a) __attribute__((always_inline)) {
                clipped |= clip2(a, t, zero);
                return step(post, a);
            },
            [&](int32_t i, Pair out) __attribute__((always_inline)) { mix[i] = mix[i] + out; });
        cs.band5_post = post;
        if (clipped) {
            clip_flag[4] = 1;
        }
    }
    // Band 6 (6.4k): hard clip; the last band completes the mix V.
    {
        const Pair t = bf.band[5].t_clip2;
        bool clipped = false;
        audio_path<GATE>(
            s, bf, 5, frames,
            [&](Pair a) __attribute__((always_inline)) {
                clipped |= clip2(a, t, zero);
                return a;
            },
            [&](int32_t i, Pair out)
                __attribute__((always_inline)) { signal[i] = (mix[i] + out) * splat(MIX_LEVEL); });
        if (clipped) {
            clip_flag[5] = 1;
        }
    }
}

// The audio paths with or without the gate gains, chosen once per chunk. With the gates off
// (and N x F stored for both the audio paths and the side chains) preset 232 runs 1213 -> 1196
// instructions per frame; engine_bench 236x -> 238x median, ahead in each of six interleaved
// runs.
[[gnu::always_inline]] inline void dispatch_gates(ProcessorState& s, const BandBlockFactors& bf,
                                                  Pair* signal, int32_t frames) {
    if (bf.gate_on) {
        audio_paths<true>(s, bf, signal, frames);
    } else {
        audio_paths<false>(s, bf, signal, frames);
    }
}

}  // namespace

void band_gain_frame(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf, Pair x,
                     int32_t i) {
    gain_frame(q, s, bf, x, i);
}

void band_audio_paths(ProcessorState& s, const BandBlockFactors& bf, Pair* signal, int32_t frames) {
    dispatch_gates(s, bf, signal, frames);
}

#if ZV_AVX_VARIANT
ZV_TARGET_AVX void band_gain_frame_avx(ProcessorParams& q, ProcessorState& s,
                                       const BandBlockFactors& bf, Pair x, int32_t i) {
    gain_frame(q, s, bf, x, i);
}

ZV_TARGET_AVX void band_audio_paths_avx(ProcessorState& s, const BandBlockFactors& bf, Pair* signal,
                                        int32_t frames) {
    dispatch_gates(s, bf, signal, frames);
}
#endif

// The per-frame part runs over the chunk first; then each band's audio path runs over the
// chunk on its own, and the bands are added into the mix in their order.
void run_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf, Pair* signal,
               int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        band_gain_frame(q, s, bf, signal[i], i);
    }
    band_audio_paths(s, bf, signal, frames);
}

Pair run_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf, Pair x) {
    run_bands(q, s, bf, &x, 1);
    return x;
}

}  // namespace zv
