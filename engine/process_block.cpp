// The block processor: per-block preparation, then the chain over chunks of frames, in its
// front and back halves (chain_halves.h).
#include <algorithm>
#include <cmath>

#include "engine/band_processor.h"
#include "engine/chain_halves.h"
#include "engine/processor.h"
#include "engine/stereo_stages.h"

namespace zv {

namespace {

constexpr double FULL_SCALE = 32767.0;
constexpr double FINAL_CLIP_SCALE = 32000.0;  // the final clipper's 0 dB
constexpr double AGC_SCALE = 23169.0;         // 32767 / sqrt(2), truncated
constexpr double EMPHASIS_MAIN_GAIN = 1.584;
constexpr double CLIP_LAMP_LEVEL = 32020.0;
constexpr double OUTPUT_LIMIT = 32760.0;
constexpr double ADAPTIVE_CLIP_MAX = 0.5;
constexpr int BAND_LATENCY = 880;  // the bands' delay as exports count it, whatever the release

double db_to_linear(double db) {
    return std::pow(10.0, db / 20.0);
}

// The HF limiter's detector state and gain reduction per channel.
struct HfLimiterRun {
    Pair state;
    Pair reduction;
};

BlockFactors prepare_block(ProcessorParams& q, const ProcessorState& s) {
    ProcessorSettings& st = q.settings;
    const ProcessorSwitches& sw = q.switches;
    BlockFactors b;
    b.agc_drive = db_to_linear(st.agc_drive_db);
    b.agc_threshold = FULL_SCALE * db_to_linear(st.agc_threshold_db);
    b.final_clip = FINAL_CLIP_SCALE * db_to_linear(st.final_clip_threshold_db);
    b.hf_threshold = FULL_SCALE * db_to_linear(st.hf_threshold_db);
    b.hf_drive = db_to_linear(st.hf_drive_db);
    b.overshoot = FULL_SCALE * db_to_linear(st.overshoot_threshold_db);
    b.agc_speed = std::clamp(choice_of(st.agc_release + 0.5), 1, 4);
    // The stored value is overwritten; NaN (no valid gain at all) becomes 1.
    double n = q.normalisation_gain;
    q.normalisation_gain = n >= 1.0 ? std::min(n, 16.0) : 1.0;
    b.agc_ceiling = AGC_SCALE - b.agc_threshold;

    b.emphasis = choice_of(st.preemphasis);
    b.emphasis_gain = b.emphasis == 2 ? s.emphasis_gain_75us : s.emphasis_gain_50us;
    b.bypass = sw.bypass != 0;
    int channels = choice_of(q.test_channels);
    b.keep_left_only = !b.bypass && channels == 0;
    b.keep_right_only = !b.bypass && channels == 2;
    b.bass_phase = sw.bass_phase == 1 && !b.bypass;
    b.bass_eq = q.bass_eq_gain_db != 0.0 && sw.bass_eq_off == 0 && !b.bypass;
    b.virtual_room = sw.virtual_room == 1;
    b.hard_final_clip = choice_of(st.final_clip_type) != 0;
    int lpf = choice_of(q.final_lpf);
    b.final_fir = lpf == 1 || lpf == 2;
    b.deemphasis = (b.emphasis == 1 || b.emphasis == 2) && sw.deemphasis == 1;
    b.agc_threshold2 = splat(b.agc_threshold);
    b.agc_drive2 = splat(b.agc_drive);
    b.agc_floor2 = splat(-b.agc_ceiling);
    b.agc_ceiling2 = splat(b.agc_ceiling);
    b.final_clip2 = splat(b.final_clip);
    b.hf_threshold2 = splat(b.hf_threshold);
    b.hf_drive2 = splat(b.hf_drive);
    b.emphasis_gain2 = splat(b.emphasis_gain);
    b.overshoot2 = splat(b.overshoot);
    return b;
}

// Pre-emphasis with the HF limiter: the limiter looks at the state of the previous frame and
// acts on H delayed by 65 frames, so M is delayed alike.
[[gnu::always_inline]] inline Pair emphasis_and_limiter(ProcessorState& s, const BlockFactors& b,
                                                        HfLimiterRun& run, Pair x) {
    ChainSections& cs = s.channels;
    Pair m = splat(EMPHASIS_MAIN_GAIN) * step(cs.emphasis_main, x);
    Pair h = step(cs.hf_hp, m) * b.emphasis_gain2;

    Pair over = max2(abs2(run.state) - b.hf_threshold2, zero2());
    // The detector reads the limiter's own output, so a reduction past 23169 (a negative
    // gain) would feed back and grow without bound at high drive; it stops at full reduction.
    const Pair full = splat(AGC_SCALE);
    run.reduction = min2(step(cs.hf_gr_lp, over) * b.hf_drive2, full);
    Pair gain = splat(1.0) - run.reduction / full;
    run.state = gain * h;

    HfLimiterLines& lines = s.hf_lines;
    int p = lines.pos;
    Pair m_late = lines.main[p];
    Pair h_late = lines.high[p];
    lines.main[p] = m;
    lines.high[p] = h;
    lines.pos = p + 1 == HF_LIMITER_DELAY ? 0 : p + 1;

    Pair hf = gain * h_late;
    double peak = std::max(lane_l(hf), lane_r(hf));
    if (peak > s.meters.hf_limit_peak) {
        s.meters.hf_limit_peak = peak;
    }
    return m_late + hf;
}

// Two-band AGC. The gains used are those of the previous frame; the low band's detector runs
// in the left lane of the detector sections and the high band's in the right.
[[gnu::always_inline]] inline Pair agc(AgcSections& a, const BlockFactors& b, Pair& gains, Pair x) {
    const Pair zero = zero2();
    Pair g = splat(1.0) - gains / splat(AGC_SCALE);
    Pair lo = step(a.split_lp, x) * lefts(g, g);
    Pair hi = step(a.split_hp, x) * rights(g, g);
    Pair over_lo = max2(abs2(lo) - b.agc_threshold2, zero);
    Pair over_hi = max2(abs2(hi) - b.agc_threshold2, zero);
    Pair o = pair(std::max(lane_l(over_lo), lane_r(over_lo)),
                  std::max(lane_l(over_hi), lane_r(over_hi)));
    Pair s1 = step(a.slow, o);
    Pair s2 = step(a.speed[b.agc_speed - 1], o);
    Pair next = max2(s1, s2) * b.agc_drive2;
    // Lower bound first: a negative ceiling holds the state at the ceiling.
    next = max2(next, b.agc_floor2);
    gains = min2(next, b.agc_ceiling2);
    return lo + hi;
}

// Final clipper: hard with the low part of the clipped-off signal put back, or adaptive,
// which only lowers the gain of V (delayed 2 frames) by how much was over.
[[gnu::always_inline]] inline Pair final_clipper(StereoFirstOrder& lp,
                                                 StereoDelayLine<FINAL_CLIP_DELAY>& line,
                                                 const BlockFactors& b, Pair v) {
    Pair c = v;
    clip2(c, b.final_clip2, zero2());
    if (b.hard_final_clip) {
        return c + step(lp, v - c);
    }
    Pair z = splat(2.0) * step(lp, abs2(v - c)) / splat(FULL_SCALE);
    z = min2(max2(z, zero2()), splat(ADAPTIVE_CLIP_MAX));
    Pair late = step(line, v, FINAL_CLIP_DELAY);
    return (splat(1.0) - z) * late;
}

// The input of the chain: the dithered input (the bypass output), the input high-pass and the
// enhancer, into the handoff's signal.
template <bool AVX>
[[gnu::always_inline]] inline void input_phase(ProcessorState& s, const BlockFactors& b,
                                               const EnhancerFactors& enhancer, const int16_t* in,
                                               int32_t frames, ChunkHandoff& handoff) {
    ChainSections& cs = s.channels;
    Pair* signal = handoff.signal;
    MeterSnapshot& meters = s.meters;
    double peak_l = meters.input_peak_l, peak_r = meters.input_peak_r;
    // The chunk loops hold their sections (and the dither) in locals: kept in the state, each
    // frame's step stored its memories and the next one loaded them back, on the section's
    // own feedback. Preset 232 (these loops and the back's): 1230 -> 1213 instructions per
    // frame, engine_bench 222x -> 232x real time median.
    DitherGenerator dither = s.dither;
    StereoFirstOrder input_hp = cs.input_hp;
    for (int32_t i = 0; i < frames; ++i) {
        double l = in[2 * i];
        double r = in[2 * i + 1];
        if (b.keep_left_only) {
            r = 0.0;
        } else if (b.keep_right_only) {
            l = 0.0;
        }
        double d = (next_dither_value(dither) % 256) / 256.0 / 32.0;
        const Pair dithered = pair(l + d, r + d);
        handoff.dithered[i] = dithered;

        Pair x = step(input_hp, dithered);
        Pair ax = abs2(x);
        peak_l = std::max(peak_l, lane_l(ax));
        peak_r = std::max(peak_r, lane_r(ax));

        signal[i] = x;
    }
    s.dither = dither;
    cs.input_hp = input_hp;
    meters.input_peak_l = peak_l;
    meters.input_peak_r = peak_r;
#if ZV_AVX_VARIANT
    if constexpr (AVX) {
        run_enhancer_avx(meters.enhancer_peak, cs, s.enhancer, enhancer, signal, frames);
    } else
#endif
    {
        run_enhancer(meters.enhancer_peak, cs, s.enhancer, enhancer, signal, frames);
    }
}

// Front of the chain, from the input's signal to the HF stage and the bands' per-frame part:
// the bass sections, the room, the AGC, pre-emphasis and HF limiter.
template <bool AVX>
[[gnu::always_inline]] inline void front_phase(ProcessorParams& q, ProcessorState& s,
                                               const BlockFactors& b, const BandBlockFactors& bands,
                                               const RoomFactors& room, int32_t frames,
                                               ChunkHandoff& handoff) {
    ProcessorSettings& st = q.settings;
    ChainSections& cs = s.channels;
    Pair* signal = handoff.signal;
    if (b.bass_phase || b.bass_eq) {
        StereoBiquad bass_phase = cs.bass_phase;
        StereoBiquad bass_eq = s.bass_eq;
        for (int32_t i = 0; i < frames; ++i) {
            Pair x = signal[i];
            if (b.bass_phase) {
                x = step(bass_phase, x);
            }
            if (b.bass_eq) {
                x = step(bass_eq, x);
            }
            signal[i] = x;
        }
        cs.bass_phase = bass_phase;
        s.bass_eq = bass_eq;
    }
    // The room, when on, runs over the chunk on its own: its long serial path then overlaps
    // across frames.
    if (b.virtual_room) {
#if ZV_AVX_VARIANT
        if constexpr (AVX) {
            run_room_avx(s.room, room, signal, frames);
        } else
#endif
        {
            run_room(s.room, room, signal, frames);
        }
    }
    // The AGC and HF limiter states stay in registers over the chunk. The bands' per-frame
    // part runs in the same loop: its gain computers feed back from frame to frame through a
    // long chain (two divisions and a square root), and the AGC's and limiter's own chains
    // and filters fill the time it waits. Run on its own it waits instead: 165x real time
    // against 174x on the same machine.
    Pair agc_gains = pair(st.agc_gain_lo, st.agc_gain_hi);
    HfLimiterRun hf{pair(st.hf_state_l, st.hf_state_r),
                    pair(st.hf_gain_reduction_l, st.hf_gain_reduction_r)};
    const bool emphasis = b.emphasis == 1 || b.emphasis == 2;
    for (int32_t i = 0; i < frames; ++i) {
        Pair x = agc(s.agc, b, agc_gains, signal[i]);
        if (emphasis) {
            x = emphasis_and_limiter(s, b, hf, x);
        } else {
            x = step(cs.no_emphasis_shelf, x);
        }
#if ZV_AVX_VARIANT
        if constexpr (AVX) {
            band_gain_frame_avx(q, s, bands, x, i, handoff.bands);
        } else
#endif
        {
            band_gain_frame(q, s, bands, x, i, handoff.bands);
        }
    }
    if (!emphasis) {
        hf.reduction = zero2();
    }
    st.agc_gain_lo = lane_l(agc_gains);
    st.agc_gain_hi = lane_r(agc_gains);
    st.hf_state_l = lane_l(hf.state);
    st.hf_state_r = lane_r(hf.state);
    st.hf_gain_reduction_l = lane_l(hf.reduction);
    st.hf_gain_reduction_r = lane_r(hf.reduction);
}

// Back of the chain, from the mix V: final clipper, final low-pass, overshoot cutter, lamps,
// de-emphasis, limit, 16-bit output and output meters.
[[gnu::always_inline]] inline void back_phase(ProcessorState& s, const BlockFactors& b,
                                              const Pair* dithered, int16_t* out, int32_t frames) {
    ChainSections& cs = s.channels;
    BackScratch& chunk = s.back;
    MeterSnapshot& meters = s.meters;
    const Pair zero = zero2();
    const Pair lamp = splat(CLIP_LAMP_LEVEL);
    StereoFirstOrder clip_lp = cs.final_clip_lp;
    StereoDelayLine<FINAL_CLIP_DELAY> clip_line = s.final_clip_line;
    // The FIR runs over the chunk on its own, two frames at a time (filter_sections.h).
    if (b.final_fir) {
        Pair* fir_in = chunk.fir_input + (FIR_TAPS - 1);
        for (int32_t i = 0; i < frames; ++i) {
            fir_in[i] = final_clipper(clip_lp, clip_line, b, chunk.signal[i]);
        }
        run_fir(s.final_fir, chunk.fir_input, chunk.signal, frames);
    } else {
        StereoFifthOrder iir = s.final_iir;
        for (int32_t i = 0; i < frames; ++i) {
            chunk.signal[i] = step(iir, final_clipper(clip_lp, clip_line, b, chunk.signal[i]));
        }
        s.final_iir = iir;
    }
    cs.final_clip_lp = clip_lp;
    s.final_clip_line = clip_line;
    StereoFirstOrder overshoot_lp = cs.overshoot_lp;
    StereoFirstOrder& deemphasis_section =
        b.emphasis == 1 ? cs.deemphasis_50us : cs.deemphasis_75us;
    StereoFirstOrder deemphasis = deemphasis_section;
    double peak_l = meters.output_peak_l, peak_r = meters.output_peak_r;
    for (int32_t i = 0; i < frames; ++i) {
        Pair y = chunk.signal[i];
        Pair c = y;
        clip2(c, b.overshoot2, zero);
        y = c + step(overshoot_lp, y - c);

        int lamps = greater_lanes(abs2(y), lamp);
        if (lamps & 1) {
            meters.clip_flag_l = 1;
        }
        if (lamps & 2) {
            meters.clip_flag_r = 1;
        }
        if (b.deemphasis) {
            y = step(deemphasis, y);
        }
        // The limit also turns a NaN into a bounded value before the conversion.
        y = min2(max2(y, splat(-OUTPUT_LIMIT)), splat(OUTPUT_LIMIT));

        // Bypass writes the dithered input, which needs no limit to fit 16 bits.
        int16_t out_l = 0;
        int16_t out_r = 0;
        truncate_to_i16(b.bypass ? dithered[i] : y, out_l, out_r);
        out[2 * i] = out_l;
        out[2 * i + 1] = out_r;
        peak_l = std::max(peak_l, std::abs(static_cast<double>(out_l)));
        peak_r = std::max(peak_r, std::abs(static_cast<double>(out_r)));
    }
    cs.overshoot_lp = overshoot_lp;
    deemphasis_section = deemphasis;
    meters.output_peak_l = peak_l;
    meters.output_peak_r = peak_r;
}

// The parts of one chunk.
template <bool AVX>
[[gnu::always_inline]] inline void input_chunk(Processor& p, const ChainBlock& block, int32_t chunk,
                                               ChunkHandoff& handoff) {
    const int32_t done = chunk * CHUNK_FRAMES;
    const int32_t n = std::min(CHUNK_FRAMES, block.frames - done);
    input_phase<AVX>(p.state, block.chain, block.enhancer, block.in + 2 * done, n, handoff);
}

template <bool AVX>
[[gnu::always_inline]] inline void front_chunk(Processor& p, const ChainBlock& block, int32_t chunk,
                                               ChunkHandoff& handoff) {
    const int32_t done = chunk * CHUNK_FRAMES;
    const int32_t n = std::min(CHUNK_FRAMES, block.frames - done);
    front_phase<AVX>(p.params, p.state, block.chain, block.bands, block.room, n, handoff);
}

template <bool AVX>
[[gnu::always_inline]] inline void back_chunk(Processor& p, const ChainBlock& block, int32_t chunk,
                                              const ChunkHandoff& handoff) {
    ProcessorState& s = p.state;
    const int32_t done = chunk * CHUNK_FRAMES;
    const int32_t n = std::min(CHUNK_FRAMES, block.frames - done);
#if ZV_AVX_VARIANT
    if constexpr (AVX) {
        band_audio_paths_avx(s, block.bands, handoff.bands, s.back.signal, n);
    } else
#endif
    {
        band_audio_paths(s, block.bands, handoff.bands, s.back.signal, n);
    }
    back_phase(s, block.chain, handoff.dithered, block.out + 2 * done, n);
}

void input_chunk_sse2(Processor& p, const ChainBlock& block, int32_t chunk, ChunkHandoff& handoff) {
    input_chunk<false>(p, block, chunk, handoff);
}
void front_chunk_sse2(Processor& p, const ChainBlock& block, int32_t chunk, ChunkHandoff& handoff) {
    front_chunk<false>(p, block, chunk, handoff);
}
void back_chunk_sse2(Processor& p, const ChainBlock& block, int32_t chunk,
                     const ChunkHandoff& handoff) {
    back_chunk<false>(p, block, chunk, handoff);
}

#if ZV_AVX_VARIANT
ZV_TARGET_AVX void input_chunk_avx(Processor& p, const ChainBlock& block, int32_t chunk,
                                   ChunkHandoff& handoff) {
    input_chunk<true>(p, block, chunk, handoff);
}
ZV_TARGET_AVX void front_chunk_avx(Processor& p, const ChainBlock& block, int32_t chunk,
                                   ChunkHandoff& handoff) {
    front_chunk<true>(p, block, chunk, handoff);
}
ZV_TARGET_AVX void back_chunk_avx(Processor& p, const ChainBlock& block, int32_t chunk,
                                  const ChunkHandoff& handoff) {
    back_chunk<true>(p, block, chunk, handoff);
}
#endif

}  // namespace

int32_t begin_chain_block(Processor& p, int32_t sample_count, const int16_t* in, int16_t* out,
                          ChainBlock& block) {
    ProcessorParams& q = p.params;
    ProcessorState& s = p.state;
    block.chain = prepare_block(q, s);
    block.bands = prepare_bands(q);
    block.enhancer = prepare_enhancer(q, s.sample_rate);
    block.room = prepare_room(q, s.sample_rate, s.room);
    block.in = in;
    block.out = out;
    block.frames = sample_count / 2;
    block.chunks = block.frames < 1 ? 0 : (block.frames + CHUNK_FRAMES - 1) / CHUNK_FRAMES;
    block.avx_loops = s.avx_loops;
    begin_block_meters(s.meters);
    if (block.chunks > 0) {
        begin_bands(q, s, block.bands);
    }
    return block.chunks;
}

void run_chain_input(Processor& p, const ChainBlock& block, int32_t chunk, ChunkHandoff& handoff) {
#if ZV_AVX_VARIANT
    if (block.avx_loops) {
        input_chunk_avx(p, block, chunk, handoff);
        return;
    }
#endif
    input_chunk_sse2(p, block, chunk, handoff);
}

void run_chain_front(Processor& p, const ChainBlock& block, int32_t chunk, ChunkHandoff& handoff) {
#if ZV_AVX_VARIANT
    if (block.avx_loops) {
        front_chunk_avx(p, block, chunk, handoff);
        return;
    }
#endif
    front_chunk_sse2(p, block, chunk, handoff);
}

void run_chain_back(Processor& p, const ChainBlock& block, int32_t chunk,
                    const ChunkHandoff& handoff) {
#if ZV_AVX_VARIANT
    if (block.avx_loops) {
        back_chunk_avx(p, block, chunk, handoff);
        return;
    }
#endif
    back_chunk_sse2(p, block, chunk, handoff);
}

void end_chain_block(Processor& p, const ChainBlock& block) {
    ProcessorParams& q = p.params;
    end_bands(q, p.state, block.bands);
    MeterSnapshot& m = p.state.meters;
    m.agc_gain_lo = q.settings.agc_gain_lo;
    m.agc_gain_hi = q.settings.agc_gain_hi;
    m.hf_gain_reduction_l = q.settings.hf_gain_reduction_l;
    m.hf_gain_reduction_r = q.settings.hf_gain_reduction_r;
}

// The chain only feeds forward between its front, its bands and its back, so each runs over
// a chunk of frames before the next: short loops keep many frames in flight at once.
void process_block(Processor& p, int32_t sample_count, const int16_t* in, int16_t* out) {
    ChainBlock block;
    const int32_t chunks = begin_chain_block(p, sample_count, in, out, block);
    if (chunks == 0) {
        return;
    }
    for (int32_t chunk = 0; chunk < chunks; ++chunk) {
        run_chain_input(p, block, chunk, p.state.handoff);
        run_chain_front(p, block, chunk, p.state.handoff);
        run_chain_back(p, block, chunk, p.state.handoff);
    }
    end_chain_block(p, block);
}

int chain_latency_frames(const ProcessorParams& params) {
    if (params.switches.bypass != 0) {
        return 0;
    }
    // Read as process_block reads the same choices.
    int frames = BAND_LATENCY + 13;
    const int emphasis = choice_of(params.settings.preemphasis);
    if (emphasis == 1 || emphasis == 2) {
        frames += HF_LIMITER_DELAY + 1;
    }
    if (choice_of(params.settings.final_clip_type) == 0) {
        frames += FINAL_CLIP_DELAY + 1;
    }
    const int lpf = choice_of(params.final_lpf);
    if (lpf == 1 || lpf == 2) {
        frames += (FIR_TAPS + 1) / 2;
    }
    return frames;
}

}  // namespace zv
