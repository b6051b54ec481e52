// The pipe mode's block loop against the chain run in one piece: the output must be the
// processor's output frame for frame, at every input length around the block edges, with the
// tail flushed and the latency trimmed when asked, raw or after a WAV stream's header; how
// reads and writes that fail end it; and the wait at the end for a reader to take it all.
#include "cli/pcm_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "engine/processor.h"
#include "sources/riff_chunks.h"
#include "tests/support/failing_reader.h"
#include "tests/support/wav_builder.h"

namespace zv::cli {
namespace {

using test::test_signal;

std::unique_ptr<Processor> started_processor(int32_t rate) {
    auto p = make_processor();
    processor_startup(*p);
    start_stream_processor(*p, rate);
    return p;
}

// What the chain gives for the input followed by latency frames of silence, in one block:
// frames [first, frames + latency) of its output, in the input's channels.
std::vector<int16_t> reference(const std::vector<int16_t>& input, int channels, int32_t rate,
                               bool trim) {
    auto p = started_processor(rate);
    const size_t frames = input.size() / static_cast<size_t>(channels);
    const size_t latency = static_cast<size_t>(chain_latency_frames(p->params));
    std::vector<int16_t> in(2 * (frames + latency), 0);
    for (size_t f = 0; f < frames; ++f) {
        in[2 * f] = input[f * static_cast<size_t>(channels)];
        in[2 * f + 1] = input[f * static_cast<size_t>(channels) + (channels - 1)];
    }
    std::vector<int16_t> out(in.size());
    process_block(*p, static_cast<int32_t>(in.size()), in.data(), out.data());
    std::vector<int16_t> kept;
    for (size_t f = trim ? latency : 0; f < frames + latency; ++f) {
        kept.push_back(out[2 * f]);
        if (channels == 2) {
            kept.push_back(out[2 * f + 1]);
        }
    }
    return kept;
}

struct Collected {
    StreamResult result;
    std::vector<int16_t> samples;
    int writes = 0;
};

Collected stream_bytes(const std::vector<uint8_t>& bytes, StreamLayout layout,
                       uint64_t fail_at = UINT64_MAX, int write_error_at = -1,
                       int write_errno = 0) {
    auto p = started_processor(layout.rate);
    test::FailingByteReader in(bytes, fail_at);
    Collected c;
    c.result = run_pcm_stream(*p, layout, in, [&](const void* data, size_t n) {
        if (c.writes++ == write_error_at) {
            return write_errno;
        }
        EXPECT_EQ(n % 2, 0u);
        const auto* s = static_cast<const int16_t*>(data);
        c.samples.insert(c.samples.end(), s, s + n / 2);
        return 0;
    });
    return c;
}

TEST(PcmStream, MatchesTheChainInOnePieceAtEveryLengthAroundTheBlockEdges) {
    for (int channels : {2, 1}) {
        for (size_t frames : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097},
                              size_t{3 * 4096 - 974}, size_t{3 * 4096 - 973}, size_t{20000}}) {
            for (bool trim : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << channels << " channels, " << frames << " frames, trim " << trim);
                const auto input = test_signal(frames, channels, 20000);
                StreamLayout layout;
                layout.channels = channels;
                layout.trim_latency = trim;
                const Collected c = stream_bytes(test::sample_bytes(input), layout);
                EXPECT_EQ(c.result.end, StreamEnd::InputEnded);
                EXPECT_EQ(c.result.frames_in, frames);
                EXPECT_FALSE(c.result.partial_frame);
                const auto want = reference(input, channels, layout.rate, trim);
                EXPECT_EQ(c.result.frames_out * static_cast<uint64_t>(channels), want.size());
                EXPECT_TRUE(c.samples == want);
            }
        }
    }
}

TEST(PcmStream, StopsAtTheDataSizeAndDropsACutFrame) {
    const auto input = test_signal(5000, 2);
    auto bytes = test::sample_bytes(input);
    const size_t data = bytes.size();
    bytes.insert(bytes.end(), {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'a', 'b', 'c', 'd'});
    StreamLayout layout;
    layout.data_bytes = data;  // a WAV's "data" size: what follows is another chunk
    layout.trim_latency = true;
    Collected c = stream_bytes(bytes, layout);
    EXPECT_EQ(c.result.frames_in, 5000u);
    EXPECT_FALSE(c.result.partial_frame);
    EXPECT_TRUE(c.samples == reference(input, 2, 44100, true));

    bytes.resize(data + 3);  // a raw stream that ends inside a frame
    layout.data_bytes = UINT64_MAX;
    c = stream_bytes(bytes, layout);
    EXPECT_EQ(c.result.end, StreamEnd::InputEnded);
    EXPECT_EQ(c.result.frames_in, 5000u);
    EXPECT_TRUE(c.result.partial_frame);
    EXPECT_TRUE(c.samples == reference(input, 2, 44100, true));
}

