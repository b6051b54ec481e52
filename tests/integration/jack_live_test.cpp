// Low-latency ON AIR mode against a private JACK server at 256-frame periods, on the program's
// own JACK client and through PortAudio:
// the same input gives the same output as block mode, frame for frame, and the same as the
// chain run offline; and a stopped engine leaves no port on the server and no thread that
// wakes.
#include <dirent.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/processor.h"
#include "playback/audio_engine.h"
#include "playback/poll_loop.h"
#include "playback/portaudio_device.h"
#include "sources/playlist.h"
#include "tests/integration/jack_server.h"

// The test's JACK clients read port buffers that another client wrote; the server's own
// wake-ups order them, which ThreadSanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "race:zv::test::SignalSource::process\n"
           "race:zv::test::StereoRecorder::process\n";
}

namespace zv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int RATE = 44100;
constexpr int PERIOD = 256;
constexpr int BLOCK_MODE_BUFFERS = 2;
// The chain frame at which the signal reaches the chain in both modes: late enough for the
// test to connect its clients after the stream has started.
constexpr uint64_t SIGNAL_AT = 16 * BLOCK_FRAMES;

std::vector<int16_t> program(int frames) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / RATE;
        const double swell = 0.2 + 0.8 * std::abs(std::sin(M_PI * t * 2.0));
        v[2 * n] =
            static_cast<int16_t>(swell * (11000 * std::sin(2 * M_PI * 80 * t) + 4000 * noise(rng)));
        v[2 * n + 1] = static_cast<int16_t>(
            swell * (8000 * std::sin(2 * M_PI * 1900 * t) + 4000 * noise(rng)));
    }
    return v;
}

size_t first_sounding_frame(const std::vector<int16_t>& v) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != 0) {
            return i / 2;
        }
    }
    return v.size() / 2;
}

// Context switches of every thread of this process but the calling one.
[[maybe_unused]] long other_threads_switches() {
    long total = 0;
    const std::string self = std::to_string(::gettid());
    DIR* d = ::opendir("/proc/self/task");
    while (dirent* e = d != nullptr ? ::readdir(d) : nullptr) {
        const std::string tid = e->d_name;
        if (tid == "." || tid == ".." || tid == self) {
            continue;
        }
        std::ifstream status("/proc/self/task/" + tid + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    if (d != nullptr) {
        ::closedir(d);
    }
    return total;
}

// Ports of the program's own JACK client and of PortAudio's on the server.
int our_ports_on_server() {
    jack_status_t status;
    jack_client_t* c = jack_client_open("zvlook", JackNoStartServer, &status);
    if (c == nullptr) {
        return -1;
    }
    int n = 0;
    for (const std::string& prefix :
         {std::string("^") + JackLink::CLIENT_NAME + ":", std::string("^PortAudio")}) {
        const char** ports = jack_get_ports(c, prefix.c_str(), nullptr, 0);
        for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i) {
            ++n;
        }
        jack_free(ports);
    }
    jack_client_close(c);
    return n;
}

class JackLive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Realtime where the system allows it: a server thread that a busy machine delays
        // loses periods, and a lost period shifts what reaches the chain.
        server = new JackServer(RATE, PERIOD, true);
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
        // With a JACK server the session lets PortAudio go: nothing of it runs while idle.
        EXPECT_FALSE(session->holding());
        enable_flush_denormals();
    }

    struct Run {
        std::vector<int16_t> recorded;
        uint32_t period = 0;
        uint64_t late = 0;
    };

    // ON AIR mode with the signal reaching the chain at chain frame SIGNAL_AT: in block mode
    // the chain first runs the primed blocks of silence, then the input from the stream's
    // first frame on, so the source starts at that many device frames fewer.
    Run run_onair(bool low_latency, const std::vector<int16_t>& signal,
                  JackPath path = JackPath::OwnClient) {
        Run run;
        auto processor = make_processor();
        processor_startup(*processor);
        auto playlist = std::make_unique<Playlist>();
        PortAudioDevice device(path);
        PollLoopHost host;
        auto engine = make_audio_engine(device, *processor, *playlist, host);
        enumerate_devices(engine->lists, engine->settings);
        engine->settings.buffer_count = BLOCK_MODE_BUFFERS;
        engine->settings.low_latency = low_latency ? 1 : 0;

        std::atomic<LiveChain*> live{nullptr};
        const uint64_t primed = low_latency ? 0 : BLOCK_MODE_BUFFERS * BLOCK_FRAMES;
        auto clock = [&]() -> uint64_t {
            if (!low_latency) {
                return device.recorded_frames();
            }
            LiveChain* l = live.load(std::memory_order_acquire);
            return l != nullptr ? l->frames() : 0;
        };
        StereoRecorder recorder(8.0);
        SignalSource source(signal, clock, SIGNAL_AT - primed);
        EXPECT_TRUE(recorder.ok() && source.ok());

        EXPECT_TRUE(toggle_onair_mode(*engine));
        start_playback(*engine);
        EXPECT_EQ(engine->engine_state, ENGINE_PLAYING);
        if (engine->engine_state != ENGINE_PLAYING) {
            return run;
        }
        EXPECT_EQ(device.running_live(), low_latency);
        EXPECT_EQ(device.on_own_jack_client(), path == JackPath::OwnClient);
        live.store(engine->live.get(), std::memory_order_release);
        const std::string client =
            path == JackPath::OwnClient ? JackLink::CLIENT_NAME : "PortAudio";
        EXPECT_TRUE(source.connect_to(client));
        EXPECT_TRUE(recorder.connect_from(client));

        // Late periods count from shortly before the signal on: those of the connections made
        // above shift nothing that is compared.
        auto late_now = [&]() -> uint64_t {
            return low_latency ? engine->live->xruns() : device.underflow_count();
        };
        std::optional<uint64_t> late_before;
        const Clock::time_point begin = Clock::now();
        const auto limit = std::chrono::seconds(15);
        while (!source.finished() && !source.missed() && Clock::now() - begin < limit) {
            if (!late_before && clock() + 2 * BLOCK_FRAMES >= SIGNAL_AT - primed) {
                late_before = late_now();
            }
            host.run_once(*engine, 20);
        }
        EXPECT_FALSE(source.missed()) << "the source was connected after its start";
        // The block-mode delay and the chain's own, then a little more.
        const Clock::time_point tail = Clock::now();
        while (Clock::now() - tail < std::chrono::milliseconds(500)) {
            host.run_once(*engine, 20);
        }
        if (low_latency) {
            run.period = engine->live->period_frames();
        }
        run.late = late_now() - late_before.value_or(0);
        request_stop(*engine);
        while (engine_busy(*engine) && Clock::now() - tail < limit) {
            host.run_once(*engine, 20);
        }
        EXPECT_EQ(engine->engine_state, ENGINE_IDLE);
        run.recorded = recorder.recorded();
        return run;
    }

    static inline JackServer* server = nullptr;
    static inline PortAudioSession* session = nullptr;
};

