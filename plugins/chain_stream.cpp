#include "plugins/chain_stream.h"

#include <algorithm>
#include <array>
#include <memory>

#include "plugins/denormal_scope.h"

namespace zv::plugin {

int ChainStream::chain_rate_for(double host_rate) {
    const std::array<int, 3> native = {32000, 44100, 48000};
    for (int r : native) {
        if (host_rate == r) {
            return r;
        }
    }
    for (int r : {44100, 48000}) {
        if (host_rate == 2.0 * r || host_rate == 4.0 * r) {
            return r;
        }
    }
    return 0;
}

ChainStream::ChainStream(int host_rate, int chain_rate, int channels, OutputScale scale)
    : host_rate_(host_rate),
      chain_rate_(chain_rate),
      channels_(channels),
      scaling_(scale),
      p_(make_processor()),
      in16_(2 * BLOCK_FRAMES),
      out16_(2 * BLOCK_FRAMES) {}

ChainStream::~ChainStream() = default;

std::unique_ptr<ChainStream> ChainStream::make(double host_rate, int channels, OutputScale scale,
                                               std::string& why) {
    const int chain_rate = chain_rate_for(host_rate);
    if (chain_rate == 0) {
        why = "the chain runs at 32000, 44100, 48000, 88200, 96000, 176400 or 192000 Hz, not " +
              std::to_string(host_rate);
        return nullptr;
    }
    if (channels != 1 && channels != 2) {
        why = "the chain takes one or two channels";
        return nullptr;
    }
    std::unique_ptr<ChainStream> s(
        new ChainStream(static_cast<int>(host_rate), chain_rate, channels, scale));
    processor_startup(*s->p_);
    for (const ChainField& f : chain_fields()) {
        s->slots_.push_back(locate_field(f, *s->p_));
    }
    if (chain_rate != static_cast<int>(host_rate)) {
        s->bridge_ = RateBridge::make(static_cast<int>(host_rate), chain_rate, channels, why);
        if (!s->bridge_) {
            return nullptr;
        }
        s->host_in_.resize(static_cast<size_t>(RateBridge::MAX_PIECE * channels));
        s->host_out_.resize(static_cast<size_t>(RateBridge::MAX_PIECE * channels));
    }
    // The rate's coefficient set is built here, before any real-time block needs it.
    change_sample_rate(*s->p_, chain_rate);
    return s;
}

void ChainStream::restart() {
    // The chain starts as a fresh program's export does: the settings kept, every running value
    // made new, the parameter set's own (band states, AGC and limiter states) among them.
    const std::vector<ChainField>& fields = chain_fields();
    std::vector<double> values(fields.size());
    std::array<char, PRESET_NAME_BYTES> name = p_->params.preset_name;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].form != FieldForm::Text) {
            values[i] = slots_[i].get();
        }
    }
    p_->params = ProcessorParams{};
    std::destroy_at(&p_->state);
    std::construct_at(&p_->state);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].form != FieldForm::Text) {
            slots_[i].set(values[i]);
        }
    }
    p_->params.preset_name = name;
    if (bridge_) {
        bridge_->restart();
    }
    started_ = false;
}

void ChainStream::start() {
    ProcessorParams& q = p_->params;
    q.normalisation_gain = 1.0;  // an export without normalisation
    reset_processor_state(*p_);
    change_sample_rate(*p_, chain_rate_);
    started_ = true;
}

void ChainStream::recompute(DerivedUpdate what) {
    if (!started_) {
        return;
    }
    if (what == DerivedUpdate::BassEq) {
        p_->params.bass_eq_rate_hz = chain_rate_;
    }
    run_derived_update(*p_, what);
}

void ChainStream::recompute_all() {
    recompute(DerivedUpdate::Release);
    recompute(DerivedUpdate::BassEq);
    recompute(DerivedUpdate::FinalLpf);
}

int ChainStream::latency() const {
    const int ratio = host_rate_ / chain_rate_;
    return chain_latency_frames(p_->params) * ratio + (bridge_ ? bridge_->latency() : 0);
}

void ChainStream::run_chain(const int16_t* in, int16_t* out, int frames) {
    process_block(*p_, 2 * frames, in, out);
}

void ChainStream::process(const float* const* in, float* const* out, uint32_t frames) {
    DenormalScope flush;
    if (!started_) {
        start();
    }
    if (bridge_) {
        process_resampled(in, out, static_cast<int>(frames));
    } else {
        process_native(in, out, static_cast<int>(frames));
    }
}

void ChainStream::process_native(const float* const* in, float* const* out, int frames) {
    const float* left_in = in[0];
    const float* right_in = in[channels_ - 1];
    for (int done = 0; done < frames; done += BLOCK_FRAMES) {
        const int n = std::min(BLOCK_FRAMES, frames - done);
        samples_from_floats(left_in + done, right_in + done, in16_.data(), n);
        run_chain(in16_.data(), out16_.data(), n);
        for (int c = 0; c < channels_; ++c) {
            scaling_.to_floats(out16_.data(), c, out[c] + done, n);
        }
    }
}

// The chain on chain-rate frames of the resampled path, in place.
void ChainStream::chain_in_place(float* frames, int count) {
    const float factor = scaling_.factor();
    for (int done = 0; done < count; done += BLOCK_FRAMES) {
        const int n = std::min(BLOCK_FRAMES, count - done);
        float* f = frames + static_cast<ptrdiff_t>(done) * channels_;
        for (int i = 0; i < n; ++i) {
            in16_[2 * i] = sample_from_float(f[i * channels_]);
            in16_[2 * i + 1] = sample_from_float(f[i * channels_ + channels_ - 1]);
        }
        run_chain(in16_.data(), out16_.data(), n);
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < channels_; ++c) {
                f[i * channels_ + c] = static_cast<float>(out16_[2 * i + c]) * factor;
            }
        }
    }
}

void ChainStream::process_resampled(const float* const* in, float* const* out, int frames) {
    for (int done = 0; done < frames; done += RateBridge::MAX_PIECE) {
        const int n = std::min(RateBridge::MAX_PIECE, frames - done);
        for (int c = 0; c < channels_; ++c) {
            for (int i = 0; i < n; ++i) {
                host_in_[static_cast<size_t>(i * channels_ + c)] = in[c][done + i];
            }
        }
        bridge_->process(host_in_.data(), host_out_.data(), n,
                         [this](float* f, int count) { chain_in_place(f, count); });
        // The chain's limit holds at its own rate; the up resampler's reconstruction of a
        // clipped wave rises past it by up to a tenth, so its output is held to full scale.
        for (int c = 0; c < channels_; ++c) {
            for (int i = 0; i < n; ++i) {
                out[c][done + i] =
                    std::clamp(host_out_[static_cast<size_t>(i * channels_ + c)], -1.0f, 1.0f);
            }
        }
    }
}

}  // namespace zv::plugin
