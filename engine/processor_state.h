// Running state of the chain: coefficient banks, delay lines, envelopes, dither.
// Every member has a fixed size, so process_block never allocates.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "engine/filter_sections.h"
#include "engine/meter_snapshot.h"
#include "engine/processor_params.h"
#include "engine/quad_lanes.h"

namespace zv {

constexpr int BAND_LINE_CAPACITY = 900;       // audio and output look-ahead lines of a band
constexpr int BAND_LATENCY_LINE = 900;        // audio + output line lengths always add to this
constexpr int BASS_ATTACK_CAPACITY = 4800;    // band 1's attack delay (at most 4799 in use)
constexpr int ENHANCER_LINE_CAPACITY = 2200;  // stereo enhancer side line (at most 2199 in use)
constexpr int HF_LIMITER_DELAY = 65;          // HF limiter's M and H look-ahead, in frames
constexpr int FINAL_CLIP_DELAY = 2;           // adaptive final clipper's delay of V
constexpr int ROOM_LINE_CAPACITY = 4800;      // virtual-room delay lines

// Choice parameters are doubles holding small whole numbers, read through their integer
// part. Values no integer can hold (NaN, huge) read as -1, which every choice treats as "other".
inline int choice_of(double v) {
    if (!(v > -1.0e6 && v < 1.0e6)) {
        return -1;
    }
    return static_cast<int>(v);
}

// Every per-channel section of the chain (final low-pass slots, AGC and smoothing aside).
// A rate installs it as a template with zero memories; bind_band_state copies the template
// into the live bank. Stereo sections hold the left and right memories in their two lanes.
struct ChainSections {
    StereoFirstOrder input_hp;           // 10 Hz
    StereoFirstOrder enhancer_level;     // 4 Hz detectors of |L| (left lane) and |R| (right)
    FirstOrderSection enhancer_lp4;      // the shared 4 Hz detector of enhancer types 2 to 5
    FirstOrderSection enhancer_hp;       // transient high-pass of types 4 and 5
    FirstOrderSection enhancer_side_lp;  // 4 kHz low-pass of the side signal
    StereoBiquad bass_phase;
    StereoBiquad emphasis_main;
    StereoFirstOrder hf_hp;     // 12 kHz high part H of M
    StereoFirstOrder hf_gr_lp;  // 32 Hz smoothing of the HF gain reduction
    StereoBiquad no_emphasis_shelf;
    StereoBiquad presplit_lp;  // LP425 into bands 1 and 2
    StereoBiquad presplit_ap;  // all-pass into bands 3 to 6

    StereoBiquad band1_lp;             // 150 Hz
    StereoFirstOrder band1_post;       // 150 Hz after the clipper
    StereoThirdOrder band2_hp;         // 150 Hz
    StereoThirdOrder band3_hp;         // 425 Hz
    StereoFirstOrder band3_lp;         // 1100 Hz
    StereoBiquad band3_restore;        // LPa
    StereoFirstOrder band3_post;       // 1100 Hz
    StereoDoubledFirstOrder band4_hp;  // 1100 Hz
    StereoFirstOrder band4_lp;         // 2400 Hz
    StereoBiquad band4_restore;        // LPa
    StereoFirstOrder band4_post;       // 2400 Hz
    StereoDoubledFirstOrder band5_hp;  // 2400 Hz
    StereoFirstOrder band5_lp;         // 5900 Hz
    StereoBiquad band5_presence;
    StereoFirstOrder band5_post;       // 5900 Hz
    StereoDoubledFirstOrder band6_hp;  // 5900 Hz

