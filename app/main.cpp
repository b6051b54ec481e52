// zvmp3: the desktop program. Start-up runs in this order: the run id and the program folder,
// the processor's start-up values, the control table, the state file and the release setting
// (AppContext); then the window with its status bar, playlist view, sound devices and toolbar;
// the window is shown and the event loop runs. Closing the window, the Quit command, SIGTERM
// and SIGINT all end the loop the same way: a busy engine is stopped and closed, tempwav is
// emptied and the state file saved. A program folder that cannot be used, and a state file
// that cannot be saved at quit, are shown in a message box as well as on stderr.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "app/step_device.h"
#include "app/test_control.h"
#include "app/test_dialog_host.h"
#include "playback/portaudio_device.h"
#include "ui/commands.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/messages.h"
#include "ui/main_window.h"
#include "ui/signal_watch.h"
#include "ui/skin.h"
#include "ui/window_language.h"

// Sanitizer builds: the desktop's libraries (D-Bus behind Qt's platform plugin, fontconfig)
// keep allocations for the process's life that LeakSanitizer reports at exit; none is ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\nleak:libfontconfig.so\n";
}
// ThreadSanitizer builds: Qt and the desktop libraries under it are not instrumented, so the
// locks of their own threads (image conversion, the X connection, the GLib loop) are
// invisible; calls they make are not judged, accesses from our instrumented code are.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\ncalled_from_lib:libQt6XcbQpa.so.6\n"
           "called_from_lib:libglib-2.0.so.0\ncalled_from_lib:libxcb.so.1\n"
           // The X connection's own lock order and teardown, inside libxcb and libX11.
           "deadlock:libxcb.so.1\nmutex:libxcb.so.1\nmutex:libX11.so.6\ndeadlock:libX11.so.6\n";
}

namespace {

using namespace zv;

// Hidden options for the project's own tests, benchmarks and screenshot; not for users.
constexpr char OPT_TEST_EVENTS[] = "test-events";
constexpr char OPT_TEST_AUTOPLAY[] = "test-autoplay";
constexpr char OPT_RENDER_SCREENSHOT[] = "render-screenshot";
constexpr char OPT_RENDER_PANEL[] = "render-panel";
constexpr char OPT_TEST_CONTROL[] = "test-control";

bool argument_given(int argc, char** argv, const char* name) {
    const std::string wanted = std::string("--") + name;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], wanted.c_str(), wanted.size()) == 0) {
            return true;
        }
    }
    return false;
}

// Lines on stderr that a test or benchmark reads to follow the program.
class TestEvents {
public:
    explicit TestEvents(bool on) : on_(on) { clock_.start(); }
    void say(const std::string& what) {
        if (on_) {
            std::fprintf(stderr, "zvmp3-test: %s (%lld ms)\n", what.c_str(),
                         static_cast<long long>(clock_.elapsed()));
            std::fflush(stderr);
        }
    }
    bool on() const { return on_; }

private:
    bool on_;
    QElapsedTimer clock_;
};

// How much of the first song the screenshot plays before it is taken: the meters are lit and
// the time display runs.
constexpr double SCREENSHOT_PLAY_SECONDS = 7.0;

// Plays the selected song through the step device for a few seconds of blocks, painting as
// the program does after every block.
void play_for_screenshot(AppContext& ctx, StepDevice& device) {
    if (!run_command(ctx, cmd::PLAY)) {
        return;
    }
    const int rate = ctx.engine->sample_rate;
    const auto blocks = static_cast<int>(SCREENSHOT_PLAY_SECONDS * rate * 4 / BLOCK_BYTES) + 1;
    for (int i = 0; i < blocks && ctx.engine->engine_state == ENGINE_PLAYING; ++i) {
        device.step();
        ctx.driver.dispatch();
        QCoreApplication::processEvents();
    }
}

