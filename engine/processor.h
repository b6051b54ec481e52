// The processor: one aggregate that owns the parameter set and every coefficient bank,
// delay line, envelope and the dither generator. process_block is its one audio entry.
// A program owns one Processor and never runs two streams through it at once; the batch
// export runs one per worker thread.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/processor_params.h"
#include "engine/processor_state.h"

namespace zv {

struct Processor {
    ProcessorParams params;
    ProcessorState state;
};

static_assert(METER_BANDS == BAND_COUNT);

// Processor is large (delay lines are fixed-size members); keep it on the heap.
std::unique_ptr<Processor> make_processor();

// What the program does to the engine before its window exists: every gate threshold -36 dB,
// bind_band_state, factory preset 232, reset_virtual_room, apply_release_setting.
void processor_startup(Processor& p);

// Factory presets by menu identifier; an unknown identifier applies 232.
void apply_factory_preset(Processor& p, int menu_id);
// Interaural delay 18 cm, room size 10 m, reverb 40 %, test channels 1.
void reset_virtual_room(ProcessorParams& params);

void load_rate_coefficients(Processor& p, int rate);
void bind_band_state(Processor& p);
void apply_release_setting(Processor& p);
void apply_final_lpf(Processor& p);
// Designs the left channel's bass EQ from the parameter set and copies it to the right.
void design_bass_eq(Processor& p);
void reset_processor_state(Processor& p);
// The rate-change sequence every playback and export start runs with the song's rate.
void change_sample_rate(Processor& p, int rate);

// sample_count counts 16-bit values of both channels; in and out hold sample_count / 2
// interleaved stereo frames and never overlap. Allocates nothing. The block's meters are in
// p.state.meters afterwards (a block without frames has peaks of 0 and no clip).
void process_block(Processor& p, int32_t sample_count, const int16_t* in, int16_t* out);

// Frames by which the chain's output lags its input, the amount an export drops from the start
// of the processed song: the bands' look-ahead (880 whatever the release setting) + 13, plus 66
// with pre-emphasis, 3 with the adaptive final clipper, 12 with a FIR final low-pass. 0 with
// bypass, whose output is the dithered input itself.
int chain_latency_frames(const ProcessorParams& params);

// Flush-to-zero and denormals-are-zero for the calling thread; call on every thread that
// runs process_block (the IIR tails decay into denormals in silence). True when it took
// effect: a denormal result then reads 0.
bool enable_flush_denormals();

}  // namespace zv
