// ON AIR mode: the live input replaces the playlist and runs through the processor to the
// output. Output slot i is refilled from what input slot i recorded last.
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
