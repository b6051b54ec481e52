// The stereo enhancer and the headphone virtual room.
#pragma once

#include "engine/filter_sections.h"
#include "engine/processor_params.h"
#include "engine/processor_state.h"

namespace zv {

struct EnhancerFactors {
    double level = 1.0;  // linear enhancer level
    int delay_len = 1;   // side line length N (delay N - 1)
    int type = 1;        // stereo_type rounded
    bool on = false;     // stereo_enhance
};

// N = trunc(rate / 1000 * stereo_delay_ms), at most 2199 and at least 1.
int enhancer_delay_len(int rate, double stereo_delay_ms);
EnhancerFactors prepare_enhancer(const ProcessorParams& q, int rate);

// One frame; always runs. Returns L + S and R - S (S = 0 while the enhancer is off) and
// raises peak (the block's enhancer meter) to S when S is above it.
Pair run_enhancer(double& peak, ChainSections& cs, EnhancerLine& line, const EnhancerFactors& e,
                  Pair x);
// The same over frames of a chunk, in place.
void run_enhancer(double& peak, ChainSections& cs, EnhancerLine& line, const EnhancerFactors& e,
                  Pair* x, int32_t frames);
#if ZV_AVX_VARIANT
// The same compiled for AVX (lanes.h).
ZV_TARGET_AVX void run_enhancer_avx(double& peak, ChainSections& cs, EnhancerLine& line,
                                    const EnhancerFactors& e, Pair* x, int32_t frames);
#endif

struct RoomFactors {
    int crossfeed_len = 1;  // N_ia
    int room1_len = 1;      // N1
    int room2_len = 1;      // N2
    double reverb_pct = 0.0;
};

// Also gives the twelve all-passes their gain and fixed lengths, as every block does.
RoomFactors prepare_room(const ProcessorParams& q, int rate, VirtualRoomState& room);

Pair run_room(VirtualRoomState& room, const RoomFactors& f, Pair x);
// The same over frames of a chunk, in place.
void run_room(VirtualRoomState& room, const RoomFactors& f, Pair* x, int32_t frames);
#if ZV_AVX_VARIANT
ZV_TARGET_AVX void run_room_avx(VirtualRoomState& room, const RoomFactors& f, Pair* x,
                                int32_t frames);
#endif

}  // namespace zv
