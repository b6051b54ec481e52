#include "playback/portaudio_device.h"

#include <soxr.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "playback/device_list.h"
#include "playback/library_messages.h"
#include "playback/live_chain.h"

namespace zv {
namespace {

constexpr size_t SYSTEM_ERROR_TEXT_MAX = 128;

// Input conversion without PortAudio's random dither: the same input always reaches the chain
// as the same samples, in either ON AIR mode.
constexpr PaStreamFlags STREAM_FLAGS = paClipOff | paDitherOff;

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

PaStreamParameters stereo_params(int device, bool output, bool low_latency = false) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = 2;
    p.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    // High latency in block mode: the slot ring already gives blocks of slack, and fewer
    // wake-ups cost less. The live chain asks for the device's shortest.
    if (info == nullptr) {
        p.suggestedLatency = low_latency ? 0.01 : 0.1;
    } else if (low_latency) {
        p.suggestedLatency = output ? info->defaultLowOutputLatency : info->defaultLowInputLatency;
    } else {
        p.suggestedLatency =
            output ? info->defaultHighOutputLatency : info->defaultHighInputLatency;
    }
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

bool same_device_name(const char* system_name, const std::string& listed) {
    char cut[DEVICE_NAME_BYTES];
    copy_device_name(cut, system_name != nullptr ? system_name : "");
    return listed == cut;
}

// The device the lists made at start-up mean by `id` and `name`. PortAudio numbers its devices
// afresh each time it starts, and a sound server's clients come and go, so an index is
// checked against the name it had and otherwise looked up by that name. -1: gone.
int resolve_device(int id, const std::string& name, bool output) {
    const int count = Pa_GetDeviceCount();
    if (name.empty()) {
        return id < count ? id : -1;
    }
    if (id >= 0 && id < count) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(id);
        if (info != nullptr && same_device_name(info->name, name)) {
            return id;
        }
    }
    for (int d = 0; d < count; ++d) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(d);
        if (info != nullptr && same_device_name(info->name, name) &&
            (output ? info->maxOutputChannels : info->maxInputChannels) >= 2) {
            return d;
        }
    }
    return -1;
}

}  // namespace

PortAudioSession::PortAudioSession() {
    install_sound_library_handlers();  // before the host APIs start talking
    const PaError err = Pa_Initialize();
    ok_ = err == paNoError;
    if (!ok_) {
        error_ = Pa_GetErrorText(err);
        return;
    }
    // An active JACK client runs a thread that the server wakes every period, playing or not.
    holding_ = Pa_HostApiTypeIdToHostApiIndex(paJACK) < 0;
    if (!holding_) {
        Pa_Terminate();
    }
}

PortAudioSession::~PortAudioSession() {
    if (holding_) {
        Pa_Terminate();
    }
}

PortAudioDevice::PortAudioDevice(JackPath jack_path) : jack_path_(jack_path) {
    tick_fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    wait_fd_ = epoll_create1(EPOLL_CLOEXEC);
    if (wait_fd_ >= 0) {
        for (int fd : {ring_.wait_fd(), tick_fd_}) {
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.fd = fd;
            if (fd >= 0) {
                epoll_ctl(wait_fd_, EPOLL_CTL_ADD, fd, &ev);
            }
        }
    } else {
        wait_fd_ = ring_.wait_fd();  // block mode still works; the live chain cannot start
    }
}

PortAudioDevice::~PortAudioDevice() {
    close();
    if (wait_fd_ >= 0 && wait_fd_ != ring_.wait_fd()) {
        ::close(wait_fd_);
    }
    if (tick_fd_ >= 0) {
        ::close(tick_fd_);
    }
}

