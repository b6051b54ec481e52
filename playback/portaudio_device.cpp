#include "playback/portaudio_device.h"

#include <soxr.h>

#include <algorithm>
#include <cstring>

#include "playback/library_messages.h"

namespace zv {
namespace {

constexpr size_t SYSTEM_ERROR_TEXT_MAX = 128;

std::string system_error_text(PaError err) {
    std::string text;
    if (err == paUnanticipatedHostError) {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host != nullptr && host->errorText != nullptr) {
            text = host->errorText;
        }
    }
    if (text.empty()) {
        text = Pa_GetErrorText(err);
    }
    if (text.size() > SYSTEM_ERROR_TEXT_MAX) {
        text.resize(SYSTEM_ERROR_TEXT_MAX);
    }
    return text;
}

PaStreamParameters stereo_params(int device, bool output) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = 2;
    p.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    // High latency: the slot ring already gives blocks of slack, and fewer wake-ups cost less.
    p.suggestedLatency =
        info == nullptr ? 0.1
                        : (output ? info->defaultHighOutputLatency : info->defaultHighInputLatency);
    return p;
}

bool supports(int device, bool output, double rate) {
    const PaStreamParameters p = stereo_params(device, output);
    return Pa_IsFormatSupported(output ? nullptr : &p, output ? &p : nullptr, rate) ==
           paFormatIsSupported;
}

// The capability test: a stereo 16-bit device that runs at 44.1 kHz, or at its own rate when
// the resampler can bridge (a sound server fixed at 48000 Hz).
bool usable(int device, bool output) {
    if (device < 0 || device >= Pa_GetDeviceCount()) {
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr) {
        return false;
    }
    const int channels = output ? info->maxOutputChannels : info->maxInputChannels;
    if (channels < 2) {
        return false;
    }
    return supports(device, output, 44100.0) || supports(device, output, info->defaultSampleRate);
}

bool processor_rate(int rate) {
    return rate == 32000 || rate == 44100 || rate == 48000;
}

}  // namespace

PortAudioSession::PortAudioSession() {
    install_sound_library_handlers();  // before the host APIs start talking
    const PaError err = Pa_Initialize();
    ok_ = err == paNoError;
    if (!ok_) {
        error_ = Pa_GetErrorText(err);
    }
}

PortAudioSession::~PortAudioSession() {
    if (ok_) {
        Pa_Terminate();
    }
}

PortAudioDevice::PortAudioDevice() = default;

PortAudioDevice::~PortAudioDevice() {
    close();
}

bool PortAudioDevice::open(const DeviceOpenRequest& request, DeviceError& error) {
    close();
    error = DeviceError{};
    const bool want_in = request.in_device_id >= 0;
    const bool want_out = request.out_device_id >= 0;
    int rate = request.sample_rate;

    // The output's rate decides everything: a device that cannot run at the song's rate runs
    // at its own and the resampler bridges (or, for live input, the stream takes that rate).
    if (want_out) {
        if (!usable(request.out_device_id, true)) {
            return false;
        }
        if (!supports(request.out_device_id, true, rate)) {
            // A driver's rate is a double; one no int holds counts as none.
            const double reported = Pa_GetDeviceInfo(request.out_device_id)->defaultSampleRate;
            const int own = reported > 0.0 && reported < 1e7 ? static_cast<int>(reported) : 0;
            if (request.rate_may_follow_device ? !processor_rate(own)
                                               : own > MAX_RATE_RATIO * rate || own <= 0) {
                return false;
            }
            rate = own;
        }
    }
    if (want_in && !usable(request.in_device_id, false)) {
        return false;
    }
    device_rate_ = rate;

    const PaStreamParameters out_p = stereo_params(request.out_device_id, true);
    const PaStreamParameters in_p = stereo_params(request.in_device_id, false);
    const bool same_api = want_in && want_out &&
                          Pa_GetDeviceInfo(request.in_device_id)->hostApi ==
                              Pa_GetDeviceInfo(request.out_device_id)->hostApi;

    ring_.reset();
    PaError err = paNoError;
    if (same_api) {
        // One stream: input and output share a clock, so each recorded block is played once.
        err = Pa_OpenStream(&out_stream_, &in_p, &out_p, rate, paFramesPerBufferUnspecified,
                            paClipOff, &PortAudioDevice::duplex_callback, this);
        if (err != paNoError) {
            out_stream_ = nullptr;
            error.show = true;
            error.text = system_error_text(err);
            return false;
        }
        duplex_ = true;
    } else {
        if (want_in) {
            err = Pa_OpenStream(&in_stream_, &in_p, nullptr, rate, paFramesPerBufferUnspecified,
                                paClipOff, &PortAudioDevice::input_callback, this);
            if (err != paNoError) {
                in_stream_ = nullptr;
                error.show = true;
                error.text = system_error_text(err);
                return false;
            }
        }
        if (want_out) {
            err = Pa_OpenStream(&out_stream_, nullptr, &out_p, rate, paFramesPerBufferUnspecified,
                                paClipOff, &PortAudioDevice::output_callback, this);
            if (err != paNoError) {
                out_stream_ = nullptr;
                error.show = true;
                error.text = system_error_text(err) + "\n" + request.out_device_name;
                close();
                return false;
            }
        }
    }
    if (want_out && rate != request.sample_rate && !request.rate_may_follow_device) {
        soxr_error_t serr = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
        resampler_ = soxr_create(request.sample_rate, rate, 2, &serr, &io, &q, nullptr);
        if (serr != nullptr || resampler_ == nullptr) {
            resampler_ = nullptr;
            error.show = true;
            error.text =
                std::string(serr != nullptr ? serr : "resampler") + "\n" + request.out_device_name;
            close();
            return false;
        }
    }
    return true;
}

