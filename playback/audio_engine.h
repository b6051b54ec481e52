// The streaming engine: plays the selected song (or, in ON AIR mode, the live input) through
// the processor to the output device, one 16384-byte block at a time. Everything here runs on
// the owner thread (the window's thread in the desktop program): the device's notifications
// reach it as events that dispatch_device_events hands to the buffer-done handlers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/meter_snapshot.h"
#include "engine/processor.h"
#include "playback/audio_device.h"
#include "playback/device_list.h"
#include "playback/device_settings.h"
#include "playback/live_chain.h"
#include "sources/chain_rate_reader.h"
#include "sources/mp3_source.h"
#include "sources/playlist.h"
#include "sources/wav_source.h"

namespace zv {

enum EngineState : int16_t {
    ENGINE_IDLE = 0,
    ENGINE_PLAYING = 1,
    ENGINE_DRAINING = 3,
    ENGINE_FINISHED = 4,
};

constexpr int TIMER_NEXT_SONG = 1;
constexpr int TIMER_ONAIR_AUTOSTART = 3;
constexpr int NEXT_SONG_DELAY_MS = 1000;
constexpr int ONAIR_AUTOSTART_DELAY_MS = 1500;
constexpr int INITIAL_SEEK_STEP = 5;

// What the window supplies to the engine. The defaults do nothing, which is what a headless
// owner wants for the visual parts.
class EngineHost {
public:
    virtual ~EngineHost() = default;
    // One-shot timers by id; arming an armed timer restarts it.
    virtual void set_timer(int id, int delay_ms) = 0;
    virtual void kill_timer(int id) = 0;
    // Is the pointer over one of the seek buttons (only the two forward ones when
    // forward_only)? Asked while a seek button is held.
    virtual bool pointer_over_seek_buttons(bool forward_only) {
        (void)forward_only;
        return true;
    }
    virtual void release_transport_buttons() {}
    virtual void refresh_playlist_view() {}
    virtual void set_list_commands_enabled(bool enabled) { (void)enabled; }
    // Device open errors; caption empty for the system's own texts.
    virtual void show_message(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
    }
};

struct AudioBuffer {
    std::unique_ptr<int16_t[]> data;  // BLOCK_BYTES of interleaved stereo
    int32_t length = 0;               // valid bytes of the last fill
};

constexpr int MP3_ACCUMULATOR_VALUES = (BLOCK_BYTES + 4 * MP3_FRAME_SAMPLES) / 2;
constexpr int ONAIR_SLOT_VALUES = 2 * BLOCK_BYTES / 2;  // 32768 bytes, the latest block first

struct AudioEngine {
    // The rate the chain and the device run at: the song's own, or the chain rate it is
    // resampled to (song_rates.h).
    int32_t sample_rate = 44100;
    int16_t bits = 16;
    int16_t channels = 2;
    std::array<AudioBuffer, MAX_BUFFERS> out_buffers;
    // Output bytes of the song so far, 4 per frame for mono songs too, skipped blocks included.
    // 64 bits: an ON AIR session of a few hours would overflow 32.
    int64_t played_bytes = 0;
    int16_t engine_state = ENGINE_IDLE;
    char current_path[SONG_PATH_BYTES] = {};
    int32_t source_type = SOURCE_WAV;  // of the open source
    WavReader wav;
    Mp3Decoder mp3;
    ChainRateReader sndfile;  // FLAC, Ogg Vorbis, Opus and other WAV songs, at sample_rate
    DeviceLists lists;
    DeviceSettings settings;
    int32_t buffer_count = 4;  // the settings' value taken at the start, clamped to 2..8

    // Work areas, reused for every block.
    std::array<int16_t, BLOCK_BYTES> work{};  // 32768 bytes of stereo before processing
    std::array<int16_t, BLOCK_BYTES / 4> mono{};
    std::array<int16_t, MP3_ACCUMULATOR_VALUES> mp3_acc{};
    std::array<int16_t, MP3_FRAME_SAMPLES> frame_l{}, frame_r{};
    int32_t mp3_carry = 0;                   // stereo bytes left over from the previous MP3 fill
    int32_t mp3_last_result = 0;             // of the last read_frame: negative = decode error
    std::unique_ptr<int16_t[]> onair_slots;  // buffer_count x ONAIR_SLOT_VALUES

