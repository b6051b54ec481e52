// Shared set-up of the streaming-engine tests: a processor, a playlist, the fake device and a
// host that records what the engine asked of the window.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/processor.h"
#include "playback/audio_engine.h"
#include "sources/playlist.h"
#include "tests/playback/fake_device.h"
#include "tests/support/fixtures.h"
#include "tests/support/wav_builder.h"

namespace zv::test {

class RecordingHost : public EngineHost {
public:
    void set_timer(int id, int delay_ms) override { timers[id] = delay_ms; }
    void kill_timer(int id) override { timers.erase(id); }
    bool pointer_over_seek_buttons(bool forward_only) override {
        (void)forward_only;
        return pointer_over_seek;
    }
    void release_transport_buttons() override { ++buttons_released; }
    void refresh_playlist_view() override { ++refreshes; }
    void set_list_commands_enabled(bool enabled) override { list_commands = enabled; }
    void device_open_failed(const DeviceError& error) override {
        messages.push_back(error.system_text);
    }
    std::map<int, int> timers;
    bool pointer_over_seek = true;
    int buttons_released = 0;
    int refreshes = 0;
    bool list_commands = true;
    std::vector<std::string> messages;
};

// Writes a 16-bit PCM WAV of a sine, with a chunk of loud garbage after the data when asked.
inline void write_wav(const std::string& path, int rate, int channels, uint32_t data_bytes,
                      bool trailing_chunk = false) {
    WavContent shape;
    shape.rate = rate;
    shape.channels = channels;
    shape.samples = sine_samples(data_bytes / 2, 8000.0, 0.05);
    if (trailing_chunk) {
        shape.chunk_after_data.assign(4096, 0x7F);  // loud garbage if it were ever played
    }
    write_wav(std::filesystem::path(path), shape);
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("zv_playback_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        processor = make_processor();
        processor_startup(*processor);
        playlist = std::make_unique<Playlist>();
        engine = make_audio_engine(device, *processor, *playlist, host);
        engine->lists.outputs.count = 1;
        engine->lists.inputs.count = 1;
        engine->settings.buffer_count = 4;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    void add(const std::string& file) {
        ASSERT_TRUE(was_added(add_song_file(*playlist, file, true))) << file;
    }
    std::string media(const std::string& name) const { return fixture(name); }

    // The device plays one block and the owner thread handles the notification.
    void play_one() {
        ASSERT_TRUE(device.complete_next());
        dispatch_device_events(*engine);
    }
    // Plays until the engine is idle; returns the blocks played.
    int play_to_end(int limit = 100000) {
        int n = 0;
        while (engine->engine_state != ENGINE_IDLE && n < limit && device.complete_next()) {
            dispatch_device_events(*engine);
            ++n;
        }
        return n;
    }

    std::filesystem::path dir;
    FakeDevice device;
    RecordingHost host;
    std::unique_ptr<Processor> processor;
    std::unique_ptr<Playlist> playlist;
    std::unique_ptr<AudioEngine> engine;
};

}  // namespace zv::test