    StereoFirstOrder recombine_lp;   // 425 Hz after the low-band clip
    StereoFirstOrder final_clip_lp;  // 2 kHz
    StereoFirstOrder overshoot_lp;   // 2 kHz
    StereoFirstOrder deemphasis_50us;
    StereoFirstOrder deemphasis_75us;
};

// The AGC's band split per channel, and its detectors with the low band in the left lane
// and the high band in the right lane.
struct AgcSections {
    StereoFirstOrder split_lp;
    StereoFirstOrder split_hp;
    StereoFirstOrder slow;                    // 0.1 Hz
    std::array<StereoFirstOrder, 4> speed{};  // by AGC speed index 1..4
};

// Smoothing sections of the six band side chains (the program sections live in the bands).
struct BandSmoothing {
    std::array<FirstOrderSection, 5> templates{};  // T1..T5 of the current rate
    std::array<FirstOrderSection, 6> release{};
    std::array<FirstOrderSection, 6> attack{};
    std::array<FirstOrderSection, 6> release_copy{};  // free-running copy Q of the release
    std::array<FirstOrderSection, 6> gate{};
};

// A band's delay-line block: audio and output look-ahead lines (both channels in one line)
// and band 1's bass attack line.
struct BandDelayBlock {
    StereoLookaheadLine<BAND_LINE_CAPACITY> audio;
    StereoLookaheadLine<BAND_LINE_CAPACITY> output;
    LookaheadLine<BASS_ATTACK_CAPACITY> bass_attack;
};

// The HF limiter's look-ahead: M and H each delayed exactly HF_LIMITER_DELAY frames.
struct HfLimiterLines {
    Pair main[HF_LIMITER_DELAY]{};
    Pair high[HF_LIMITER_DELAY]{};
    int pos = 0;
};

struct EnhancerLine {
    LookaheadLine<ENHANCER_LINE_CAPACITY> line;
    bool wiped = false;  // the first write after start wipes the whole line once
};

struct VirtualRoomState {
    // Cross-feed: shelf, low-pass and delay of L (left lane) and R (right lane).
    StereoBiquad crossfeed_shelf;
    StereoFirstOrder crossfeed_lp;
    StereoDelayLine<ROOM_LINE_CAPACITY> crossfeed;
    // Each room's reverberators run side by side: the left one in the left lane, the right
    // one in the right. Inputs: A (from L) and B (from R, 98 frames later) of each room.
    DualDelayLine<ROOM_LINE_CAPACITY> room1_in, room2_in;
    // Three all-passes per room: left lengths in the left lane, right lengths in the right.
    std::array<DualAllPass, 3> room1_allpass{}, room2_allpass{};
    // The room low-pass (left lane, giving P) and the room notch (right lane, giving Q).
    StereoBiquad room1_filter, room2_filter;
    // Tails: the P part in the left lane and the Q part in the right lane; two shelves each.
    StereoBiquad room1_tail_shelf_1, room1_tail_shelf_2;
    StereoBiquad room2_tail_shelf_1, room2_tail_shelf_2;
    StereoDelayLine<ROOM_LINE_CAPACITY> room1_tails, room2_tails;
};

// The C-runtime linear congruential generator behind the dither.
struct DitherGenerator {
    uint32_t state = 1;
};

inline int next_dither_value(DitherGenerator& g) {
    g.state = g.state * 214013u + 2531011u;
    return static_cast<int>((g.state >> 16) & 0x7FFFu);
}

// What the bands' per-frame part keeps in four lanes (quad_lanes.h) while a block runs: its
// filters, the smoothers and gates of the gain computers, and the band records; taken from the
// sections and band records at the start of every block and written back at its end.
//
// Filter lanes hold two bands, left and right of each. Gain lanes hold one band each: [0] bands
// 1, 3, 2 and 4 (band 1 computes what bands 2 to 6 compute, and keeps only its release
// section's result); [1] bands 5 and 6 in lanes 0 and 2, with a shadow of each in lanes 1 and
// 3 that is never written back. Preset 232: 1188 -> 980 instructions per frame (callgrind).
struct BandBlockState {
    QuadBiquad presplit;          // LP425 (low lanes) and the all-pass (high), fed alike
    QuadThirdOrder highpass_2_3;  // band 2's and band 3's high-passes
    QuadDoubledFirstOrder highpass_4_5;
    StereoDoubledFirstOrder highpass_6;
    QuadFirstOrder lowpass_3_4;
    StereoFirstOrder lowpass_5;
    QuadBiquad lowpass_1_presence_5;  // band 1's low-pass and band 5's presence section
    QuadFirstOrder release[2], attack[2], copy[2], program[2], gate[2];
    QuadLanes drive[2];
    QuadLanes gain_reduction[2];       // the bands' gain reductions, read by the next frame
    QuadLanes gain_reduction_peak[2];  // the block's peaks
    QuadLanes k_gate[2];               // 10^(-gate threshold / 20) per band
    QuadLanes gate_k[2];               // the bands' gate constants K
    QuadLanes gate_gain[2];
    // The last frame's records: the pre-split (low into bands 1 and 2, high into 3 to 6) and
    // the side chains of bands (1, 2), (3, 4), (5, 6).
    QuadLanes split;
    QuadLanes sidechain[3];
};

// Where a band's gain lane is: gain quad, lane.
struct GainLane {
    int quad;
    int lane;
};
constexpr GainLane GAIN_LANE_OF_BAND[6] = {{0, 0}, {0, 2}, {0, 1}, {0, 3}, {1, 0}, {1, 2}};
// The band each gain lane computes (a shadow its band's).
constexpr int BAND_OF_GAIN_LANE[2][4] = {{0, 2, 1, 3}, {4, 4, 5, 5}};

// Frames handed from one part of the chain to the next within a block.
constexpr int32_t CHUNK_FRAMES = 256;

// What the bands' per-frame part (filters, gates, gain computers) hands to their per-band
// audio paths within a chunk, frame by frame in its lanes.
struct BandScratch {
    QuadLanes filtered[3][CHUNK_FRAMES];  // N x F of bands (1, 2), (3, 4), (5, 6), left and right
    QuadLanes gain[2]
                  [CHUNK_FRAMES];  // audio gains D in the gain lanes (band 1's from its delayed GR)
    QuadLanes gate[2]
                  [CHUNK_FRAMES];  // gate gains in the gain lanes, written while the gates are on
};

// The chain has an input (dither, input high-pass, enhancer), a front (up to the bands'
// per-frame part) and a back (the bands' audio paths to the output). What each hands the next
// for one chunk; process_block keeps one in the state, a caller that runs the parts on two
// threads holds several (chain_halves.h).
struct ChunkHandoff {
    Pair dithered[CHUNK_FRAMES]{};  // dithered input: the bypass output
    Pair signal[CHUNK_FRAMES]{};    // the input's output, which the front carries on in place
    BandScratch bands;
};

// The back's own: the mix as the bands add to it, the mix V and each stage after it in place,
// the final FIR's inputs in time order (its history before the chunk, then the chunk), and
// each band's last output (for the band records at the end of the block).
struct BackScratch {
    Pair mix[CHUNK_FRAMES]{};
    Pair signal[CHUNK_FRAMES]{};
    Pair fir_input[FIR_TAPS - 1 + CHUNK_FRAMES]{};
    Pair band_out[6]{};
};

struct ProcessorState {
    // Runs the AVX build of the chain's loops (lanes.h); both builds give the same bytes, and
    // the tests clear it to check the other one on machines that have AVX.
    bool avx_loops = machine_runs_avx_loops();
    int sample_rate = 44100;
    double emphasis_gain_50us = 0.0;
    double emphasis_gain_75us = 0.0;

    ChainSections channel_template;
    ChainSections channels;
    StereoBiquad bass_eq;
    StereoFifthOrder final_iir;
    StereoFir23 final_fir;
    AgcSections agc;
    BandSmoothing smoothing;
    std::array<BandDelayBlock, 6> band_delays{};
    HfLimiterLines hf_lines;
    StereoDelayLine<FINAL_CLIP_DELAY> final_clip_line;
    EnhancerLine enhancer;
    VirtualRoomState room;
    DitherGenerator dither;
    ChunkHandoff handoff;
    BackScratch back;
    BandBlockState band_block;
    MeterSnapshot meters;  // of the block process_block ran last
};

}  // namespace zv
