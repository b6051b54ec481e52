// One stream through the chain as a plugin runs it: float frames in and out at the host's rate,
// in blocks of any size. At 32, 44.1 and 48 kHz the chain runs at the host's rate and gives the
// 16-bit samples an export of the same settings writes, whatever the blocks (the chain's output
// does not depend on where blocks end); at 88.2, 96, 176.4 and 192 kHz it runs at 44.1 or
// 48 kHz between two resamplers (rate_bridge.h), its output held to full scale.
//
// The settings are the processor's parameter set (processor().params, the chain fields'
// slots). A caller changes them between blocks and asks for the recompute the change needs,
// as the panel does after a click; the next block is processed with them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/processor.h"
#include "plugins/chain_fields.h"
#include "plugins/rate_bridge.h"
#include "plugins/sample_scaling.h"

namespace zv::plugin {

class ChainStream {
public:
    // The chain's rate for a host rate: the rate itself at 32000, 44100 and 48000 Hz, half of
    // it at 88200 and 96000, a quarter at 176400 and 192000; 0 for every other rate.
    static int chain_rate_for(double host_rate);

    // nullptr, with why, for a rate the chain cannot run at. channels is 1 or 2. The settings
    // start as the program's start-up values (processor_startup).
    static std::unique_ptr<ChainStream> make(double host_rate, int channels, OutputScale scale,
                                             std::string& why);
    ~ChainStream();
    ChainStream(const ChainStream&) = delete;
    ChainStream& operator=(const ChainStream&) = delete;

    Processor& processor() { return *p_; }
    const Processor& processor() const { return *p_; }
    // Each chain field's place in processor(), in chain_fields() order.
    const std::vector<FieldSlot>& slots() const { return slots_; }
    int host_rate() const { return host_rate_; }
    int chain_rate() const { return chain_rate_; }
    int channels() const { return channels_; }

    // The next block starts the chain afresh with the settings in force, as an export starts a
    // song (reset_processor_state and the rate-change sequence). Not real-time: clears the
    // chain and the resamplers.
    void restart();
    bool started() const { return started_; }

    // After a change of settings: the recompute it needs, at once once the chain has started
    // (before, the start does it). The bass EQ is designed for the chain's rate.
    void recompute(DerivedUpdate what);
    // After a preset or a parameter file: every recompute a load ends with.
    void recompute_all();

    // Real-time: no allocation, lock or system call. in and out hold channels() buffers of
    // frames floats; an output buffer may be its input's.
    void process(const float* const* in, float* const* out, uint32_t frames);

    // Host frames by which the output lags the input with the settings in force.
    int latency() const;
    // Times the resampled path's output queue ran dry (never, by construction).
    long underruns() const { return bridge_ ? bridge_->underruns() : 0; }

private:
    ChainStream(int host_rate, int chain_rate, int channels, OutputScale scale);
    void start();
    void run_chain(const int16_t* in, int16_t* out, int frames);
    void process_native(const float* const* in, float* const* out, int frames);
    void process_resampled(const float* const* in, float* const* out, int frames);
    void chain_in_place(float* frames, int count);

    // Frames process_block is given at once.
    static constexpr int BLOCK_FRAMES = 1024;

    int host_rate_, chain_rate_, channels_;
    OutputScaling scaling_;
    std::unique_ptr<Processor> p_;
    std::vector<FieldSlot> slots_;
    std::unique_ptr<RateBridge> bridge_;
    bool started_ = false;
    std::vector<int16_t> in16_, out16_;      // BLOCK_FRAMES interleaved stereo frames each
    std::vector<float> host_in_, host_out_;  // RateBridge::MAX_PIECE frames of channels_
};

}  // namespace zv::plugin
