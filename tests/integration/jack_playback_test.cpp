// Playback and ON AIR mode through PortAudio against a real JACK server (dummy driver).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/processor.h"
#include "playback/audio_engine.h"
#include "playback/poll_loop.h"
#include "playback/portaudio_device.h"
#include "sources/mp3_source.h"
#include "sources/playlist.h"
#include "tests/integration/jack_server.h"
#include "tests/support/fixtures.h"

extern char** environ;

// The tone client reads JACK port buffers that another client of this process wrote; the two
// are ordered by the JACK server's own wake-ups, which ThreadSanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "race:zv::test::ToneClient::process\n";
}

namespace zv::test {
namespace {

using Clock = std::chrono::steady_clock;

void write_tone_wav(const std::string& path, int rate, int channels, double seconds,
                    double frequency) {
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t data = frames * static_cast<uint32_t>(channels) * 2;
    std::vector<int16_t> samples;
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(
            std::lround(9000.0 * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate)));
        for (int c = 0; c < channels; ++c)
            samples.push_back(v);
    }
    auto u32 = [](std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<char*>(&v), 4); };
    auto u16 = [](std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<char*>(&v), 2); };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    u32(f, 36 + data);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, static_cast<uint16_t>(channels));
    u32(f, static_cast<uint32_t>(rate));
    u32(f, static_cast<uint32_t>(rate * channels * 2));
    u16(f, static_cast<uint16_t>(channels * 2));
    u16(f, 16);
    f.write("data", 4);
    u32(f, data);
    f.write(reinterpret_cast<const char*>(samples.data()), data);
}

// One JACK server per suite; PortAudio is started after it so that it finds the server.
template <int Rate>
class JackSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new JackServer(Rate);
        if (server->ok()) {
            session = new PortAudioSession();
        }
    }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        if (!server->ok()) {
            GTEST_SKIP() << "no JACK server for this test: " << server->why_not();
        }
        ASSERT_TRUE(session->ok()) << session->error_text();
        dir = std::filesystem::temp_directory_path() / ("zv_jack_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        processor = make_processor();
        processor_startup(*processor);
        playlist = std::make_unique<Playlist>();
        engine = make_audio_engine(device, *processor, *playlist, host);
        enumerate_devices(engine->lists, engine->settings);
        ASSERT_GT(engine->lists.outputs.count, 0) << "PortAudio does not see the JACK server";
        enable_flush_denormals();
    }
    void TearDown() override {
        if (engine) {
            stop_and_close(*engine);
        }
        std::filesystem::remove_all(dir);
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Runs the owner loop until the engine is idle with no song waiting; returns seconds.
    double run_until_idle(double limit_seconds) {
        const Clock::time_point begin = Clock::now();
        while ((engine_busy(*engine) || host.timer_armed(TIMER_NEXT_SONG)) &&
               Clock::now() - begin < std::chrono::duration<double>(limit_seconds)) {
            host.run_once(*engine, 50);
        }
        return std::chrono::duration<double>(Clock::now() - begin).count();
    }
    void run_for(double seconds) {
        const Clock::time_point begin = Clock::now();
        while (Clock::now() - begin < std::chrono::duration<double>(seconds)) {
            host.run_once(*engine, 20);
        }
    }

    static inline JackServer* server = nullptr;
    static inline PortAudioSession* session = nullptr;
    std::filesystem::path dir;
    PortAudioDevice device;
    PollLoopHost host;
    std::unique_ptr<Processor> processor;
    std::unique_ptr<Playlist> playlist;
    std::unique_ptr<AudioEngine> engine;
};

using JackAt44100 = JackSuite<44100>;
using JackAt48000 = JackSuite<48000>;

TEST_F(JackAt44100, WavPlaysToTheEnd) {
    write_tone_wav(path("a.wav"), 44100, 2, 3.0, 440.0);
    ASSERT_TRUE(was_added(add_song_file(*playlist, path("a.wav"), true)));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_FALSE(device.resampling());
    EXPECT_TRUE(device.on_own_jack_client());
    const double seconds = run_until_idle(15.0);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(engine->played_bytes, 3 * 44100 * 4);
    EXPECT_GT(seconds, 2.5);
    RecordProperty("underflows", static_cast<int>(device.underflow_count()));
    std::printf("underflows: %llu\n", static_cast<unsigned long long>(device.underflow_count()));
}

