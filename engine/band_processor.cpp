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

// A band's audio path over the frames of a chunk, after the per-frame part has left its filter
// output times N, gain and gate gain in the scratch: audio look-ahead, a = D * u * gate gain, the
// band's own shaping (clipper, post filters), mix gain and output line; add puts the output
// into the mix. One band at a time, its line positions and sections stay in registers. The
// shape and add lambdas are marked always_inline: with the audio paths in two forms (gates on
// and off) g++ stopped inlining them in the plain lanes build, a call per band and frame
// (engine_scalar_bench preset 232: 113x -> 140x).
template <bool GATE, typename Shape, typename Add>
[[gnu::always_inline]] inline void audio_path(ProcessorState& s, const BandBlockFactors& bf,
                                              const BandScratch& w, int b, int32_t frames,
                                              Shape shape, Add add) {
    BandDelayBlock& delays = s.band_delays[b];
    const BandFactors& f = bf.band[b];
    // The band's lanes in the scratch: its left and right of N x F, its gain lane.
    const double* filtered = &w.filtered[b / 2][0].v[2 * (b % 2)];
    const GainLane lane = GAIN_LANE_OF_BAND[b];
    const double* gain = &w.gain[lane.quad][0].v[lane.lane];
    const double* gate = &w.gate[lane.quad][0].v[lane.lane];
    const Pair mix = f.mix2;
    const int audio_len = f.audio_len;
    const int output_len = BAND_LATENCY_LINE - f.audio_len;
    int audio_pos = delays.audio.pos;
    int output_pos = delays.output.pos;
    Pair out = zero2();
    auto frame = [&](int32_t i, auto unwrapped) __attribute__((always_inline)) {
        Pair* audio = delays.audio.buf;
        Pair* output = delays.output.buf;
        const Pair nf = load_pair(filtered + 4 * i);
        Pair u = unwrapped ? lookahead_step_unwrapped(audio, audio_pos, nf)
                           : lookahead_step(audio, audio_pos, nf, audio_len);
        Pair a = splat(gain[4 * i]) * u;
        // With the gates off the gate gain is 1: the product would be D * u unchanged (under
        // flush-to-zero D * u is never a denormal that DAZ could turn into 0).
        if constexpr (GATE) {
            a = a * splat(gate[4 * i]);
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
    s.back.band_out[b] = out;
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
    const std::array<BandFactors, BAND_COUNT>& f = bf.band;
    bf.gain_2_3 = quad_lanes(f[1].g, f[1].g, f[2].g, f[2].g);
    bf.gain_4_5 = quad_lanes(f[3].g, f[3].g, f[4].g, f[4].g);
    const double n = bf.normalisation;
    bf.normalisation4 = quad_lanes(n, n, n, n);
    bf.coupling4 = quad_lanes(bf.coupling_5, bf.coupling_5, bf.coupling_6, bf.coupling_6);
    for (int k = 0; k < 3; ++k) {
        const double t = f[2 * k].t_vca;
        const double u = f[2 * k + 1].t_vca;
        bf.t_vca4[k] = quad_lanes(t, t, u, u);
    }
    return bf;
}

namespace {

void set_lane(QuadLanes& q, int lane, double v) {
    q.v[lane] = v;
}

void set_lane(QuadFirstOrder& q, int lane, const FirstOrderSection& s) {
    q.b0.v[lane] = s.b0;
    q.b1.v[lane] = s.b1;
    q.a1.v[lane] = s.a1;
    q.x1.v[lane] = s.x1;
    q.y1.v[lane] = s.y1;
}

void get_lane(const QuadFirstOrder& q, int lane, FirstOrderSection& s) {
    s.x1 = q.x1.v[lane];
    s.y1 = q.y1.v[lane];
}

}  // namespace

void begin_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf) {
    const ChainSections& cs = s.channels;
    const BandSmoothing& sm = s.smoothing;
    BandBlockState& st = s.band_block;
    set_halves(st.presplit, cs.presplit_lp, cs.presplit_ap);
    set_halves(st.highpass_2_3, cs.band2_hp, cs.band3_hp);
    set_halves(st.highpass_4_5, cs.band4_hp, cs.band5_hp);
    st.highpass_6 = cs.band6_hp;
    set_halves(st.lowpass_3_4, cs.band3_lp, cs.band4_lp);
    st.lowpass_5 = cs.band5_lp;
    set_halves(st.lowpass_1_presence_5, cs.band1_lp, cs.band5_presence);
    for (int g = 0; g < 2; ++g) {
        for (int lane = 0; lane < 4; ++lane) {
            const int b = BAND_OF_GAIN_LANE[g][lane];
            set_lane(st.release[g], lane, sm.release[b]);
            set_lane(st.attack[g], lane, sm.attack[b]);
            set_lane(st.copy[g], lane, sm.release_copy[b]);
            set_lane(st.program[g], lane, q.bands[b].program_section);
            set_lane(st.gate[g], lane, sm.gate[b]);
            set_lane(st.drive[g], lane, bf.band[b].drive);
            set_lane(st.gain_reduction[g], lane, q.bands[b].gain_reduction);
            set_lane(st.gain_reduction_peak[g], lane, s.meters.band_gain_reduction_peak[b]);
            set_lane(st.k_gate[g], lane, bf.band[b].k_gate);
            set_lane(st.gate_k[g], lane, BAND_GATE_K[b]);
            set_lane(st.gate_gain[g], lane, q.bands[b].gate_gain);
        }
    }
    const ProcessorBand* band = q.bands.data();
    set_halves(st.split, pair(band[0].in_l, band[0].in_r), pair(band[2].in_l, band[2].in_r));
    for (int k = 0; k < 3; ++k) {
        set_halves(st.sidechain[k], pair(band[2 * k].sidechain_l, band[2 * k].sidechain_r),
                   pair(band[2 * k + 1].sidechain_l, band[2 * k + 1].sidechain_r));
    }
    for (int b = 0; b < BAND_COUNT; ++b) {
        s.back.band_out[b] = pair(band[b].out_l, band[b].out_r);
        if (!bf.gate_on) {
            q.bands[b].gate_gain = 1.0;
            s.meters.gate_indicator[b] = 3;
        }
    }
}

// A block runs at least one frame between begin_bands and end_bands: the input records of
// bands 2, 4, 5 and 6 are the pre-split's of the last frame.
void end_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf) {
    ChainSections& cs = s.channels;
    BandSmoothing& sm = s.smoothing;
    const BandBlockState& st = s.band_block;
    get_halves(st.presplit, cs.presplit_lp, cs.presplit_ap);
    get_halves(st.highpass_2_3, cs.band2_hp, cs.band3_hp);
    get_halves(st.highpass_4_5, cs.band4_hp, cs.band5_hp);
    cs.band6_hp = st.highpass_6;
    get_halves(st.lowpass_3_4, cs.band3_lp, cs.band4_lp);
    cs.band5_lp = st.lowpass_5;
    get_halves(st.lowpass_1_presence_5, cs.band1_lp, cs.band5_presence);
    for (int b = 0; b < BAND_COUNT; ++b) {
        const GainLane lane = GAIN_LANE_OF_BAND[b];
        const int g = lane.quad;
        ProcessorBand& band = q.bands[b];
        get_lane(st.release[g], lane.lane, sm.release[b]);
        // Band 1 has no attack, copy or program section of its own at work.
        if (b > 0) {
            get_lane(st.attack[g], lane.lane, sm.attack[b]);
            get_lane(st.copy[g], lane.lane, sm.release_copy[b]);
            get_lane(st.program[g], lane.lane, band.program_section);
        }
        band.gain_reduction = st.gain_reduction[g].v[lane.lane];
        s.meters.band_gain_reduction_peak[b] = st.gain_reduction_peak[g].v[lane.lane];
        if (bf.gate_on) {
            get_lane(st.gate[g], lane.lane, sm.gate[b]);
            const double v = st.gate_gain[g].v[lane.lane];
            band.gate_gain = v;
            s.meters.gate_indicator[b] = v > 0.9 ? 3 : v > 0.5 ? 2 : v > 0.25 ? 1 : 0;
        }
        const Pair in = b < 2 ? low_half(st.split) : high_half(st.split);
        band.in_l = lane_l(in);
        band.in_r = lane_r(in);
        const Pair sc = b % 2 == 0 ? low_half(st.sidechain[b / 2]) : high_half(st.sidechain[b / 2]);
        band.sidechain_l = lane_l(sc);
        band.sidechain_r = lane_r(sc);
        band.out_l = lane_l(s.back.band_out[b]);
        band.out_r = lane_r(s.back.band_out[b]);
    }
}

