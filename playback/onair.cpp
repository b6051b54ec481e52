// ON AIR mode: the live input replaces the playlist and runs through the processor to the
// output. In block mode output slot i is refilled from what input slot i recorded last; in
// low-latency mode the device's callback runs the chain (live_chain.h) and the owner only
// hands parameters over, reads the meters and stops it.
#include <cstring>

#include "playback/audio_engine.h"

namespace zv {

int fill_from_onair(AudioEngine& e, int slot) {
    AudioBuffer& b = e.out_buffers[slot];
    const int16_t* recorded = e.onair_slots.get() + static_cast<size_t>(slot) * ONAIR_SLOT_VALUES;
    process_buffer(e, BLOCK_BYTES / 2, recorded, b.data.get());
    b.length = BLOCK_BYTES;
    e.played_bytes += BLOCK_BYTES;
    return 1;  // live input never ends by itself
}

void on_input_data(AudioEngine& e, int slot) {
    if (!e.onair_mode || !e.device->input_open() || e.engine_state != ENGINE_PLAYING || slot < 0 ||
        slot >= e.buffer_count || !e.onair_slots) {
        return;
    }
    const int16_t* recorded = e.device->input_data(slot);
    if (recorded != nullptr) {
        std::memcpy(e.onair_slots.get() + static_cast<size_t>(slot) * ONAIR_SLOT_VALUES, recorded,
                    BLOCK_BYTES);
    }
    // A failed re-queue leaves the slot with its last content, which plays again.
    e.device->add_input(slot);
}

void start_live_chain(AudioEngine& e) {
    change_sample_rate(*e.processor, e.sample_rate);
    e.played_bytes = 0;
    e.live->start(*e.processor);
    e.live_running = 1;
    e.engine_state = ENGINE_PLAYING;
    if (!e.device->start()) {
        stop_and_close(e);
        return;
    }
    e.host->refresh_playlist_view();
}

void on_live_tick(AudioEngine& e) {
    if (!e.live_running) {
        return;
    }
    const bool alive = e.device->streams_alive();
    if (e.engine_state == ENGINE_PLAYING && alive) {
        e.live->hand_over(e.processor->params);
        MeterSnapshot m;
        if (e.live->take_meters(m)) {
            e.meters = m;
        } else {
            begin_block_meters(e.meters);  // no period ended since the last tick
        }
        e.played_bytes = 4 * static_cast<int64_t>(e.live->frames());
        return;
    }
    // Stopped, or the stream ended by itself: nothing is queued, so the engine closes now.
    stop_and_close(e);
    reset_processor_state(*e.processor);
    e.stop_requested = 0;
}

bool toggle_onair_mode(AudioEngine& e) {
    if (e.engine_state != ENGINE_IDLE) {
        return false;
    }
    Playlist& pl = *e.playlist;
    pl.selected_index = 0;
    pl.current_index = 0;
    e.onair_mode = e.onair_mode ? 0 : 1;
    if (e.onair_mode) {
        put_onair_entry(pl, onair_rate_hz(e.settings.onair_rate_choice));
        e.host->set_list_commands_enabled(false);
    } else {
        pl.song_count = 0;
        e.host->set_list_commands_enabled(true);
    }
    e.host->refresh_playlist_view();
    return true;
}

void arm_onair_autostart(AudioEngine& e) {
    if (e.settings.onair_autostart == 1) {
        e.host->set_timer(TIMER_ONAIR_AUTOSTART, ONAIR_AUTOSTART_DELAY_MS);
    }
}

void onair_autostart(AudioEngine& e) {
    if (e.engine_state != ENGINE_IDLE) {
        return;
    }
    Playlist& pl = *e.playlist;
    e.onair_mode = 1;
    pl.selected_index = 0;
    pl.current_index = 0;
    put_onair_entry(pl, onair_rate_hz(e.settings.onair_rate_choice));
    e.host->set_list_commands_enabled(false);
    start_playback(e);
}

}  // namespace zv
