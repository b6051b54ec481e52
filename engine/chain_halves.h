// The chain of one block in parts that two threads can run at once: the input (dither, input
// high-pass, enhancer), the front (bass sections, room, AGC, pre-emphasis and HF limiter, the
// bands' per-frame part) and the back (the bands' audio paths, final clipper, final low-pass,
// overshoot cutter, lamps, de-emphasis, limit and 16-bit output). process_block runs the three
// one after the other on each chunk of 256 frames; the bytes, the meters and the state after
// a block are the same however the parts are spread over threads.
//
// The order: begin_chain_block with no part running; then the inputs, the fronts and the backs
// of the chunks, each part in chunk order on one thread, a chunk's input before its front and
// its front before its back, each writing the handoff the next reads (whoever hands it over
// makes the writes visible to the next); end_chain_block after the back of the last chunk,
// with no part running. While a block runs, each part touches only its own part of the
// processor: the input the dither, the input high-pass, the enhancer's sections and line and
// the input and enhancer meters; the front the sections and lines from the bass sections to
// the bands' per-frame part, BandBlockState, the AGC and HF limiter records and the HF limiter
// and band gain reduction meters; the back the bands' audio and output lines and the sections
// after their clippers, the final low-pass and clipper, BackScratch and the output and clip
// meters.
#pragma once

#include <cstdint>

#include "engine/band_processor.h"
#include "engine/processor.h"
#include "engine/stereo_stages.h"

namespace zv {

// Everything the chain's own loops read from the parameter set, converted once per block.
struct BlockFactors {
    double agc_drive;
    double agc_threshold;  // T_agc
    double agc_ceiling;    // 23169 - T_agc; negative above about -3 dB
    int agc_speed;         // 1..4
    double final_clip;     // C_fin
    double hf_threshold;   // T_hf
    double hf_drive;
    double overshoot;      // C_ovs
    int emphasis;          // preemphasis read as a choice
    double emphasis_gain;  // factor on H for the emphasis in force
    bool bypass;
    bool keep_left_only;
    bool keep_right_only;
    bool bass_phase;
    bool bass_eq;
    bool virtual_room;
    bool hard_final_clip;
    bool final_fir;
    bool deemphasis;
    // The factors the stereo stages use, in both lanes.
    Pair agc_threshold2, agc_drive2, agc_floor2, agc_ceiling2;
    Pair final_clip2, hf_threshold2, hf_drive2, emphasis_gain2, overshoot2;
};

// One block as both halves read it.
struct ChainBlock {
    BlockFactors chain;
    BandBlockFactors bands;
    EnhancerFactors enhancer;
    RoomFactors room;
    const int16_t* in = nullptr;
    int16_t* out = nullptr;
    int32_t frames = 0;
    int32_t chunks = 0;
    bool avx_loops = false;  // ProcessorState::avx_loops when the block began
};

// Reads the parameter set for the block and begins its meters, as process_block does, and
// returns its number of chunks: 0 for a block without frames, which then needs nothing more
// (no halves, no end_chain_block). sample_count, in and out as for process_block.
int32_t begin_chain_block(Processor& p, int32_t sample_count, const int16_t* in, int16_t* out,
                          ChainBlock& block);
void run_chain_input(Processor& p, const ChainBlock& block, int32_t chunk, ChunkHandoff& handoff);
void run_chain_front(Processor& p, const ChainBlock& block, int32_t chunk, ChunkHandoff& handoff);
void run_chain_back(Processor& p, const ChainBlock& block, int32_t chunk,
                    const ChunkHandoff& handoff);
// Writes the block's band records and the meters taken at its end.
void end_chain_block(Processor& p, const ChainBlock& block);

}  // namespace zv