// The window (and the panel alone, when asked) drawn by its own code into images, at scale 1.
bool render_screenshot(MainWindow& window, const QString& path, const QString& panel_path) {
    window.panel()->update();
    QCoreApplication::processEvents();
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "zvmp3: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    if (!panel_path.isEmpty() && !window.panel()->grab().save(panel_path, "PNG")) {
        std::fprintf(stderr, "zvmp3: cannot write %s\n", panel_path.toLocal8Bit().constData());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // The screenshot is made without a display, and the help needs none either.
    bool headless = argument_given(argc, argv, OPT_RENDER_SCREENSHOT);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        headless = headless || arg == "-h" || arg == "--help" || arg == "--help-all" ||
                   arg == "-v" || arg == "--version";
    }
    if (headless) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // Integer device pixel ratios keep the panel's pixels whole.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zvmp3"));
    QApplication::setApplicationVersion(QString::fromLatin1(VERSION_TEXT));
    QApplication::setDesktopFileName(QStringLiteral("zvmp3"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "ZelvonicMP3: a broadcast-style sound processor for WAV and MP3 playlists."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folder_option(
        QStringList{QStringLiteral("folder")},
        QStringLiteral("Keep the state file, user presets, tempwav and the INI file in DIR "
                       "instead of ~/.config/zelvonicmp3 ($XDG_CONFIG_HOME/zelvonicmp3). Only "
                       "a folder named here (or by --portable) is used: a folder that holds a "
                       "zvmp3.prf is never taken because the program starts in it."),
        QStringLiteral("DIR"));
    const QCommandLineOption portable_option(
        QStringLiteral("portable"),
        QStringLiteral("Use the folder of the zvmp3 executable as the program folder (a "
                       "program carried on a USB stick)."));
    const QCommandLineOption no_splash_option(QStringLiteral("no-splash"),
                                              QStringLiteral("Start without the splash."));
    QCommandLineOption events_option(QString::fromLatin1(OPT_TEST_EVENTS));
    events_option.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption autoplay_option(QString::fromLatin1(OPT_TEST_AUTOPLAY));
    autoplay_option.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption screenshot_option(QString::fromLatin1(OPT_RENDER_SCREENSHOT), QString(),
                                         QStringLiteral("FILE"));
    screenshot_option.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption panel_option(QString::fromLatin1(OPT_RENDER_PANEL), QString(),
                                    QStringLiteral("FILE"));
    panel_option.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption control_option(QString::fromLatin1(OPT_TEST_CONTROL), QString(),
                                      QStringLiteral("FIFO"));
    control_option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({folder_option, portable_option, no_splash_option, events_option,
                       autoplay_option, screenshot_option, panel_option, control_option});
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("Songs (WAV, MP3, FLAC, Ogg Vorbis, Opus) and .plt playlists to open."),
        QStringLiteral("[FILE...]"));
    parser.process(app);

    TestEvents events(parser.isSet(events_option));
    const bool screenshot = parser.isSet(screenshot_option);
    // Failures at start and quit are shown as well as printed; under test the boxes are told
    // on the test events instead. Without a display nobody could answer a box.
    QtDialogHost qt_host;
    TestDialogHost test_host([&events](const std::string& s) { events.say(s); });
    DialogHost* notice_host = events.on() ? static_cast<DialogHost*>(&test_host)
                              : headless  ? nullptr
                                          : &qt_host;
    StartOptions options;
    if (parser.isSet(folder_option) && parser.isSet(portable_option)) {
        std::fprintf(stderr, "zvmp3: give either --folder or --portable, not both\n");
        return 2;
    }
    options.folder = parser.isSet(portable_option)
                         ? QCoreApplication::applicationDirPath().toStdString()
                         : parser.value(folder_option).toStdString();
    for (const QString& file : parser.positionalArguments()) {
        options.files.push_back(QDir::current().absoluteFilePath(file).toStdString());
    }

    // Sound first, so the device exists before the engine; the screenshot plays through a
    // device that makes no sound.
    std::unique_ptr<PortAudioSession> audio;
    std::unique_ptr<AudioDevice> device;
    StepDevice* step_device = nullptr;
    if (screenshot) {
        auto step = std::make_unique<StepDevice>();
        step_device = step.get();
        device = std::move(step);
    } else {
        audio = std::make_unique<PortAudioSession>();
        device = std::make_unique<PortAudioDevice>();
    }
    std::unique_ptr<QTranslator> translator;
    std::unique_ptr<AppContext> ctx;
    try {
        ctx =
            std::make_unique<AppContext>(options, std::move(device), [] { QApplication::beep(); });
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "zvmp3: %s\n", e.what());
        if (notice_host != nullptr) {
            try {  // no INI file to choose the language: the locale's
                apply_window_language(app, window_language(LanguageChoice::Automatic), translator);
            } catch (const std::runtime_error&) {
            }
            notice_host->show(nullptr, program_folder_unusable_message(e.what()));
        }
        return 1;
    }
    events.say("folder " + ctx->folders.start_folder.string() + " pid " +
               std::to_string(QCoreApplication::applicationPid()));

    // The window's language before anything of it is built: the INI file's choice, by default
    // English unless the locale is Japanese, as the command-line program decides.
    try {
        const LanguageChoice choice = language_choice_from_text(ctx->ini.read(IniKey::Language));
        apply_window_language(app, window_language(choice), translator);
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "zvmp3: %s\n", e.what());
    }

    const Skin skin;
    WindowOptions window_options;
    window_options.enumerate_devices = audio != nullptr && audio->ok();
    window_options.splash = !parser.isSet(no_splash_option) && !screenshot;
    auto window = std::make_unique<MainWindow>(*ctx, skin, window_options);
    if (audio != nullptr && !audio->ok()) {
        // Without the sound system no device is usable: the same warnings as an empty list.
        std::fprintf(stderr, "zvmp3: the sound system did not start: %s\n", audio->error_text());
        for (const std::string& warning : startup_device_warnings(ctx->engine->lists)) {
            window->show_message(APP_CAPTION, warning);
        }
    }
    SignalWatch signal_watch;
    QObject::connect(&signal_watch, &SignalWatch::terminate_requested, window.get(),
                     [&window, &events](int signal_number) {
                         events.say("signal " + std::to_string(signal_number));
                         window->close();
                     });
    QObject::connect(window.get(), &MainWindow::first_painted, &app, [&] {
        events.say("first-paint");
        events.say("window " + window->windowTitle().toStdString() + " | " +
                   std::to_string(window->width()));
    });
    if (events.on()) {
        // The played time as the display shows it, whenever it changes.
        auto last = std::make_shared<std::string>();
        QObject::connect(window->panel(), &PanelWidget::painted, &app, [&, last] {
            const std::string now = time_display_text(ctx->display_inputs());
            if (now != *last) {
                *last = now;
                events.say("time" + now + " state " + std::to_string(ctx->engine->engine_state) +
                           " row " + std::to_string(ctx->playlist->current_index));
            }
        });
    }

    std::unique_ptr<TestControl> control;
    if (parser.isSet(control_option)) {
        control = std::make_unique<TestControl>(parser.value(control_option), *window,
                                                [&events](const std::string& s) { events.say(s); });
        if (!control->ok()) {
            std::fprintf(stderr, "zvmp3: cannot open the test control channel\n");
            return 1;
        }
    }

    window->show();
    window->activateWindow();
    open_paths(*ctx, options.files);
    if (parser.isSet(autoplay_option)) {
        QTimer::singleShot(0, &app, [&] {
            const bool started = run_command(*ctx, cmd::PLAY);
            events.say(started && engine_busy(*ctx->engine) ? "playing" : "not playing");
        });
    }
    if (screenshot) {
        ctx->engine->lists.outputs.count = 1;  // the step device stands for one output
        play_for_screenshot(*ctx, *step_device);
        const bool ok =
            render_screenshot(*window, parser.value(screenshot_option), parser.value(panel_option));
        window->close();
        window.reset();
        ctx->shut_down();
        return ok ? 0 : 1;
    }

    const int code = QApplication::exec();
    control.reset();
    window.reset();
    const SaveResult saved = ctx->shut_down();
    events.say(saved.ok ? "state saved" : "state not saved");
    if (!saved.ok && notice_host != nullptr) {
        // The quit still ends; the user learns that the settings of this run are lost.
        notice_host->show(nullptr,
                          save_failed_message(state_file_path(ctx->folders).string(), saved.error));
    }
    ctx.reset();
    return code;
}