bool PortAudioDevice::open(const DeviceOpenRequest& request, DeviceError& error) {
    close();
    error = DeviceError{};
    const bool want_in = request.in_device_id >= 0;
    const bool want_out = request.out_device_id >= 0;
    if (jack_path_ == JackPath::OwnClient && (want_in || want_out) &&
        (!want_in || request.in_jack_client) && (!want_out || request.out_jack_client) &&
        jack_.connect()) {
        return open_on_jack(request, error);
    }
    const PaError started = Pa_Initialize();
    if (started != paNoError) {
        error.show = true;
        error.system_text = system_error_text(started);
        return false;
    }
    portaudio_held_ = true;
    const int out_device =
        want_out ? resolve_device(request.out_device_id, request.out_device_name, true) : -1;
    const int in_device =
        want_in ? resolve_device(request.in_device_id, request.in_device_name, false) : -1;
    int rate = request.sample_rate;

    // The output's rate decides everything: a device that cannot run at the song's rate runs
    // at its own and the resampler bridges (or, for live input, the stream takes that rate).
    if (want_out) {
        if (!usable(out_device, true)) {
            close();
            return false;
        }
        if (!supports(out_device, true, rate)) {
            // A driver's rate is a double; one no int holds counts as none.
            const double reported = Pa_GetDeviceInfo(out_device)->defaultSampleRate;
            rate = stream_rate(request,
                               reported > 0.0 && reported < 1e7 ? static_cast<int>(reported) : 0);
            if (rate == 0) {
                close();
                return false;
            }
        }
    }
    if (want_in && !usable(in_device, false)) {
        close();
        return false;
    }
    device_rate_ = rate;
    if (request.live != nullptr) {
        return open_live(request, in_device, out_device, rate, error);
    }

    const PaStreamParameters out_p = stereo_params(out_device, true);
    const PaStreamParameters in_p = stereo_params(in_device, false);
    const bool same_api =
        want_in && want_out &&
        Pa_GetDeviceInfo(in_device)->hostApi == Pa_GetDeviceInfo(out_device)->hostApi;

    ring_.reset();
    PaError err = paNoError;
    if (same_api) {
        // One stream: input and output share a clock, so each recorded block is played once.
        err = Pa_OpenStream(&out_stream_, &in_p, &out_p, rate, paFramesPerBufferUnspecified,
                            STREAM_FLAGS, &PortAudioDevice::duplex_callback, this);
        if (err != paNoError) {
            out_stream_ = nullptr;
            error.show = true;
            error.system_text = system_error_text(err);
            close();
            return false;
        }
        duplex_ = true;
    } else {
        if (want_in) {
            err = Pa_OpenStream(&in_stream_, &in_p, nullptr, rate, paFramesPerBufferUnspecified,
                                STREAM_FLAGS, &PortAudioDevice::input_callback, this);
            if (err != paNoError) {
                in_stream_ = nullptr;
                error.show = true;
                error.system_text = system_error_text(err);
                close();
                return false;
            }
        }
        if (want_out) {
            err = Pa_OpenStream(&out_stream_, nullptr, &out_p, rate, paFramesPerBufferUnspecified,
                                STREAM_FLAGS, &PortAudioDevice::output_callback, this);
            if (err != paNoError) {
                out_stream_ = nullptr;
                error.show = true;
                error.system_text = system_error_text(err);
                error.device = request.out_device_name;
                close();
                return false;
            }
        }
    }
    return make_resampler(request, error);
}

int PortAudioDevice::stream_rate(const DeviceOpenRequest& request, int own) {
    if (own == request.sample_rate) {
        return own;
    }
    if (request.rate_may_follow_device) {
        return processor_rate(own) ? own : 0;
    }
    return own > 0 && own <= MAX_RATE_RATIO * request.sample_rate ? own : 0;
}

bool PortAudioDevice::make_resampler(const DeviceOpenRequest& request, DeviceError& error) {
    if (request.out_device_id < 0 || device_rate_ == request.sample_rate ||
        request.rate_may_follow_device) {
        return true;
    }
    soxr_error_t serr = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    resampler_ = soxr_create(request.sample_rate, device_rate_, 2, &serr, &io, &q, nullptr);
    if (serr != nullptr || resampler_ == nullptr) {
        resampler_ = nullptr;
        error.show = true;
        error.system_text = serr != nullptr ? serr : "resampler";
        error.device = request.out_device_name;
        close();
        return false;
    }
    return true;
}

