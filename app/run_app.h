// The desktop program's whole run as a library entry: the command line, start-up, the window,
// the event loop and shut-down. zvmp3's main() is run_app(argc, argv) and nothing else; the
// end-to-end tests' own program (tests/app) passes hooks that add its control channel, its
// progress lines and its silent device, so the shipped program carries none of them.
#pragma once

#include <functional>
#include <memory>
#include <optional>

class QCommandLineParser;

namespace zv {

class AppContext;
class AudioDevice;
class DialogHost;
class MainWindow;
struct SaveResult;

// The parts of a run the hooks may use, valid while the window exists.
struct AppRun {
    const QCommandLineParser& options;
    AppContext& context;
    MainWindow& window;
};

// What a program built on run_app adds to it. Every hook may be empty.
struct AppHooks {
    // Before Qt starts: true when this run draws offscreen and needs no display (no splash).
    std::function<bool(int argc, char** argv)> offscreen;
    // Options of the program's own (hidden from --help), before the command line is read.
    std::function<void(QCommandLineParser& parser)> add_options;
    // The command line has been read.
    std::function<void(const QCommandLineParser& options)> options_read;
    // Who tells a program folder that cannot be used and a state file that cannot be saved at
    // quit; null keeps the message box (none without a display).
    std::function<DialogHost*()> notice_host;
    // The device to play through instead of PortAudio's; null keeps PortAudio's.
    std::function<std::unique_ptr<AudioDevice>(const QCommandLineParser& options)> make_device;
    // The program folder, the processor and the state file are ready; no window yet.
    std::function<void(AppContext& context)> context_made;
    // SIGTERM or SIGINT came; the window is closed next.
    std::function<void(int signal_number)> signalled;
    // The window is built and about to be shown.
    std::function<void(AppRun& run)> window_built;
    // The window is shown and the command line's songs are open: an exit status ends the run
    // there (the window closed and the state saved), nothing runs the event loop.
    std::function<std::optional<int>(AppRun& run)> window_shown;
    // The event loop has ended; the window still exists.
    std::function<void()> loop_ended;
    // The run's last step: the state file saved, or not.
    std::function<void(const SaveResult& saved)> shut_down;
};

// Runs the desktop program; returns its exit status.
int run_app(int argc, char** argv, const AppHooks& hooks = {});

}  // namespace zv