// The per-frame part in its two builds (band_frame_lanes.inc).
namespace quad_pairs {
#include "engine/band_frame_lanes.inc"
}  // namespace quad_pairs
#if ZV_AVX_VARIANT
ZV_AVX_REGION_BEGIN
namespace quad_avx {
#include "engine/band_frame_lanes.inc"
}  // namespace quad_avx
ZV_AVX_REGION_END
#endif

namespace {

// Bands 3 (800) and 4 (1.6k): hard clip with restore, then their post filters.
template <bool GATE>
[[gnu::always_inline]] inline void restoring_band(ProcessorState& s, const BandBlockFactors& bf,
                                                  const BandScratch& w, int b, int32_t frames,
                                                  StereoBiquad& restore_section,
                                                  StereoFirstOrder& post_section) {
    Pair* mix = s.back.mix;
    const Pair t = bf.band[b].t_clip2;
    const Pair zero = zero2();
    StereoBiquad restore = restore_section;
    StereoFirstOrder post = post_section;
    bool clipped = false;
    audio_path<GATE>(
        s, bf, w, b, frames,
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
                                               const BandScratch& w, Pair* signal, int32_t frames) {
    ChainSections& cs = s.channels;
    Pair* mix = s.back.mix;
    std::array<int32_t, BAND_COUNT>& clip_flag = s.meters.band_clip_flag;
    const Pair zero = zero2();
    const Pair slope = bf.clip_slope2;

    // Band 1 (160): band clipper and 150 Hz post filter.
    {
        const Pair t = bf.band[0].t_clip2;
        StereoFirstOrder post = cs.band1_post;
        bool clipped = false;
        audio_path<GATE>(
            s, bf, w, 0, frames,
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
            s, bf, w, 1, frames, [](Pair a) __attribute__((always_inline)) { return a; },
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
    restoring_band<GATE>(s, bf, w, 2, frames, cs.band3_restore, cs.band3_post);
    restoring_band<GATE>(s, bf, w, 3, frames, cs.band4_restore, cs.band4_post);
    // Band 5 (3.2k): hard clip, 5900 Hz post filter.
    {
        const Pair t = bf.band[4].t_clip2;
        StereoFirstOrder post = cs.band5_post;
        bool clipped = false;
        audio_path<GATE>(
            s, bf, w, 4, frames,
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
            s, bf, w, 5, frames,
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
                                                  const BandScratch& w, Pair* signal,
                                                  int32_t frames) {
    if (bf.gate_on) {
        audio_paths<true>(s, bf, w, signal, frames);
    } else {
        audio_paths<false>(s, bf, w, signal, frames);
    }
}

}  // namespace

void band_gain_frame(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf, Pair x,
                     int32_t i, BandScratch& w) {
    quad_pairs::gain_frame(q, s, bf, x, i, w);
}

void band_audio_paths(ProcessorState& s, const BandBlockFactors& bf, const BandScratch& w,
                      Pair* signal, int32_t frames) {
    dispatch_gates(s, bf, w, signal, frames);
}

#if ZV_AVX_VARIANT
ZV_TARGET_AVX void band_gain_frame_avx(ProcessorParams& q, ProcessorState& s,
                                       const BandBlockFactors& bf, Pair x, int32_t i,
                                       BandScratch& w) {
    quad_avx::gain_frame(q, s, bf, x, i, w);
}

ZV_TARGET_AVX void band_audio_paths_avx(ProcessorState& s, const BandBlockFactors& bf,
                                        const BandScratch& w, Pair* signal, int32_t frames) {
    dispatch_gates(s, bf, w, signal, frames);
}
#endif

// The per-frame part runs over the chunk first; then each band's audio path runs over the
// chunk on its own, and the bands are added into the mix in their order.
void run_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf, Pair* signal,
               int32_t frames) {
    BandScratch& w = s.handoff.bands;
    for (int32_t i = 0; i < frames; ++i) {
        band_gain_frame(q, s, bf, signal[i], i, w);
    }
    band_audio_paths(s, bf, w, signal, frames);
}

Pair run_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& bf, Pair x) {
    run_bands(q, s, bf, &x, 1);
    return x;
}

}  // namespace zv