bool PortAudioDevice::open_on_jack(const DeviceOpenRequest& request, DeviceError& error) {
    const bool want_in = request.in_device_id >= 0;
    const bool want_out = request.out_device_id >= 0;
    // The capability test of a JACK device: a client with two ports each way it is used.
    if ((want_in && !jack_.has_stereo_ports(request.in_device_name, true)) ||
        (want_out && !jack_.has_stereo_ports(request.out_device_name, false))) {
        return false;
    }
    device_rate_ = stream_rate(request, jack_.rate());
    if (device_rate_ == 0) {
        return false;
    }
    if (request.live != nullptr &&
        (!want_in || !want_out || tick_fd_ < 0 || wait_fd_ == ring_.wait_fd())) {
        return false;
    }
    ring_.reset();
    DeviceFailure failure = DeviceFailure::SystemError;
    const bool opened =
        request.live != nullptr
            ? jack_.open(true, true, &PortAudioDevice::live_handler, request.live, failure)
            : jack_.open(want_in, want_out, &PortAudioDevice::ring_handler, this, failure);
    if (!opened) {
        error.show = true;
        error.failure = failure;
        error.device = request.out_device_name;
        return false;
    }
    jack_in_ = want_in;
    jack_out_ = want_out;
    jack_in_device_ = request.in_device_name;
    jack_out_device_ = request.out_device_name;
    live_ = request.live;
    return make_resampler(request, error);
}

bool PortAudioDevice::open_live(const DeviceOpenRequest& request, int in_device, int out_device,
                                int rate, DeviceError& error) {
    if (in_device < 0 || out_device < 0 || wait_fd_ == ring_.wait_fd() || tick_fd_ < 0) {
        close();
        return false;
    }
    if (Pa_GetDeviceInfo(in_device)->hostApi != Pa_GetDeviceInfo(out_device)->hostApi) {
        // One callback cannot serve two sound systems' clocks.
        error.show = true;
        error.failure = DeviceFailure::LiveNeedsOneSystem;
        close();
        return false;
    }
    const PaStreamParameters in_p = stereo_params(in_device, false, true);
    const PaStreamParameters out_p = stereo_params(out_device, true, true);
    // Frames per buffer unspecified: the callback comes at the device's own period (a JACK
    // server's period, exactly) and PortAudio adds no buffering of its own.
    const PaError err =
        Pa_OpenStream(&out_stream_, &in_p, &out_p, rate, paFramesPerBufferUnspecified, STREAM_FLAGS,
                      &PortAudioDevice::live_callback, request.live);
    if (err != paNoError) {
        out_stream_ = nullptr;
        error.show = true;
        error.system_text = system_error_text(err);
        error.device = request.out_device_name;
        close();
        return false;
    }
    duplex_ = true;
    live_ = request.live;
    return true;
}

void PortAudioDevice::arm_ticks(bool on) {
    itimerspec timing{};
    if (on) {
        timing.it_interval.tv_nsec = LIVE_TICK_MS * 1000000L;
        timing.it_value = timing.it_interval;
    }
    timerfd_settime(tick_fd_, 0, &timing, nullptr);
    if (!on) {
        uint64_t expirations = 0;
        [[maybe_unused]] ssize_t n = ::read(tick_fd_, &expirations, sizeof expirations);
    }
}

