// The window on Qt's offscreen platform over a fake sound device, with a private program
// folder: the fixture of the window tests.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "tests/playback/fake_device.h"
#include "tests/ui/ui_test_support.h"
#include "tests/ui_dialogs/dialog_test_support.h"
#include "ui/commands.h"
#include "ui/main_window.h"

namespace zv::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<FakeDevice>();
        device = fake.get();
        StartOptions options;
        options.folder = dir.path() / "program";
        ctx = std::make_unique<AppContext>(options, std::move(fake), nullptr);
        ctx->engine->lists.outputs.count = 1;  // the fake device stands for one output
        window = std::make_unique<MainWindow>(*ctx, skin, WindowOptions{false, false});
        window->set_dialog_host(&host);
        window->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        window.reset();
        ctx.reset();
    }

    // Songs made on the spot in the scratch folder and added as a drop adds them.
    void add_songs(const std::vector<std::pair<std::string, double>>& songs) {
        std::vector<std::string> paths;
        for (const auto& [name, seconds] : songs) {
            write_tone_wav(dir.path() / name, 44100, 2, seconds);
            paths.push_back((dir.path() / name).string());
        }
        window->drop_files(paths);
    }

    // Lets the fake device play every queued block until the engine is idle again.
    void play_out() {
        for (int i = 0; i < 200 && engine_busy(*ctx->engine); ++i) {
            device->complete_next();
            ctx->driver.dispatch();
        }
    }

    ScratchDir dir;
    Skin skin;
    ScriptedHost host;  // answers the window's dialogs and message boxes
    FakeDevice* device = nullptr;
    std::unique_ptr<AppContext> ctx;
    std::unique_ptr<MainWindow> window;
};

}  // namespace zv::test