    int32_t seek_active = 0;
    int32_t seek_step = INITIAL_SEEK_STEP;
    int32_t stop_requested = 0;
    int32_t onair_mode = 0;
    // Low-latency ON AIR mode: the chain that runs in the device's callback (made at its first
    // start and kept), and whether it runs now. While it runs the program's processor runs no
    // stream: the panel edits it and each device tick hands the changes over.
    std::unique_ptr<LiveChain> live;
    int8_t live_running = 0;

    // The meters of the block processed last; the panel reads them after each buffer.
    MeterSnapshot meters;
    // Whether flush-to-zero took effect on the owner thread, checked at the first start:
    // -1 not yet started, 0 no (silent tails may then run much slower), 1 yes.
    int8_t flush_to_zero = -1;

    // Collaborators, owned by the program.
    AudioDevice* device = nullptr;
    Processor* processor = nullptr;
    Playlist* playlist = nullptr;
    EngineHost* host = nullptr;
};

// The engine on the heap (its work areas are large), bound to its collaborators.
std::unique_ptr<AudioEngine> make_audio_engine(AudioDevice& device, Processor& processor,
                                               Playlist& playlist, EngineHost& host);

// Anything but idle is busy for the playlist commands, export and ON AIR switching.
inline bool engine_busy(const AudioEngine& e) {
    return e.engine_state != ENGINE_IDLE;
}

// Opens the output (and in ON AIR mode first the input) for the engine's rate; an open error
// is shown through the host. False leaves everything closed.
bool open_devices(AudioEngine& e);

// Starts the selected song, or the live input in ON AIR mode. Success shows as a state other
// than idle; every failure leaves the engine idle with devices, buffers and source closed.
void start_playback(AudioEngine& e);
// start_playback's end in low-latency ON AIR mode, once the devices are open: the rate-change
// sequence on the program's processor, the live chain's copy of it, the stream started.
void start_live_chain(AudioEngine& e);
// The Stop command: the queued blocks play out, then the engine closes; nothing follows.
void request_stop(AudioEngine& e);
// An output slot has been played. Refills it, or drains and closes at the end.
void on_output_done(AudioEngine& e, int slot);
// An input slot has been recorded (ON AIR mode).
void on_input_data(AudioEngine& e, int slot);
// A tick of the device that runs the live chain (low-latency ON AIR mode): hands the panel's
// changes over, takes the meters and the played time; after Stop, closes.
void on_live_tick(AudioEngine& e);
// Pops and handles every pending device event; returns how many.
int dispatch_device_events(AudioEngine& e);
// The host's timers land here.
void on_timer(AudioEngine& e, int timer_id);

// 1: a full block was produced and more follows; 0: the last block (or an MP3 decode error).
int fill_from_wav(AudioEngine& e, AudioBuffer& b);
int fill_from_mp3(AudioEngine& e, AudioBuffer& b);
int fill_from_sndfile(AudioEngine& e, AudioBuffer& b);
int fill_from_onair(AudioEngine& e, int slot);

// Runs one block through the processor and takes its meters.
void process_buffer(AudioEngine& e, int32_t sample_count, const int16_t* in, int16_t* out);

void stop_and_close(AudioEngine& e);
bool alloc_buffers(AudioEngine& e);
void free_buffers(AudioEngine& e);

// The transport's seek buttons: pressing sets the step and seeking; releasing ends it.
void press_seek_button(AudioEngine& e, int step);
void release_seek_buttons(AudioEngine& e);

// ON AIR mode. The switch is refused (false) unless the engine is idle.
bool toggle_onair_mode(AudioEngine& e);
// At start-up: arms TIMER_ONAIR_AUTOSTART when the settings ask for it.
void arm_onair_autostart(AudioEngine& e);
// The auto-start timer's work: ON AIR mode forced on and started.
void onair_autostart(AudioEngine& e);

}  // namespace zv