// A JACK device the way every other device is played: through PortAudio.
TEST_F(JackAt44100, WavPlaysToTheEndThroughPortAudio) {
    write_tone_wav(path("a.wav"), 44100, 2, 1.5, 440.0);
    ASSERT_TRUE(was_added(add_song_file(*playlist, path("a.wav"), true)));
    PortAudioDevice through_portaudio(JackPath::PortAudio);
    auto e = make_audio_engine(through_portaudio, *processor, *playlist, host);
    e->lists = engine->lists;
    start_playback(*e);
    ASSERT_EQ(e->engine_state, ENGINE_PLAYING);
    EXPECT_FALSE(through_portaudio.on_own_jack_client());
    const Clock::time_point begin = Clock::now();
    while (engine_busy(*e) && Clock::now() - begin < std::chrono::seconds(15)) {
        host.run_once(*e, 50);
    }
    EXPECT_EQ(e->engine_state, ENGINE_IDLE);
    EXPECT_EQ(e->played_bytes, 44100 * 3 / 2 * 4);
}

TEST_F(JackAt44100, Mp3PlaysToTheEnd) {
    const std::string mp3 = test::fixture("tone_3s_44100.mp3");
    int64_t decoded = 0;
    {
        Mp3Decoder d;
        ASSERT_TRUE(d.open(mp3));
        std::vector<int16_t> l(MP3_FRAME_SAMPLES), r(MP3_FRAME_SAMPLES);
        for (int n; (n = d.read_frame(l.data(), r.data())) > 0;)
            decoded += n;
    }
    ASSERT_TRUE(was_added(add_song_file(*playlist, mp3, true)));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    run_until_idle(15.0);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(engine->played_bytes, 4 * decoded);
    EXPECT_EQ(playlist->song_mark[0], MARK_NONE);
}

TEST_F(JackAt44100, ThreeSongsPlayBackToBack) {
    write_tone_wav(path("a.wav"), 44100, 2, 1.0, 440.0);
    write_tone_wav(path("b.wav"), 44100, 1, 1.0, 550.0);
    write_tone_wav(path("c.wav"), 44100, 2, 1.0, 660.0);
    for (const char* n : {"a.wav", "b.wav", "c.wav"}) {
        ASSERT_TRUE(was_added(add_song_file(*playlist, path(n), true)));
    }
    playlist->continuous_playback = 1;
    start_playback(*engine);
    const double seconds = run_until_idle(20.0);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(playlist->current_index, 2);
    EXPECT_EQ(playlist->selected_index, 2);
    EXPECT_EQ(engine->played_bytes, 44100 * 4);
    EXPECT_GT(seconds, 4.5);  // three seconds of songs and two one-second pauses
}

TEST_F(JackAt44100, OnAirCarriesTheInputToneProcessed) {
    ToneClient tone(1000.0, 0.3, 6.0);
    ASSERT_TRUE(tone.ok());
    ASSERT_GT(engine->lists.inputs.count, 0);
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_TRUE(device.one_duplex_stream());
    EXPECT_GE(tone.connect_to_others(), 4);  // two inputs fed, two outputs recorded
    run_for(2.0);
    const auto out = tone.captured();
    request_stop(*engine);
    run_until_idle(5.0);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);

    // The last half second: the tone, through the processor, well above anything else.
    ASSERT_GT(out.size(), 44100u);
    const size_t n = 22050;
    const size_t begin = out.size() - n;
    const double at_tone = tone_amplitude(out, begin, n, 1000.0, 44100);
    const double beside = tone_amplitude(out, begin, n, 1370.0, 44100);
    EXPECT_GT(at_tone, 0.05);
    EXPECT_GT(at_tone, 10.0 * beside);
    // A loaded machine may make the server report a lost period or two; a ring that ran out of
    // input slots would lose input in nearly every one of the run's ~90 periods.
    std::printf("overflows: %llu\n", static_cast<unsigned long long>(device.overflow_count()));
    EXPECT_LE(device.overflow_count(), 4u);
}

