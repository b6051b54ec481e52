#include "playback/audio_engine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/normalisation.h"
#include "sources/song_rates.h"

namespace zv {
namespace {

// A song at another rate plays at its chain rate (song_rates.h), resampled.
bool playable_format(int32_t rate, int32_t channels) {
    return is_chain_rate(chain_rate_for(rate)) && (channels == 1 || channels == 2);
}

// A late-added MP3 gets its probe now; false (and the mark) when the file still fails.
bool probe_pending_entry(Playlist& pl, int index) {
    if (!probe_pending_song(pl, index)) {
        pl.song_mark[index] = MARK_FAILED;
        return false;
    }
    return true;
}

// A read error (a damaged disk) ends the song where it happened and marks it failed; the
// blocks already queued still play.
void mark_current_failed(AudioEngine& e) {
    Playlist& pl = *e.playlist;
    if (pl.current_index >= 0 && pl.current_index < pl.song_count) {
        pl.song_mark[pl.current_index] = MARK_FAILED;
    }
}

bool write_block(AudioEngine& e, int slot, bool last) {
    const AudioBuffer& b = e.out_buffers[slot];
    return e.device->write(slot, b.data.get(), b.length, last);
}

int fill(AudioEngine& e, int slot) {
    if (e.onair_mode) {
        return fill_from_onair(e, slot);
    }
    if (e.source_type == SOURCE_MP3) {
        return fill_from_mp3(e, e.out_buffers[slot]);
    }
    if (e.source_type == SOURCE_SNDFILE) {
        return fill_from_sndfile(e, e.out_buffers[slot]);
    }
    return fill_from_wav(e, e.out_buffers[slot]);
}

void enter_draining(AudioEngine& e) {
    e.engine_state = ENGINE_DRAINING;
    e.device->drain();
}

// Seeking ends when the pointer has left the seek buttons while the mouse button is held.
void check_seek_pointer(AudioEngine& e, bool forward_only) {
    if (e.seek_active && !e.host->pointer_over_seek_buttons(forward_only)) {
        e.seek_active = 0;
        e.host->release_transport_buttons();
    }
}

}  // namespace

std::unique_ptr<AudioEngine> make_audio_engine(AudioDevice& device, Processor& processor,
                                               Playlist& playlist, EngineHost& host) {
    auto e = std::make_unique<AudioEngine>();
    e->device = &device;
    e->processor = &processor;
    e->playlist = &playlist;
    e->host = &host;
    return e;
}

bool open_devices(AudioEngine& e) {
    DeviceOpenRequest request;
    request.sample_rate = e.sample_rate;
    request.buffer_count = e.buffer_count;
    if (e.lists.outputs.count == 0) {
        return false;
    }
    const DeviceInfo& out =
        e.lists.outputs
            .devices[std::min<int>(e.settings.out_device_index, e.lists.outputs.count - 1)];
    request.out_device_id = static_cast<int>(out.device_id);
    request.out_device_name = out.name;
    request.out_jack_client = out.jack_client;
    if (e.onair_mode) {
        if (e.lists.inputs.count == 0) {
            return false;
        }
        const DeviceInfo& in =
            e.lists.inputs
                .devices[std::min<int>(e.settings.in_device_index, e.lists.inputs.count - 1)];
        request.in_device_id = static_cast<int>(in.device_id);
        request.in_device_name = in.name;
        request.in_jack_client = in.jack_client;
        request.rate_may_follow_device = true;
        if (e.settings.low_latency != 0) {
            request.live = e.live.get();
        }
    }
    DeviceError error;
    if (!e.device->open(request, error)) {
        if (error.show) {
            e.host->device_open_failed(error);
        }
        return false;
    }
    return true;
}

bool alloc_buffers(AudioEngine& e) {
    free_buffers(e);
    for (int i = 0; i < e.buffer_count; ++i) {
        e.out_buffers[i].data.reset(new (std::nothrow) int16_t[BLOCK_BYTES / 2]());
        e.out_buffers[i].length = BLOCK_BYTES;
        if (!e.out_buffers[i].data) {
            return false;
        }
    }
    if (e.onair_mode) {
        // Cleared here, so the first buffer_count output blocks are processed silence.
        e.onair_slots.reset(new (std::nothrow)
                                int16_t[static_cast<size_t>(e.buffer_count) * ONAIR_SLOT_VALUES]());
        if (!e.onair_slots) {
            return false;
        }
    }
    return true;
}

void free_buffers(AudioEngine& e) {
    for (AudioBuffer& b : e.out_buffers) {
        b.data.reset();
        b.length = 0;
    }
    e.onair_slots.reset();
}

void stop_and_close(AudioEngine& e) {
    e.engine_state = ENGINE_IDLE;
    e.host->release_transport_buttons();
    e.wav.close();
    e.mp3.close();
    e.sndfile.close();
    e.device->close();
    e.live_running = 0;  // the device's callback has stopped
    free_buffers(e);
    e.host->refresh_playlist_view();
}

void start_playback(AudioEngine& e) {
    if (e.engine_state != ENGINE_IDLE) {
        return;
    }
    Playlist& pl = *e.playlist;
    if (pl.song_count <= 0 || pl.selected_index < 0 || pl.selected_index >= pl.song_count) {
        return;
    }
    pl.current_index = pl.selected_index;
    e.mp3_carry = 0;
    e.mp3_last_result = 0;
    const int index = pl.current_index;
    if (!e.onair_mode && pl.entries[index].source_type == SOURCE_MP3_PENDING) {
        if (!probe_pending_entry(pl, index)) {
            e.host->refresh_playlist_view();
            return;
        }
    }
    const SongEntry& entry = pl.entries[index];
    if (!playable_format(entry.sample_rate, entry.channels)) {
        return;  // a WAV whose "data" came before its "fmt ": nothing sensible to play
    }
    e.sample_rate = chain_rate_for(entry.sample_rate);
    e.channels = static_cast<int16_t>(entry.channels);
    e.source_type = e.onair_mode ? SOURCE_WAV : entry.source_type;
    e.buffer_count =
        std::clamp<int32_t>(e.settings.buffer_count, BUFFER_COUNT_MIN, BUFFER_COUNT_MAX);
    const bool live = e.onair_mode && e.settings.low_latency != 0;
    if (live && !e.live) {
        e.live = std::make_unique<LiveChain>();
    }

    if (!open_devices(e)) {
        return;
    }
    // This thread runs process_block from now on. Setting the mode is cheap and done at every
    // start; whether the machine honours it is checked once.
    const bool flushed = enable_flush_denormals();
    if (e.flush_to_zero < 0) {
        e.flush_to_zero = flushed ? 1 : 0;
    }
    if (e.onair_mode && e.device->device_rate() != e.sample_rate) {
        // Live input runs at the device's own rate when it cannot run at the chosen one.
        e.sample_rate = e.device->device_rate();
        pl.entries[index].sample_rate = e.sample_rate;
    }
    e.processor->params.normalisation_gain = normalisation_gain_for_peak(entry.peak_level);
    if (live) {
        start_live_chain(e);
        return;
    }
    if (!alloc_buffers(e)) {
        stop_and_close(e);
        return;
    }
    change_sample_rate(*e.processor, e.sample_rate);

    if (!e.onair_mode) {
        std::memcpy(e.current_path, entry.path, SONG_PATH_BYTES);
        const std::string path(song_path(entry));
        bool opened = false;
        if (e.source_type == SOURCE_MP3) {
            opened = mp3_open(e.mp3, path);
        } else if (e.source_type == SOURCE_SNDFILE) {
            // The file is read at the rate the devices were opened at: a song that changed
            // since it was added is not played at the wrong speed.
            opened = e.sndfile.open(path) && e.sndfile.rate() == e.sample_rate &&
                     e.sndfile.channels() == e.channels;
            if (!opened) {
                pl.song_mark[index] = MARK_FAILED;
            }
        } else {
            opened = e.wav.open(path);
        }
        if (!opened) {
            stop_and_close(e);
            return;
        }
    }
    e.played_bytes = 0;

    if (e.onair_mode) {
        for (int i = 0; i < e.buffer_count; ++i) {
            e.device->add_input(i);
        }
    }

    bool ended = false;
    for (int i = 0; i < e.buffer_count && !ended; ++i) {
        const int r = fill(e, i);
        if (e.source_type == SOURCE_MP3 && !e.onair_mode && r == 0 &&
            (e.mp3_last_result < 0 || (i == 0 && e.out_buffers[i].length == 0))) {
            // The decoder failed (or the stream held nothing): the song is marked and skipped.
            pl.song_mark[index] = MARK_FAILED;
            stop_and_close(e);
            return;
        }
        if (e.source_type == SOURCE_SNDFILE && !e.onair_mode && r == 0 && i == 0 &&
            e.out_buffers[i].length == 0) {
            pl.song_mark[index] = MARK_FAILED;  // nothing decodes: marked and skipped
            stop_and_close(e);
            return;
        }
        ended = r == 0;
        if (!write_block(e, i, ended)) {
            stop_and_close(e);
            return;
        }
    }
    e.engine_state = ENGINE_PLAYING;
    if (ended) {
        enter_draining(e);  // a song shorter than the primed blocks
    }
    if (!e.device->start()) {
        stop_and_close(e);
        return;
    }
    e.host->refresh_playlist_view();
}

void request_stop(AudioEngine& e) {
    if (e.engine_state != ENGINE_IDLE) {
        e.stop_requested = 1;
        enter_draining(e);
    }
}

void on_output_done(AudioEngine& e, int slot) {
    if (e.live_running) {
        on_live_tick(e);
        return;
    }
    if (slot < 0 || slot >= e.buffer_count || !e.out_buffers[slot].data) {
        return;
    }
    if (e.engine_state == ENGINE_PLAYING) {
        const int r = fill(e, slot);
        if (!write_block(e, slot, r == 0)) {
            stop_and_close(e);
            return;
        }
        if (r == 0) {
            enter_draining(e);
        }
    }
    if (e.engine_state == ENGINE_DRAINING) {
        for (int i = 0; i < e.buffer_count; ++i) {
            if (e.device->in_queue(i)) {
                return;
            }
        }
        e.engine_state = ENGINE_FINISHED;
    }
    if (e.engine_state == ENGINE_FINISHED) {
        stop_and_close(e);
        reset_processor_state(*e.processor);
        e.engine_state = ENGINE_IDLE;
        Playlist& pl = *e.playlist;
        if (e.stop_requested) {
            e.stop_requested = 0;
        } else if (pl.continuous_playback && pl.selected_index < pl.song_count - 1) {
            bind_band_state(*e.processor);
            ++pl.selected_index;
            std::memcpy(e.current_path, pl.entries[pl.selected_index].path, SONG_PATH_BYTES);
            e.host->set_timer(TIMER_NEXT_SONG, NEXT_SONG_DELAY_MS);
        }
    }
}

int dispatch_device_events(AudioEngine& e) {
    int handled = 0;
    DeviceEvent event;
    while (e.device->next_event(event)) {
        ++handled;
        if (event.kind == DeviceEventKind::INPUT_DONE) {
            on_input_data(e, event.slot);
        } else {
            on_output_done(e, event.slot);
        }
    }
    return handled;
}

void on_timer(AudioEngine& e, int timer_id) {
    e.host->kill_timer(timer_id);
    if (timer_id == TIMER_NEXT_SONG) {
        start_playback(e);  // checks idle, the count and the selection itself
    } else if (timer_id == TIMER_ONAIR_AUTOSTART) {
        onair_autostart(e);
    }
}

void process_buffer(AudioEngine& e, int32_t sample_count, const int16_t* in, int16_t* out) {
    process_block(*e.processor, sample_count, in, out);
    e.meters.add(e.processor->state.meters);
}

int fill_from_wav(AudioEngine& e, AudioBuffer& b) {
    check_seek_pointer(e, false);
    const int steps = e.seek_active ? std::abs(e.seek_step) : 1;
    const bool backward = e.seek_active && e.seek_step < 0;
    if (!e.wav.is_open()) {
        e.engine_state = ENGINE_IDLE;
        b.length = 0;
        return 1;
    }
    size_t bytes = 0;
    if (e.channels == 2) {
        for (int i = 0; i < steps; ++i) {
            if (backward) {
                const int64_t offset = std::max<int64_t>(0, e.played_bytes - 2 * BLOCK_BYTES);
                e.wav.seek_data(static_cast<uint64_t>(offset));
                e.played_bytes = offset;
            }
            e.work.fill(0);
            bytes = e.wav.read(e.work.data(), BLOCK_BYTES) & ~size_t{3};
            if (bytes == 0 && e.seek_active) {
                break;
            }
            e.played_bytes += static_cast<int64_t>(bytes);
            if (e.wav.failed()) {
                break;
            }
        }
    } else {
        size_t mono_bytes = 0;
        for (int i = 0; i < steps; ++i) {
            if (backward) {
                const int64_t offset = std::max<int64_t>(0, e.played_bytes / 2 - BLOCK_BYTES);
                e.wav.seek_data(static_cast<uint64_t>(offset));
                e.played_bytes = 2 * offset;
            }
            mono_bytes = e.wav.read(e.mono.data(), BLOCK_BYTES / 2) & ~size_t{1};
            if (mono_bytes == 0 && e.seek_active) {
                break;
            }
            e.played_bytes += 2 * static_cast<int64_t>(mono_bytes);
            if (e.wav.failed()) {
                break;
            }
        }
        e.work.fill(0);
        for (size_t i = 0; i < mono_bytes / 2; ++i) {
            e.work[2 * i] = e.mono[i];
            e.work[2 * i + 1] = e.mono[i];
        }
        bytes = 2 * mono_bytes;
    }
    process_buffer(e, static_cast<int32_t>(bytes / 2), e.work.data(), b.data.get());
    b.length = static_cast<int32_t>(bytes);
    if (e.wav.failed()) {
        mark_current_failed(e);
        return 0;
    }
    return bytes == BLOCK_BYTES ? 1 : 0;
}

int fill_from_mp3(AudioEngine& e, AudioBuffer& b) {
    check_seek_pointer(e, true);
    if (e.seek_step < 0) {
        e.seek_active = 0;  // an MP3 cannot be read backwards
    }
    const int steps = e.seek_active ? std::abs(e.seek_step) : 1;
    if (!e.mp3.is_open()) {
        e.engine_state = ENGINE_IDLE;
        b.length = 0;
        return 1;
    }
    int32_t acc = e.mp3_carry;  // bytes
    e.work.fill(0);
    int result = 0;
    for (;;) {
        for (int i = 0; i < steps; ++i) {
            result = mp3_read_frame(e.mp3, e.frame_l.data(), e.frame_r.data());
            if (result <= 0) {
                break;
            }
            e.played_bytes += 4 * static_cast<int64_t>(result);
        }
        if (result <= 0) {
            break;
        }
        int16_t* dst = e.mp3_acc.data() + acc / 2;
        const int16_t* right = e.mp3.channels() == 2 ? e.frame_r.data() : e.frame_l.data();
        for (int i = 0; i < result; ++i) {
            dst[2 * i] = e.frame_l[i];
            dst[2 * i + 1] = right[i];
        }
        acc += 4 * result;
        if (acc > BLOCK_BYTES) {
            break;
        }
    }
    if (result == MP3_FORMAT_CHANGE) {
        // The song ends at the change: what came before it plays, nothing of the new format.
        result = MP3_END;
    }
    e.mp3_last_result = result;
    if (result == MP3_READ_ERROR) {
        mark_current_failed(e);
    }
    if (result < 0) {
        e.mp3_carry = 0;
        b.length = 0;
        return 0;
    }
    int32_t bytes = 0;
    if (result > 0) {
        std::memcpy(e.work.data(), e.mp3_acc.data(), BLOCK_BYTES);
        e.mp3_carry = acc - BLOCK_BYTES;
        std::memmove(e.mp3_acc.data(), e.mp3_acc.data() + BLOCK_BYTES / 2,
                     static_cast<size_t>(e.mp3_carry));
        bytes = BLOCK_BYTES;
    } else {
        std::memcpy(e.work.data(), e.mp3_acc.data(), static_cast<size_t>(acc));
        e.mp3_carry = 0;
        bytes = acc;
    }
    process_buffer(e, bytes / 2, e.work.data(), b.data.get());
    b.length = bytes;
    return result > 0 ? 1 : 0;
}

int fill_from_sndfile(AudioEngine& e, AudioBuffer& b) {
    check_seek_pointer(e, false);
    const int steps = e.seek_active ? std::abs(e.seek_step) : 1;
    const bool backward = e.seek_active && e.seek_step < 0;
    ChainRateReader& song = e.sndfile;
    if (!song.is_open()) {
        e.engine_state = ENGINE_IDLE;
        b.length = 0;
        return 1;
    }
    constexpr size_t block_frames = BLOCK_FRAMES;
    const bool stereo = song.channels() == 2;
    size_t frames = 0;
    // Seeking steps over blocks as a WAV does: each counts, only the last one plays. Back, the
    // steps land where one seek lands (each a block back from the last one read), so the song
    // is sought and its resampler started once, not once a step.
    int reads = steps;
    if (backward) {
        const int64_t frame = std::max<int64_t>(
            0, e.played_bytes / 4 - (steps + 1) * static_cast<int64_t>(block_frames));
        song.seek(static_cast<uint64_t>(frame));
        e.played_bytes = 4 * frame;
        reads = 1;
    }
    for (int i = 0; i < reads; ++i) {
        e.work.fill(0);
        frames = song.read(stereo ? e.work.data() : e.mono.data(), block_frames);
        if (frames == 0 && e.seek_active) {
            break;
        }
        e.played_bytes += 4 * static_cast<int64_t>(frames);
        if (song.failed()) {
            break;
        }
    }
    if (!stereo) {
        e.work.fill(0);
        for (size_t i = 0; i < frames; ++i) {
            e.work[2 * i] = e.mono[i];
            e.work[2 * i + 1] = e.mono[i];
        }
    }
    process_buffer(e, static_cast<int32_t>(2 * frames), e.work.data(), b.data.get());
    b.length = static_cast<int32_t>(4 * frames);
    if (song.failed()) {
        // A read error or a damaged stream ends the song where it happened; it is marked.
        mark_current_failed(e);
        return 0;
    }
    return frames == block_frames ? 1 : 0;
}

void press_seek_button(AudioEngine& e, int step) {
    e.seek_step = step;
    e.seek_active = 1;
}

void release_seek_buttons(AudioEngine& e) {
    e.seek_active = 0;
    e.host->release_transport_buttons();
}

}  // namespace zv
