#include "playback/live_chain.h"

#include <algorithm>
#include <cstring>

#include "playback/live_params.h"

namespace zv {

LiveChain::LiveChain()
    : processor_(make_processor()),
      sent_(std::make_unique<ProcessorParams>()),
      incoming_(std::make_unique<ProcessorParams>()),
      silence_(std::make_unique<int16_t[]>(2 * SILENCE_FRAMES)) {}

LiveChain::~LiveChain() = default;

void LiveChain::start(const Processor& program) {
    *processor_ = program;
    std::memcpy(static_cast<void*>(sent_.get()), &program.params, sizeof(ProcessorParams));
    params_.clear();
    meters_.reset();
    frames_.store(0, std::memory_order_relaxed);
    xruns_.store(0, std::memory_order_relaxed);
    period_.store(0, std::memory_order_relaxed);
}

HandOver LiveChain::hand_over(const ProcessorParams& panel) {
    if (same_panel_values(panel, *sent_)) {
        return HandOver::Unchanged;
    }
    if (!params_.push(panel)) {
        return HandOver::QueueFull;
    }
    std::memcpy(static_cast<void*>(sent_.get()), &panel, sizeof(ProcessorParams));
    return HandOver::Sent;
}

void LiveChain::run(const int16_t* in, int16_t* out, unsigned long frames, bool xrun) {
    // The callback's thread belongs to the sound library, which may have set its own modes:
    // flush-to-zero is set every period (two instructions), as on every thread that runs the
    // chain.
    enable_flush_denormals();
    bool fresh = false;
    while (params_.pop(*incoming_)) {
        fresh = true;  // only the newest counts
    }
    if (fresh) {
        take_panel_values(*processor_, *incoming_);
    }
    if (xrun) {
        xruns_.fetch_add(1, std::memory_order_relaxed);
    }
    if (in != nullptr) {
        process_block(*processor_, static_cast<int32_t>(2 * frames), in, out);
        meters_.publish_period(processor_->state.meters);
    } else {
        for (unsigned long done = 0; done < frames;) {
            const unsigned long n = std::min<unsigned long>(SILENCE_FRAMES, frames - done);
            process_block(*processor_, static_cast<int32_t>(2 * n), silence_.get(), out + 2 * done);
            meters_.publish_period(processor_->state.meters);
            done += n;
        }
    }
    period_.store(static_cast<uint32_t>(frames), std::memory_order_relaxed);
    frames_.fetch_add(frames, std::memory_order_release);
}

}  // namespace zv