TEST(PcmStream, WavOutputIsAStreamingHeaderThenTheRawOutputsBytes) {
    for (int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        const auto bytes = test::sample_bytes(test_signal(5000, channels));
        StreamLayout layout;
        layout.rate = 48000;
        layout.channels = channels;
        const Collected raw = stream_bytes(bytes, layout);
        layout.output = StreamFormat::Wav;
        const Collected wav = stream_bytes(bytes, layout);
        EXPECT_EQ(wav.result.end, StreamEnd::InputEnded);
        EXPECT_EQ(wav.result.frames_out, raw.result.frames_out);
        ASSERT_EQ(wav.samples.size(), raw.samples.size() + WAV_STREAM_HEADER_BYTES / 2);
        std::vector<uint8_t> header(WAV_STREAM_HEADER_BYTES);
        std::memcpy(header.data(), wav.samples.data(), header.size());
        const auto want = wav_stream_header(48000, channels);
        EXPECT_TRUE(std::equal(header.begin(), header.end(), want.begin()));
        EXPECT_TRUE(std::equal(raw.samples.begin(), raw.samples.end(),
                               wav.samples.begin() + WAV_STREAM_HEADER_BYTES / 2));
    }
}

TEST(PcmStream, TheStreamingHeaderIsReadBackAsUntilTheEnd) {
    const auto h = wav_stream_header(32000, 1);
    const uint8_t start[] = {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'};
    EXPECT_EQ(std::memcmp(h.data(), start, sizeof start), 0);
    std::vector<uint8_t> bytes(h.begin(), h.end());
    bytes.resize(bytes.size() + 10, 0x11);
    test::FailingByteReader in(bytes, UINT64_MAX);
    const WavHeaderWalk walk = walk_wav_header(in);
    ASSERT_EQ(walk.status, WavWalkStatus::Ok);
    EXPECT_EQ(walk.rate, 32000);
    EXPECT_EQ(walk.channels, 1);
    EXPECT_EQ(walk.bits, 16);
    EXPECT_EQ(walk.data_offset, WAV_STREAM_HEADER_BYTES);
    EXPECT_EQ(wav_stream_data_bytes(walk.data_bytes), UINT64_MAX);
    // The sizes writers that cannot seek back leave; Liquidsoap's pipe() writes 0xEFFFFFDB
    // unless told otherwise. Any other size is the input's.
    for (uint32_t placeholder : {0u, 0xFFFFFFFFu, 0xEFFFFFDBu}) {
        EXPECT_EQ(wav_stream_data_bytes(placeholder), UINT64_MAX) << placeholder;
    }
    for (uint32_t size : {1u, 4u, 441000u, 0xEFFFFFDAu, 0xFFFFFFFEu}) {
        EXPECT_EQ(wav_stream_data_bytes(size), size);
    }
}

TEST(PcmStream, AnInputShorterThanItsSizeSaysByHowMuch) {
    const auto bytes = test::sample_bytes(test_signal(3000, 2));
    StreamLayout layout;
    layout.trim_latency = true;
    layout.data_bytes = bytes.size() + 1000;
    Collected c = stream_bytes(bytes, layout);
    EXPECT_EQ(c.result.end, StreamEnd::InputEnded);
    EXPECT_EQ(c.result.missing_bytes, 1000u);
    EXPECT_EQ(c.result.frames_out, 3000u);  // what came is all written
    layout.data_bytes = bytes.size();
    EXPECT_EQ(stream_bytes(bytes, layout).result.missing_bytes, 0u);
    layout.data_bytes = UINT64_MAX;
    EXPECT_EQ(stream_bytes(bytes, layout).result.missing_bytes, 0u);
    // A failed read is no short input: the read error says what happened.
    layout.data_bytes = bytes.size();
    c = stream_bytes(bytes, layout, 100);
    EXPECT_EQ(c.result.end, StreamEnd::ReadFailed);
}

TEST(PcmStream, AFailedReadOrWriteEndsItAndSaysWhich) {
    const auto bytes = test::sample_bytes(test_signal(20000, 2));
    StreamLayout layout;
    Collected c = stream_bytes(bytes, layout, 3 * 4096 * 4 + 10);
    EXPECT_EQ(c.result.end, StreamEnd::ReadFailed);
    EXPECT_EQ(c.result.error, EIO);
    EXPECT_EQ(c.samples.size(), 3u * 4096 * 2);  // the whole blocks before it, no tail

    c = stream_bytes(bytes, layout, UINT64_MAX, 1, EPIPE);
    EXPECT_EQ(c.result.end, StreamEnd::OutputClosed);
    EXPECT_EQ(c.writes, 2);  // nothing after the reader went away
    EXPECT_EQ(c.result.frames_out, 4096u);

    c = stream_bytes(bytes, layout, UINT64_MAX, 0, ENOSPC);
    EXPECT_EQ(c.result.end, StreamEnd::WriteFailed);
    EXPECT_EQ(c.result.error, ENOSPC);
    EXPECT_EQ(c.result.frames_out, 0u);

    // The header is the first write: nothing follows a header that could not be written.
    layout.output = StreamFormat::Wav;
    c = stream_bytes(bytes, layout, UINT64_MAX, 0, EPIPE);
    EXPECT_EQ(c.result.end, StreamEnd::OutputClosed);
    EXPECT_EQ(c.writes, 1);
    EXPECT_EQ(c.result.frames_in, 0u);
}

TEST(PcmStream, TheLatencyFollowsTheSettingsAndBypassHasNone) {
    auto p = make_processor();
    processor_startup(*p);
    const int factory = start_stream_processor(*p, 48000);
    EXPECT_EQ(factory, chain_latency_frames(p->params));
    p->params.switches.bypass = 1;
    EXPECT_EQ(start_stream_processor(*p, 48000), 0);
    EXPECT_EQ(p->state.sample_rate, 48000);
    EXPECT_EQ(p->params.normalisation_gain, 1.0);
}

TEST(FdStreamReader, WalksAWavHeaderOnAPipeForwardOnly) {
    test::WavContent shape;
    shape.samples = test_signal(100, 2);
    shape.list_before_data = true;  // skipped by reading it away
    const auto bytes = test::make_wav_bytes(shape);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread writer([&] {
        EXPECT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fds[1]);
    });
    FdStreamReader in(fds[0]);
    const WavHeaderWalk walk = walk_wav_header(in);
    EXPECT_EQ(walk.status, WavWalkStatus::Ok);
    EXPECT_EQ(walk.channels, 2);
    EXPECT_EQ(walk.data_bytes, 400u);
    std::vector<uint8_t> first(4);
    ASSERT_EQ(in.read(first.data(), 4), 4u);
    EXPECT_EQ(std::memcmp(first.data(), bytes.data() + walk.data_offset, 4), 0);
    EXPECT_FALSE(in.seek(0));
    EXPECT_EQ(in.error(), ESPIPE);
    writer.join();
    ::close(fds[0]);
}