TEST_F(JackLive, LowLatencyOutputEqualsBlockModeOutputAndTheChainsOwn) {
    const std::vector<int16_t> signal = program(RATE);
    const Run live = run_onair(true, signal);
    const Run block = run_onair(false, signal);
    // The same mode through PortAudio's JACK host API, the way of other sound systems.
    const Run portaudio = run_onair(true, signal, JackPath::PortAudio);
    std::printf(
        "low latency: %u-frame periods, %llu late; block mode: %llu underflows; "
        "low latency through PortAudio: %u-frame periods, %llu late\n",
        live.period, static_cast<unsigned long long>(live.late),
        static_cast<unsigned long long>(block.late), portaudio.period,
        static_cast<unsigned long long>(portaudio.late));
    // Both at the server's period exactly.
    EXPECT_EQ(live.period, static_cast<uint32_t>(PERIOD));
    EXPECT_EQ(portaudio.period, static_cast<uint32_t>(PERIOD));

    // The chain run offline on what reached it: silence up to SIGNAL_AT, then the signal.
    auto processor = make_processor();
    processor_startup(*processor);
    change_sample_rate(*processor, RATE);
    std::vector<int16_t> in(2 * SIGNAL_AT, 0);
    in.insert(in.end(), signal.begin(), signal.end());
    std::vector<int16_t> expect(in.size());
    for (size_t off = 0; off < in.size() / 2; off += BLOCK_FRAMES) {
        const size_t n = std::min<size_t>(BLOCK_FRAMES, in.size() / 2 - off);
        process_block(*processor, static_cast<int32_t>(2 * n), &in[2 * off], &expect[2 * off]);
    }

    // Aligned at the first sound each one made: the same frames from there on.
    const size_t from = first_sounding_frame(expect);
    ASSERT_LT(from, in.size() / 2);
    const size_t span = in.size() / 2 - from;
    auto part = [span](const std::vector<int16_t>& v, size_t at) {
        const size_t end = std::min(v.size(), 2 * (at + span));
        return std::vector<int16_t>(v.begin() + static_cast<long>(std::min(v.size(), 2 * at)),
                                    v.begin() + static_cast<long>(end));
    };
    const std::vector<int16_t> want = part(expect, from);
    const std::vector<int16_t> got_live = part(live.recorded, first_sounding_frame(live.recorded));
    const std::vector<int16_t> got_block =
        part(block.recorded, first_sounding_frame(block.recorded));
    const std::vector<int16_t> got_portaudio =
        part(portaudio.recorded, first_sounding_frame(portaudio.recorded));
    ASSERT_EQ(got_live.size(), want.size()) << "the low-latency recording ends early";
    ASSERT_EQ(got_block.size(), want.size()) << "the block-mode recording ends early";
    ASSERT_EQ(got_portaudio.size(), want.size()) << "the PortAudio recording ends early";
    const bool same = got_live == want && got_block == want && got_portaudio == want;
    if (!same && (live.late > 0 || block.late > 0 || portaudio.late > 0)) {
        GTEST_SKIP() << "the server reported late periods while the signal ran (a loaded "
                        "machine): a lost period shifts what reaches the chain, so the outputs "
                        "cannot be judged";
    }
    // The first frame where two of them part, for the failure's message.
    auto parting = [](const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
        const auto m = std::mismatch(a.begin(), a.end(), b.begin());
        return std::to_string((m.first - a.begin()) / 2);
    };
    EXPECT_TRUE(got_live == got_block)
        << "low latency and block mode part at frame " << parting(got_live, got_block);
    EXPECT_TRUE(got_live == want) << "low latency and the chain run offline part at frame "
                                  << parting(got_live, want);
    EXPECT_TRUE(got_block == want)
        << "block mode and the chain run offline part at frame " << parting(got_block, want);
    EXPECT_TRUE(got_portaudio == want) << "low latency through PortAudio and the chain run "
                                          "offline part at frame "
                                       << parting(got_portaudio, want);
    std::printf("compared %zu frames from the first sound on\n", span);
}

