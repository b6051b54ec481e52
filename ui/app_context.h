// The desktop program's top-level objects, made in start-up order and owned here: the
// program folder, the one Processor with the records the state file carries, the playlist and
// its view rows, the sound device and the streaming engine with its host, and the meters the
// panel shows. Commands (commands.h) and the window work on this; the window tells it what it
// needs of the screen through WindowServices.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/processor.h"
#include "export/export_options.h"
#include "export/temp_folder.h"
#include "playback/audio_engine.h"
#include "settings/ini_settings.h"
#include "settings/program_folders.h"
#include "settings/program_state.h"
#include "settings/settings_file.h"
#include "sources/playlist.h"
#include "sources/playlist_view.h"
#include "ui/display_model.h"
#include "ui/window_language.h"

namespace zv {

// What the core and the commands ask of the window. The defaults do nothing (no window yet,
// or a test without one).
class WindowServices {
public:
    virtual ~WindowServices() = default;
    virtual void redraw_panel() {}
    // The playlist's rows changed: rebuild the view's rows and its status text.
    virtual void refresh_playlist() {}
    virtual void set_list_commands_enabled(bool enabled) { (void)enabled; }
    // Errors and warnings for the user (caption empty for the system's own texts).
    virtual void show_message(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
    }
    // Songs a scan could not add (the list full, paths too long), told in the window's
    // language whether they came by a drop or on the command line.
    virtual void show_scan_warnings(const ScanResult& result) { (void)result; }
    virtual bool pointer_over_seek_buttons(bool forward_only) {
        (void)forward_only;
        return false;
    }
    virtual void release_transport_buttons() {}
    virtual void close_window() {}

    // The commands that need the window itself: its dialogs, file choosers, the manual, the
    // home page and the language. Each returns true when it did its work; false when the user
    // or the work refused it, or when there is no window. The command table has checked
    // their guards already.
    virtual bool add_song_files() { return false; }
    virtual bool open_playlist() { return false; }
    virtual bool save_playlist() { return false; }
    virtual bool open_parameter_file() { return false; }
    virtual bool save_parameter_file() { return false; }
    virtual bool save_user_preset(int number) {
        (void)number;
        return false;
    }
    virtual bool sound_device_settings() { return false; }
    virtual bool encoder_settings() { return false; }
    virtual bool export_songs(bool all) {
        (void)all;
        return false;
    }
    virtual bool peak_level() { return false; }
    virtual bool about() { return false; }
    virtual bool open_manual() { return false; }
    virtual bool latest_version() { return false; }
    virtual bool choose_language(LanguageChoice choice) {
        (void)choice;
        return false;
    }
};

// The streaming engine's host in the window: its one-shot timers are QTimers, and the device's
// event fd is watched by a QSocketNotifier whose activation runs the buffer-done handlers.
class EngineDriver final : public QObject, public EngineHost {
    Q_OBJECT
public:
    explicit EngineDriver(QObject* parent = nullptr);
    // Binds the engine and starts watching its device (once, after the engine exists).
    void attach(AudioEngine& engine, MeterModel& meters);
    void set_window(WindowServices* window) { window_ = window; }

    void set_timer(int id, int delay_ms) override;
    void kill_timer(int id) override;
    bool timer_armed(int id) const;
    bool pointer_over_seek_buttons(bool forward_only) override;
    void release_transport_buttons() override;
    void refresh_playlist_view() override;
    void set_list_commands_enabled(bool enabled) override;
    void show_message(const std::string& caption, const std::string& text) override;

    // Handles the pending device events (at most two rounds of the ring); the panel is
    // repainted afterwards unless the handler is still waiting for queued blocks while
    // draining. Returns how many.
    int dispatch();

signals:
    // The engine went from busy to idle (a song ended or was stopped).
    void engine_stopped();

private:
    void fire(int id);

    static constexpr int TIMER_SLOTS = 4;
    std::array<QTimer*, TIMER_SLOTS> timers_{};
    QSocketNotifier* notifier_ = nullptr;
    AudioEngine* engine_ = nullptr;
    MeterModel* meters_ = nullptr;
    WindowServices* window_ = nullptr;
    WindowServices none_;
    WindowServices& window() { return window_ != nullptr ? *window_ : none_; }
};

// What shut-down says on stderr when tempwav/ was not emptied (empty when it was, or when
// there was none).
std::string temp_clean_text(const TempCleanResult& r, const std::filesystem::path& folder);

struct StartOptions {
    // --folder DIR or --portable's folder; empty: the default program folder.
    std::filesystem::path folder;
    std::vector<std::string> files;  // songs or playlist files to open at start
};

class AppContext {
public:
    // Start-up up to the window: run id, program folder, processor start-up values, the
    // control table, the state file and the release setting. The device is the one the engine
    // will play through (a PortAudio device, or a fake in tests). Throws std::runtime_error
    // when the program folder cannot be used.
    AppContext(const StartOptions& options, std::unique_ptr<AudioDevice> device,
               const BeepHook& beep);
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // Enumerates the sound devices (PortAudio must be up) and returns the warnings to show.
    std::vector<std::string> enumerate_sound_devices();
    // The shut-down after the window has closed: a busy engine stopped and closed, tempwav
    // emptied, the state file saved. Runs once; later calls do nothing.
    SaveResult shut_down();

    ProgramState state() {
        return ProgramState{*processor, export_options, encoder, throttle, engine->settings};
    }
    bool engine_idle() const { return engine->engine_state == ENGINE_IDLE; }
    EngineActivity activity() const {
        return {engine->engine_state == ENGINE_IDLE, engine->engine_state == ENGINE_PLAYING};
    }
    // What the upper band's displays show now.
    DisplayInputs display_inputs() const;

    ProgramFolders folders;
    // The export's private working folder, made on first need and removed at the end; the
    // leftovers of earlier runs that died are removed at start-up.
    std::unique_ptr<TempFolder> temp;
    std::unique_ptr<Processor> processor = make_processor();
    ExportOptions export_options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
    std::unique_ptr<Playlist> playlist = std::make_unique<Playlist>();
    PlaylistView view;
    IniSettings ini;
    std::unique_ptr<AudioDevice> device;
    EngineDriver driver;
    std::unique_ptr<AudioEngine> engine;
    MeterModel meters;
    bool export_in_progress = false;
    WindowServices* window = nullptr;

private:
    bool shut_down_ = false;
};

}  // namespace zv