TEST(FdStreamReader, NonBlockingPipesAreWaitedOnNotFailed) {
    // A parent may hand over non-blocking pipes: a read that finds nothing yet, and a write
    // that finds the pipe full, wait instead of ending the stream.
    std::vector<uint8_t> bytes(1 << 20);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    std::thread writer([&] {
        for (size_t at = 0; at < bytes.size(); at += 100000) {
            const size_t n = std::min<size_t>(100000, bytes.size() - at);
            EXPECT_EQ(write_fd_fully(fds[1], bytes.data() + at, n), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fds[1]);
    });
    FdStreamReader in(fds[0]);
    std::vector<uint8_t> got(bytes.size() + 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the writer fill it
    EXPECT_EQ(in.read(got.data(), got.size()), bytes.size());
    EXPECT_EQ(in.error(), 0);
    got.resize(bytes.size());
    EXPECT_TRUE(got == bytes);
    writer.join();
    ::close(fds[0]);
}

// A reader on its own thread that waits, then takes everything (or closes its end).
struct SlowReader {
    int fd;
    std::chrono::milliseconds wait;
    bool close_instead = false;
    size_t taken = 0;
    void operator()() {
        std::this_thread::sleep_for(wait);
        if (close_instead) {
            ::close(fd);
            return;
        }
        char buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) {
            taken += static_cast<size_t>(n);
        }
    }
};

TEST(WaitForPipeDrained, WaitsUntilTheReaderHasTakenEveryByte) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::vector<char> bytes(30000, 'x');  // fits the pipe: the writes never block
    ASSERT_EQ(write_fd_fully(fds[1], bytes.data(), bytes.size()), 0);
    SlowReader reader{fds[0], std::chrono::milliseconds(150)};
    std::thread t(std::ref(reader));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_for_pipe_drained(fds[1], 10000), DrainEnd::Drained);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    int queued = -1;
    ASSERT_EQ(::ioctl(fds[1], FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0);
    ::close(fds[1]);
    t.join();
    EXPECT_EQ(reader.taken, bytes.size());
    ::close(fds[0]);
}

TEST(WaitForPipeDrained, EndsWhenTheReaderGoesAwayOrStopsReading) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(write_fd_fully(fds[1], "abc", 3), 0);
    SlowReader closer{fds[0], std::chrono::milliseconds(50), true};
    std::thread t(std::ref(closer));
    EXPECT_EQ(wait_for_pipe_drained(fds[1], 10000), DrainEnd::ReaderGone);
    t.join();
    ::close(fds[1]);

    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(write_fd_fully(fds[1], "abc", 3), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_for_pipe_drained(fds[1], 100), DrainEnd::ReaderIdle);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(WaitForPipeDrained, AFileOrAnEmptyPipeIsNoWait) {
    char name[] = "/tmp/zv_drain_XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::unlink(name);
    ASSERT_EQ(write_fd_fully(fd, "abc", 3), 0);
    EXPECT_EQ(wait_for_pipe_drained(fd, 10000), DrainEnd::Drained);
    ::close(fd);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_EQ(wait_for_pipe_drained(fds[1], 10000), DrainEnd::Drained);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(WriteFdFully, AReaderThatWentAwayIsEpipe) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const auto old = std::signal(SIGPIPE, SIG_IGN);
    const char text[] = "abc";
    EXPECT_EQ(write_fd_fully(fds[1], text, 3), EPIPE);
    std::signal(SIGPIPE, old);
    ::close(fds[1]);
}

}  // namespace
}  // namespace zv::cli
