// zvmp3-test: the desktop program (app/run_app.h) with what its end-to-end tests, benchmarks
// and screenshot need, given by options of its own:
//
// - `--test-events`: progress lines on stderr ("first-paint", "time 00:01 state 1 row 0", ...).
// - `--test-autoplay`: plays the first song.
// - `--test-control FIFO`: the end-to-end test's actions, one line each (test_control.h),
//   delivered through the window's own event paths; dialogs and questions are answered from
//   the queued `answer` lines (test_dialog_host.h), while the export and peak dialogs run for
//   real.
// - `--render-screenshot FILE [--render-panel FILE]`: draws the window (and the panel alone)
//   offscreen into PNGs, a few seconds into the first song played through a silent device
//   (step_device.h), and exits. `make screenshot` uses it for the README and the manual.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "app/run_app.h"
#include "tests/app/step_device.h"
#include "tests/app/test_control.h"
#include "tests/app/test_dialog_host.h"
#include "ui/app_context.h"
#include "ui/commands.h"
#include "ui/main_window.h"

namespace {

using namespace zv;

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

QCommandLineOption hidden_option(const char* name, const char* value_name = nullptr) {
    QCommandLineOption option(QString::fromLatin1(name), QString(),
                              value_name != nullptr ? QString::fromLatin1(value_name) : QString());
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

// Lines on stderr that a test or benchmark reads to follow the program.
class TestEvents {
public:
    void start(bool on) {
        on_ = on;
        clock_.start();
    }
    void say(const std::string& what) {
        if (on_) {
            std::fprintf(stderr, "zvmp3-test: %s (%lld ms)\n", what.c_str(),
                         static_cast<long long>(clock_.elapsed()));
            std::fflush(stderr);
        }
    }
    bool on() const { return on_; }

private:
    bool on_ = false;
    QElapsedTimer clock_;
};

// How much of the first song the screenshot plays before it is taken: the meters are lit and
// the time display runs.
constexpr double SCREENSHOT_PLAY_SECONDS = 7.0;

// Plays the selected song through the step device for a few seconds of blocks, faster than
// they would play: the meter clock is moved by each block's time, as playing moves it.
void play_for_screenshot(AppContext& ctx, StepDevice& device) {
    if (!run_command(ctx, cmd::PLAY)) {
        return;
    }
    const int rate = ctx.engine->sample_rate;
    const auto blocks = static_cast<int>(SCREENSHOT_PLAY_SECONDS * rate * 4 / BLOCK_BYTES) + 1;
    const double block_seconds = BLOCK_BYTES / 4.0 / rate;
    for (int i = 0; i < blocks && ctx.engine->engine_state == ENGINE_PLAYING; ++i) {
        device.step();
        ctx.driver.dispatch();
        ctx.meter_clock.tick(block_seconds);
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
    const QCommandLineOption events_option = hidden_option(OPT_TEST_EVENTS);
    const QCommandLineOption autoplay_option = hidden_option(OPT_TEST_AUTOPLAY);
    const QCommandLineOption screenshot_option = hidden_option(OPT_RENDER_SCREENSHOT, "FILE");
    const QCommandLineOption panel_option = hidden_option(OPT_RENDER_PANEL, "FILE");
    const QCommandLineOption control_option = hidden_option(OPT_TEST_CONTROL, "FIFO");

    TestEvents events;
    // Under test the failures at start and quit are told on the test events instead of boxes.
    TestDialogHost notices([&events](const std::string& s) { events.say(s); });
    StepDevice* step_device = nullptr;
    long panel_paints = 0;  // told when the loop ends: a measurement's repaint rate
    std::unique_ptr<TestControl> control;
    int control_failed = 0;

    AppHooks hooks;
    // The screenshot is made without a display.
    hooks.offscreen = [](int count, char** words) {
        return argument_given(count, words, OPT_RENDER_SCREENSHOT);
    };
    hooks.add_options = [&](QCommandLineParser& parser) {
        parser.addOptions(
            {events_option, autoplay_option, screenshot_option, panel_option, control_option});
    };
    hooks.options_read = [&](const QCommandLineParser& options) {
        events.start(options.isSet(events_option));
    };
    hooks.notice_host = [&]() -> DialogHost* { return events.on() ? &notices : nullptr; };
    hooks.context_made = [&](AppContext& ctx) {
        events.say("folder " + ctx.folders.start_folder.string() + " pid " +
                   std::to_string(QCoreApplication::applicationPid()));
    };
    hooks.signalled = [&](int signal_number) {
        events.say("signal " + std::to_string(signal_number));
    };
    // The screenshot plays through a device that makes no sound.
    hooks.make_device = [&](const QCommandLineParser& options) -> std::unique_ptr<AudioDevice> {
        if (!options.isSet(screenshot_option)) {
            return nullptr;
        }
        auto step = std::make_unique<StepDevice>();
        step_device = step.get();
        return step;
    };
    hooks.window_built = [&](AppRun& run) {
        AppContext& ctx = run.context;
        MainWindow& window = run.window;
        QObject::connect(&window, &MainWindow::first_painted, &window, [&events, &window] {
            events.say("first-paint");
            events.say("window " + window.windowTitle().toStdString() + " | " +
                       std::to_string(window.width()));
        });
        if (events.on()) {
            // The played time as the display shows it, whenever it changes.
            auto last = std::make_shared<std::string>();
            QObject::connect(window.panel(), &PanelWidget::painted, &window,
                             [&events, &ctx, &panel_paints, last] {
                                 ++panel_paints;
                                 const std::string now = time_display_text(ctx.display_inputs());
                                 if (now != *last) {
                                     *last = now;
                                     events.say("time" + now + " state " +
                                                std::to_string(ctx.engine->engine_state) + " row " +
                                                std::to_string(ctx.playlist->current_index));
                                 }
                             });
        }
        if (run.options.isSet(control_option)) {
            control =
                std::make_unique<TestControl>(run.options.value(control_option), window,
                                              [&events](const std::string& s) { events.say(s); });
            if (!control->ok()) {
                std::fprintf(stderr, "zvmp3: cannot open the test control channel\n");
                control_failed = 1;
            }
        }
    };
    hooks.window_shown = [&](AppRun& run) -> std::optional<int> {
        if (control_failed != 0) {
            control.reset();
            return 1;
        }
        AppContext& ctx = run.context;
        if (run.options.isSet(autoplay_option)) {
            QTimer::singleShot(0, &run.window, [&events, &ctx] {
                const bool started = run_command(ctx, cmd::PLAY);
                events.say(started && engine_busy(*ctx.engine) ? "playing" : "not playing");
            });
        }
        if (step_device == nullptr) {
            return std::nullopt;
        }
        ctx.engine->lists.outputs.count = 1;  // the step device stands for one output
        play_for_screenshot(ctx, *step_device);
        return render_screenshot(run.window, run.options.value(screenshot_option),
                                 run.options.value(panel_option))
                   ? 0
                   : 1;
    };
    hooks.loop_ended = [&] {
        control.reset();
        events.say("panel painted " + std::to_string(panel_paints) + " times");
    };
    hooks.shut_down = [&](const SaveResult& saved) {
        events.say(saved.ok ? "state saved" : "state not saved");
    };
    return run_app(argc, argv, hooks);
}