void PortAudioDevice::close() {
    // Abort (or deactivating the JACK client) returns once the callback has stopped, so the
    // ring (or the live chain) is the owner's again after it.
    if (jack_in_ || jack_out_) {
        jack_.close();
        jack_in_ = false;
        jack_out_ = false;
    }
    for (PaStream** s : {&out_stream_, &in_stream_}) {
        if (*s != nullptr) {
            if (started_) {
                Pa_AbortStream(*s);
            }
            Pa_CloseStream(*s);
            *s = nullptr;
        }
    }
    if (live_ != nullptr) {
        arm_ticks(false);
        live_late_ += live_->xruns();
        live_ = nullptr;
    }
    duplex_ = false;
    started_ = false;
    if (resampler_ != nullptr) {
        soxr_delete(resampler_);
        resampler_ = nullptr;
    }
    ring_.reset();
    if (portaudio_held_) {
        portaudio_held_ = false;
        Pa_Terminate();
    }
}

bool PortAudioDevice::next_event(DeviceEvent& event) {
    if (live_ == nullptr) {
        return ring_.next_event(event);
    }
    uint64_t expirations = 0;
    if (::read(tick_fd_, &expirations, sizeof expirations) == sizeof expirations &&
        expirations > 0) {
        event = {DeviceEventKind::OUTPUT_DONE, 0};
        return true;
    }
    return false;
}

uint64_t PortAudioDevice::underflow_count() const {
    return ring_.underflow_count() + live_late_ + (live_ != nullptr ? live_->xruns() : 0);
}

uint64_t PortAudioDevice::overflow_count() const {
    // A late period of the live chain lost input as well as leaving a gap.
    return ring_.overflow_count() + live_late_ + (live_ != nullptr ? live_->xruns() : 0);
}

bool PortAudioDevice::streams_alive() const {
    if (jack_in_ || jack_out_) {
        return jack_.alive();
    }
    for (PaStream* s : {out_stream_, in_stream_}) {
        if (started_ && s != nullptr && Pa_IsStreamActive(s) != 1) {
            return false;
        }
    }
    return true;
}

bool PortAudioDevice::write(int slot, const int16_t* data, int bytes, bool last) {
    int16_t* dst = ring_.output_storage(slot);
    if (live_ != nullptr || !output_open() || dst == nullptr || bytes < 0 || bytes > BLOCK_BYTES ||
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
    return live_ == nullptr && input_open() && ring_.give_input(slot);
}

const int16_t* PortAudioDevice::input_data(int slot) const {
    return ring_.input_data(slot);
}

bool PortAudioDevice::start() {
    if (started_) {
        return true;
    }
    if (jack_in_ || jack_out_) {
        if (!jack_.start(jack_in_device_, jack_out_device_)) {
            return false;
        }
        started_ = true;
        if (live_ != nullptr) {
            arm_ticks(true);
        }
        return true;
    }
    for (PaStream* s : {in_stream_, out_stream_}) {
        if (s != nullptr && Pa_StartStream(s) != paNoError) {
            return false;
        }
        started_ = started_ || s != nullptr;
    }
    if (live_ != nullptr) {
        arm_ticks(true);
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

int PortAudioDevice::live_callback(const void* input, void* output, unsigned long frames,
                                   const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags,
                                   void* chain) {
    constexpr PaStreamCallbackFlags LATE =
        paInputUnderflow | paInputOverflow | paOutputUnderflow | paOutputOverflow;
    static_cast<LiveChain*>(chain)->run(static_cast<const int16_t*>(input),
                                        static_cast<int16_t*>(output), frames, (flags & LATE) != 0);
    return paContinue;
}

void PortAudioDevice::ring_handler(void* self, const int16_t* in, int16_t* out,
                                   unsigned long frames, bool late) {
    SlotRing& ring = static_cast<PortAudioDevice*>(self)->ring_;
    const bool recorded = in != nullptr && ring.record(in, frames, late);
    const bool played = out != nullptr && ring.play(out, frames, late);
    if (recorded || played) {
        ring.wake();
    }
}

void PortAudioDevice::live_handler(void* chain, const int16_t* in, int16_t* out,
                                   unsigned long frames, bool late) {
    static_cast<LiveChain*>(chain)->run(in, out, frames, late);
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
