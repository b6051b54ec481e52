// The desktop program's run. Start-up runs in this order: the run id and the program folder,
// the processor's start-up values, the control table, the state file and the release setting
// (AppContext); then the window with its status bar, playlist view, sound devices and toolbar;
// the window is shown and the event loop runs. Closing the window, the Quit command, SIGTERM
// and SIGINT all end the loop the same way: a busy engine is stopped and closed, tempwav is
// emptied and the state file saved. A program folder that cannot be used, and a state file
// that cannot be saved at quit, are shown in a message box as well as on stderr.
#include "app/run_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

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

namespace zv {

int run_app(int argc, char** argv, const AppHooks& hooks) {
    // An offscreen run is made without a display, and the help needs none either.
    const bool offscreen = hooks.offscreen && hooks.offscreen(argc, argv);
    bool headless = offscreen;
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
    parser.addOptions({folder_option, portable_option, no_splash_option});
    if (hooks.add_options) {
        hooks.add_options(parser);
    }
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("Songs (WAV, MP3, FLAC, Ogg Vorbis, Opus) and .plt playlists to open."),
        QStringLiteral("[FILE...]"));
    parser.process(app);
    if (hooks.options_read) {
        hooks.options_read(parser);
    }

    // Failures at start and quit are shown as well as printed (a hook may tell them another
    // way). Without a display nobody could answer a box.
    QtDialogHost qt_host;
    DialogHost* notice_host = headless ? nullptr : &qt_host;
    if (hooks.notice_host) {
        if (DialogHost* host = hooks.notice_host()) {
            notice_host = host;
        }
    }
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

    // Sound first, so the device exists before the engine; a hook may give a device of its
    // own (one that makes no sound).
    std::unique_ptr<PortAudioSession> audio;
    std::unique_ptr<AudioDevice> device;
    if (hooks.make_device) {
        device = hooks.make_device(parser);
    }
    if (device == nullptr) {
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
    if (hooks.context_made) {
        hooks.context_made(*ctx);
    }
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
    window_options.splash = !parser.isSet(no_splash_option) && !offscreen;
    auto window = std::make_unique<MainWindow>(*ctx, skin, window_options);
    if (audio != nullptr && !audio->ok()) {
        // Without the sound system no device is usable: the same warnings as an empty list.
        std::fprintf(stderr, "zvmp3: the sound system did not start: %s\n", audio->error_text());
        for (const DeviceProblem problem : startup_device_problems(ctx->engine->lists)) {
            window->show_box(device_problem_message(problem));
        }
    }
    SignalWatch signal_watch;
    QObject::connect(&signal_watch, &SignalWatch::terminate_requested, window.get(),
                     [&window, &hooks](int signal_number) {
                         if (hooks.signalled) {
                             hooks.signalled(signal_number);
                         }
                         window->close();
                     });
    AppRun run{parser, *ctx, *window};
    if (hooks.window_built) {
        hooks.window_built(run);
    }

    window->show();
    window->activateWindow();
    open_paths(*ctx, options.files);
    if (hooks.window_shown) {
        if (const std::optional<int> code = hooks.window_shown(run)) {
            window->close();
            window.reset();
            ctx->shut_down();
            return *code;
        }
    }

    const int code = QApplication::exec();
    if (hooks.loop_ended) {
        hooks.loop_ended();
    }
    window.reset();
    const SaveResult saved = ctx->shut_down();
    if (hooks.shut_down) {
        hooks.shut_down(saved);
    }
    if (!saved.ok && notice_host != nullptr) {
        // The quit still ends; the user learns that the settings of this run are lost.
        notice_host->show(nullptr,
                          save_failed_message(state_file_path(ctx->folders).string(), saved.error));
    }
    ctx.reset();
    return code;
}

}  // namespace zv
