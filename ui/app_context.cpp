#include "ui/app_context.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "settings/state_file.h"
#include "sources/replace_file.h"
#include "sources/song_rates.h"
#include "ui/panel_controls.h"

namespace zv {

std::string temp_clean_text(const TempCleanResult& r, const std::filesystem::path& folder) {
    const std::string name = folder.string();
    switch (r.outcome) {
        case TempCleanOutcome::Link:
            return name + " is a symbolic link, not a folder: left alone (nothing deleted)";
        case TempCleanOutcome::NotAFolder:
            return name + " is not a folder: left alone (nothing deleted)";
        case TempCleanOutcome::NotOwned:
            return name + " belongs to another user: left alone (nothing deleted)";
        case TempCleanOutcome::Unreadable:
            return "cannot empty " + name + ": " + std::strerror(r.error);
        case TempCleanOutcome::Cleaned:
        case TempCleanOutcome::Missing:
            break;
    }
    return {};
}

EngineDriver::EngineDriver(QObject* parent) : QObject(parent) {
    for (int id = 0; id < TIMER_SLOTS; ++id) {
        auto* t = new QTimer(this);
        t->setSingleShot(true);
        connect(t, &QTimer::timeout, this, [this, id] { fire(id); });
        timers_[static_cast<size_t>(id)] = t;
    }
}

void EngineDriver::attach(AudioEngine& engine, MeterModel& meters) {
    engine_ = &engine;
    meters_ = &meters;
    const int fd = engine.device->wait_fd();
    if (fd >= 0) {
        notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { dispatch(); });
    }
}

void EngineDriver::set_timer(int id, int delay_ms) {
    if (id >= 0 && id < TIMER_SLOTS) {
        timers_[static_cast<size_t>(id)]->start(delay_ms);
    }
}

void EngineDriver::kill_timer(int id) {
    if (id >= 0 && id < TIMER_SLOTS) {
        timers_[static_cast<size_t>(id)]->stop();
    }
}

bool EngineDriver::timer_armed(int id) const {
    return id >= 0 && id < TIMER_SLOTS && timers_[static_cast<size_t>(id)]->isActive();
}

void EngineDriver::fire(int id) {
    if (engine_ == nullptr) {
        return;
    }
    const bool was_busy = engine_busy(*engine_);
    on_timer(*engine_, id);
    if (was_busy && !engine_busy(*engine_)) {
        emit engine_stopped();
    }
    if (id == TIMER_ONAIR_AUTOSTART && !engine_busy(*engine_)) {
        // The live input did not start (no device): its row shows all the same.
        window().refresh_playlist();
    }
    window().redraw_panel();
}

int EngineDriver::dispatch() {
    if (engine_ == nullptr) {
        return 0;
    }
    const bool was_busy = engine_busy(*engine_);
    int handled = 0;
    DeviceEvent event;
    // At most one round of the ring per activation: when processing falls behind the device
    // (a slow machine, a sanitizer build) the loop must still get back to painting and input;
    // the notifier fires again for what is left.
    while (handled < 2 * MAX_BUFFERS && engine_->device->next_event(event)) {
        ++handled;
        if (event.kind == DeviceEventKind::INPUT_DONE) {
            on_input_data(*engine_, event.slot);
        } else {
            on_output_done(*engine_, event.slot);
            // Every processed block is laid on the meters, however many arrived at once.
            meters_->absorb(engine_->meters);
        }
    }
    if (was_busy && !engine_busy(*engine_)) {
        meters_->engine_stopped();
        emit engine_stopped();
    }
    // While draining the handler waits for the queued blocks; nothing new to show.
    if (handled > 0 && engine_->engine_state != ENGINE_DRAINING) {
        window().redraw_panel();
    }
    return handled;
}

bool EngineDriver::pointer_over_seek_buttons(bool forward_only) {
    return window().pointer_over_seek_buttons(forward_only);
}

void EngineDriver::release_transport_buttons() {
    window().release_transport_buttons();
}

void EngineDriver::refresh_playlist_view() {
    window().refresh_playlist();
}

void EngineDriver::set_list_commands_enabled(bool enabled) {
    window().set_list_commands_enabled(enabled);
}

void EngineDriver::show_message(const std::string& caption, const std::string& text) {
    window().show_message(caption, text);
}

AppContext::AppContext(const StartOptions& options, std::unique_ptr<AudioDevice> audio_device,
                       const BeepHook& beep)
    : ini(std::filesystem::path()), device(std::move(audio_device)) {
    // The run's id and the program folder.
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    folders = make_program_folders(choose_program_folder(options.folder, cwd));
    std::string error;
    if (!prepare_program_folder(folders.start_folder, error)) {
        throw std::runtime_error(error);
    }
    ini = IniSettings(ini_file_path(folders));
    remove_stale_temp_folders();
    // Part files of saves (state file, INI file, presets) that a killed run left behind.
    remove_stale_part_files(folders.start_folder.string());
    remove_stale_part_files(users_folder_path(folders).string());
    temp = std::make_unique<TempFolder>(folders.run_id);

    // The engine exists from the start so the state file's device settings land in it.
    engine = make_audio_engine(*device, *processor, *playlist, driver);
    driver.attach(*engine, meters);

    // Processor start-up values, the control table, the state file, the release setting.
    processor->params.preset_name.fill('\0');
    processor_startup(*processor);
    (void)panel_controls();
    ProgramState s = state();
    load_state_file(s, folders, beep);
    apply_release_setting(*processor);
    engine->settings.low_latency = ini.read(IniKey::LowLatency) == LOW_LATENCY_ON_TEXT ? 1 : 0;
}

AppContext::~AppContext() {
    shut_down();
}

std::vector<std::string> AppContext::enumerate_sound_devices() {
    enumerate_devices(engine->lists, engine->settings);
    return startup_device_warnings(engine->lists);
}

SaveResult AppContext::shut_down() {
    if (shut_down_) {
        return {true, {}};
    }
    shut_down_ = true;
    driver.kill_timer(TIMER_NEXT_SONG);
    driver.kill_timer(TIMER_ONAIR_AUTOSTART);
    if (engine_busy(*engine)) {
        // A draining engine is closed too: its device must not outlive the program.
        stop_and_close(*engine);
    }
    ProgramState s = state();
    TempCleanResult cleaned;
    SaveResult r = save_state_at_exit(s, folders, &cleaned);
    if (temp_clean_left_alone(cleaned)) {
        std::fprintf(stderr, "zvmp3: %s\n",
                     temp_clean_text(cleaned, temp_folder_path(folders)).c_str());
    }
    if (!r.ok) {
        std::fprintf(stderr, "zvmp3: the state file was not saved: %s\n", r.error.c_str());
    }
    return r;
}

DisplayInputs AppContext::display_inputs() const {
    DisplayInputs in;
    in.switches = processor->params.switches;
    in.continuous_playback = playlist->continuous_playback;
    in.engine_state = engine->engine_state;
    in.output_open = device->output_open();
    in.onair_mode = engine->onair_mode != 0;
    in.export_in_progress = export_in_progress;
    in.played_bytes = engine->played_bytes;
    in.song_count = playlist->song_count;
    in.selected_index = playlist->selected_index;
    // The song the engine plays, whatever the list did since it started; the engine runs at
    // the chain's rate (a song at another rate plays resampled to it).
    if (engine_busy(*engine)) {
        in.current_rate = engine->sample_rate;
        in.current_channels = engine->channels;
        in.current_source_type = engine->source_type;
    }
    return in;
}

}  // namespace zv
