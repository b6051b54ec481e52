// The six compressor bands and the band part of the chain: the pre-split, the bands in
// order 1 to 6, the low-band recombination and the mix.
#pragma once

#include <array>

#include "engine/filter_sections.h"
#include "engine/processor_params.h"
#include "engine/processor_state.h"

namespace zv {

// Gate constants K of bands 1 to 6.
constexpr std::array<double, BAND_COUNT> BAND_GATE_K = {1.8867473711207905, 3.186876717566609,
                                                        3.3562650531220712, 5.011033834839105,
                                                        3.607278367243023,  4.551510776810894};

constexpr double GAIN_REDUCTION_LIMIT = 31743.0;  // at most 30.1 dB of band reduction
constexpr double GATE_SCALE = 32867.0;
constexpr double MIX_LEVEL = 0.891;

// A band's linear factors, derived from its dB values at the start of every block.
struct BandFactors {
    double g = 1.0;
    double drive = 1.0;
    double t_vca = 0.0;
    double t_clip = 0.0;
    double mix = 1.0;
    double k_gate = 1.0;
    int audio_len = 880;  // the band's look-ahead length; the output line takes the rest of 900
    // The same factors in both lanes, for the stereo sections.
    Pair g2{}, mix2{}, t_clip2{}, t_vca2{};
};

struct BandBlockFactors {
    std::array<BandFactors, BAND_COUNT> band{};
    double normalisation = 1.0;  // N
    double clip_slope = 0.0;     // band clipper slope from band_clip_knee
    int bass_attack_len = 1;     // band 1's attack line length
    double coupling_5 = 0.3;     // band 4's side chain into band 5's detector
    double coupling_6 = 1.0;     // band 5's side chain into band 6's detector
    bool gate_on = false;
    Pair normalisation2{}, clip_slope2{};
    // The same in the per-frame part's four lanes: band gains g of bands (2, 3) and (4, 5), each
    // in the lanes of its band's left and right; N; the detector thresholds of bands (1, 2),
    // (3, 4), (5, 6); the couplings into bands 5 and 6.
    QuadLanes gain_2_3, gain_4_5, normalisation4, coupling4;
    QuadLanes t_vca4[3];
};

// Band clipper slope: soft below 0.5, medium soft below 1.5, hard otherwise.
double band_clip_slope(double band_clip_knee);

// Reads the parameter set once per block. normalisation_gain must already be clamped.
BandBlockFactors prepare_bands(const ProcessorParams& q);

// Around the frames of a block: the band smoothers and gates run two bands per register while
// the block lasts, and are written back to their sections and band records at its end.
void begin_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& f);
void end_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& f);

// The band part over frames of a chunk (at most CHUNK_FRAMES): signal holds the signal after
// the HF stage and receives the mix V.
void run_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& f, Pair* signal,
               int32_t frames);
// Its two parts: the per-frame part (pre-split, band filters, gates, gain computers) of frame i
// of the chunk, with x the signal after the HF stage, which leaves its results in w; then,
// once every frame of the chunk has had it, the bands' audio paths, which write the mix V into
// signal. The first is the front's (s.band_block), the second the back's (the band delay
// lines' audio and output lines, the band sections after the clippers, s.back).
void band_gain_frame(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& f, Pair x,
                     int32_t i, BandScratch& w);
void band_audio_paths(ProcessorState& s, const BandBlockFactors& f, const BandScratch& w,
                      Pair* signal, int32_t frames);
#if ZV_AVX_VARIANT
// The same compiled for AVX (lanes.h).
ZV_TARGET_AVX void band_gain_frame_avx(ProcessorParams& q, ProcessorState& s,
                                       const BandBlockFactors& f, Pair x, int32_t i,
                                       BandScratch& w);
ZV_TARGET_AVX void band_audio_paths_avx(ProcessorState& s, const BandBlockFactors& f,
                                        const BandScratch& w, Pair* signal, int32_t frames);
#endif
// One frame of it: x is the signal after the HF stage; returns the mix V.
Pair run_bands(ProcessorParams& q, ProcessorState& s, const BandBlockFactors& f, Pair x);

}  // namespace zv