// After Play and Stop (and a low-latency ON AIR run) the program holds no stream and no port on
// the server, and none of its threads wakes: its own JACK client is deactivated and PortAudio
// is not started. The first Play from there only activates and connects.
TEST_F(JackLive, StoppedEngineHoldsNoPortAndWakesNoThread) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zv_jack_live_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string song = (dir / "a.wav").string();
    {
        const uint32_t frames = RATE;  // one second of a tone
        std::ofstream f(song, std::ios::binary);
        auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<char*>(&v), 2); };
        f.write("RIFF", 4);
        u32(36 + 4 * frames);
        f.write("WAVEfmt ", 8);
        u32(16);
        u16(1);
        u16(2);
        u32(RATE);
        u32(RATE * 4);
        u16(4);
        u16(16);
        f.write("data", 4);
        u32(4 * frames);
        for (uint32_t i = 0; i < frames; ++i) {
            const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / RATE));
            u16(static_cast<uint16_t>(v));
            u16(static_cast<uint16_t>(v));
        }
    }
    auto processor = make_processor();
    processor_startup(*processor);
    auto playlist = std::make_unique<Playlist>();
    PortAudioDevice device;
    PollLoopHost host;
    auto engine = make_audio_engine(device, *processor, *playlist, host);
    enumerate_devices(engine->lists, engine->settings);
    ASSERT_TRUE(was_added(add_song_file(*playlist, song, true)));

    const Clock::time_point asked = Clock::now();
    start_playback(*engine);
    const double first_play_ms =
        std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    std::printf("first Play from idle: %.1f ms to a running stream\n", first_play_ms);
    EXPECT_GT(our_ports_on_server(), 0);
    const Clock::time_point begin = Clock::now();
    while (engine_busy(*engine) && Clock::now() - begin < std::chrono::seconds(10)) {
        host.run_once(*engine, 50);
    }
    ASSERT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(our_ports_on_server(), 0);

    // A stopped low-latency ON AIR run leaves nothing either.
    engine->settings.low_latency = 1;
    ASSERT_TRUE(toggle_onair_mode(*engine));
    start_playback(*engine);
    ASSERT_EQ(engine->engine_state, ENGINE_PLAYING);
    EXPECT_GT(our_ports_on_server(), 0);
    for (int i = 0; i < 5; ++i) {
        host.run_once(*engine, 50);
    }
    request_stop(*engine);
    while (engine_busy(*engine) && Clock::now() - begin < std::chrono::seconds(15)) {
        host.run_once(*engine, 50);
    }
    ASSERT_EQ(engine->engine_state, ENGINE_IDLE);
    EXPECT_EQ(our_ports_on_server(), 0);

#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer's own background thread wakes on its own schedule.
    std::filesystem::remove_all(dir);
    GTEST_SKIP() << "wake-ups not counted under ThreadSanitizer";
#else
    // The server tells every client of others coming and going (the look at its ports above):
    // those notices are let through before counting.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const long before = other_threads_switches();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long woken = other_threads_switches() - before;
    std::printf("wake-ups of the stopped engine's threads in 2 s: %ld\n", woken);
    EXPECT_EQ(woken, 0);
    std::filesystem::remove_all(dir);
#endif
}

}  // namespace
}  // namespace zv::test