void PortAudioDevice::close() {
    // Abort returns once the callback has stopped, so the ring is the owner's again after it.
    for (PaStream** s : {&out_stream_, &in_stream_}) {
        if (*s != nullptr) {
            if (started_) {
                Pa_AbortStream(*s);
            }
            Pa_CloseStream(*s);
            *s = nullptr;
        }
    }
    duplex_ = false;
    started_ = false;
    if (resampler_ != nullptr) {
        soxr_delete(resampler_);
        resampler_ = nullptr;
    }
    ring_.reset();
}

bool PortAudioDevice::write(int slot, const int16_t* data, int bytes, bool last) {
    int16_t* dst = ring_.output_storage(slot);
    if (!output_open() || dst == nullptr || bytes < 0 || bytes > BLOCK_BYTES ||
        ring_.output_queued(slot)) {
        return false;
    }
    int frames = bytes / 4;
    if (resampler_ != nullptr) {
        size_t done = 0;
        soxr_process(resampler_, data, static_cast<size_t>(frames), nullptr, dst,
                     SLOT_CAPACITY_FRAMES, &done);
        if (last) {
            // Flush the filter's tail so the song's final milliseconds are heard.
            size_t more = 0;
            do {
                soxr_process(resampler_, nullptr, 0, nullptr, dst + done * 2,
                             SLOT_CAPACITY_FRAMES - done, &more);
                done += more;
            } while (more > 0 && done < static_cast<size_t>(SLOT_CAPACITY_FRAMES));
        }
        frames = static_cast<int>(done);
    } else {
        std::memcpy(dst, data, static_cast<size_t>(frames) * 4);
    }
    return ring_.queue_output(slot, frames);
}

bool PortAudioDevice::in_queue(int slot) const {
    return ring_.output_queued(slot);
}

void PortAudioDevice::drain() {
    ring_.drain();
}

bool PortAudioDevice::add_input(int slot) {
    return input_open() && ring_.give_input(slot);
}

const int16_t* PortAudioDevice::input_data(int slot) const {
    return ring_.input_data(slot);
}

bool PortAudioDevice::start() {
    if (started_) {
        return true;
    }
    for (PaStream* s : {in_stream_, out_stream_}) {
        if (s != nullptr && Pa_StartStream(s) != paNoError) {
            return false;
        }
        started_ = started_ || s != nullptr;
    }
    return true;
}

// ---- callbacks: the ring copies; nothing here locks, allocates or waits ----

int PortAudioDevice::output_callback(const void*, void* output, unsigned long frames,
                                     const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags,
                                     void* self) {
    SlotRing& ring = static_cast<PortAudioDevice*>(self)->ring_;
    if (ring.play(static_cast<int16_t*>(output), frames, (flags & paOutputUnderflow) != 0)) {
        ring.wake();
    }
    return paContinue;
}

int PortAudioDevice::input_callback(const void* input, void*, unsigned long frames,
                                    const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags,
                                    void* self) {
    SlotRing& ring = static_cast<PortAudioDevice*>(self)->ring_;
    if (ring.record(static_cast<const int16_t*>(input), frames, (flags & paInputOverflow) != 0)) {
        ring.wake();
    }
    return paContinue;
}

int PortAudioDevice::duplex_callback(const void* input, void* output, unsigned long frames,
                                     const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags,
                                     void* self) {
    SlotRing& ring = static_cast<PortAudioDevice*>(self)->ring_;
    // Input first, so a block's recording is reported before the output slot it will refill.
    const bool recorded =
        ring.record(static_cast<const int16_t*>(input), frames, (flags & paInputOverflow) != 0);
    const bool played =
        ring.play(static_cast<int16_t*>(output), frames, (flags & paOutputUnderflow) != 0);
    if (recorded || played) {
        ring.wake();
    }
    return paContinue;
}

}  // namespace zv