TEST_F(JackAt48000, SongAt44100PlaysThroughTheResampler) {
    ToneClient recorder(1000.0, 0.0, 8.0);
    ASSERT_TRUE(recorder.ok());
    write_tone_wav(path("a.wav"), 44100, 2, 2.0, 1000.0);
    ASSERT_TRUE(was_added(add_song_file(*playlist, path("a.wav"), true)));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_TRUE(device.resampling());
    EXPECT_EQ(device.device_rate(), 48000);
    recorder.connect_to_others();
    run_until_idle(15.0);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(engine->played_bytes, 2 * 44100 * 4);  // counted in the song's frames
    std::printf("underflows: %llu\n", static_cast<unsigned long long>(device.underflow_count()));

    // At the song's pitch: played unconverted it would sound at 1088 Hz. Gaps from underflows
    // (a slow sanitizer build) would smear the spectrum, so the pitch is judged without them.
    if (device.underflow_count() > 0) {
        GTEST_SKIP() << device.underflow_count() << " underflows: pitch not judged";
    }
    const auto out = recorder.captured();
    // Pitch from the zero crossings of the sounding part (exact zeros are gaps, not signal).
    size_t active = 0;
    size_t crossings = 0;
    for (size_t i = 1; i < out.size(); ++i) {
        if (std::fabs(out[i]) > 1e-4f && std::fabs(out[i - 1]) > 1e-4f) {
            ++active;
            crossings += (out[i] > 0.0f) != (out[i - 1] > 0.0f) ? 1 : 0;
        }
    }
    ASSERT_GT(active, 48000u);
    const double frequency = crossings / 2.0 * 48000.0 / static_cast<double>(active);
    EXPECT_NEAR(frequency, 1000.0, 25.0);
}

TEST_F(JackAt48000, OnAirRunsAtTheServerRate) {
    engine->settings.onair_rate_choice = ONAIR_RATE_44100;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_EQ(engine->sample_rate, 48000);
    EXPECT_FALSE(device.resampling());
    run_for(0.5);
    request_stop(*engine);
    run_until_idle(5.0);
    EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
}

}  // namespace
}  // namespace zv::test

namespace zv::test {
namespace {

// Runs zvmp3-cli with stderr to a file; after interrupt_after_ms (if >= 0) sends SIGINT.
int run_cli(const std::vector<std::string>& args, const std::string& err_path,
            int interrupt_after_ms) {
    std::vector<std::string> all = {ZV_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int err = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        return -1;
    }
    if (interrupt_after_ms >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(interrupt_after_ms));
        ::kill(pid, SIGINT);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_text(const std::string& path) {
    std::ifstream f(path);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST_F(JackAt44100, CliPlayStopsCleanlyOnCtrlC) {
    write_tone_wav(path("a.wav"), 44100, 2, 3.0, 440.0);
    const auto begin = Clock::now();
    EXPECT_EQ(run_cli({"play", "--buffers", "3", path("a.wav")}, path("err.txt"), 1200), 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const std::string err = read_text(path("err.txt"));
    EXPECT_NE(err.find("stopped after song 1 of 1"), std::string::npos) << err;
    EXPECT_LT(seconds, 2.9);  // the song had not ended
}

TEST_F(JackAt44100, CliOnAirRunsForTheGivenSeconds) {
    EXPECT_EQ(run_cli({"onair", "--seconds", "1", "--buffers", "2"}, path("err.txt"), -1), 0);
    const std::string err = read_text(path("err.txt"));
    EXPECT_NE(err.find("zvmp3-cli onair: stopped after"), std::string::npos) << err;
}

TEST_F(JackAt44100, CliRefusesBadArgumentsAndMissingDevices) {
    EXPECT_EQ(run_cli({"play", "--buffers", "9", "x.wav"}, path("err.txt"), -1), 2);
    EXPECT_EQ(run_cli({"onair", "--rate", "22050"}, path("err.txt"), -1), 2);
    EXPECT_EQ(run_cli({"play", path("missing.wav")}, path("err.txt"), -1), 1);
    write_tone_wav(path("a.wav"), 44100, 2, 0.5, 440.0);
    EXPECT_EQ(run_cli({"play", "--device", "7", path("a.wav")}, path("err.txt"), -1), 1);
    EXPECT_NE(read_text(path("err.txt")).find("no output device 7"), std::string::npos);
}

}  // namespace
}  // namespace zv::test
