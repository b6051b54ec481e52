// Pipe mode: 16-bit PCM in, processed 16-bit PCM out, block by block as it comes. The chain
// runs exactly as an export runs it (same start, same dither, normalisation off), so the
// stream is the export's output behind the chain's latency: processor output frame n is
// input frame n - latency. When the input ends, silence brings the tail out of the chain.
// The output is raw PCM or a WAV stream: a header whose sizes say "until the end", then the
// same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/processor.h"
#include "sources/byte_reader.h"

namespace zv::cli {

constexpr int STREAM_BLOCK_FRAMES = 4096;

// A forward-only ByteReader over a pipe or any file descriptor, blocking or not (a
// non-blocking one is waited on). seek() moves forward by reading and dropping bytes; size()
// is unknown (the largest value).
class FdStreamReader final : public ByteReader {
public:
    explicit FdStreamReader(int fd) : fd_(fd) {}
    size_t read(void* dst, size_t n) override;
    bool seek(uint64_t pos) override;
    uint64_t tell() const override { return pos_; }
    uint64_t size() const override { return UINT64_MAX; }
    int error() const override { return error_; }

private:
    int fd_;
    uint64_t pos_ = 0;
    int error_ = 0;
};

// Waits until fd is ready for events (POLLIN, POLLOUT); 0, or the errno of a failed poll.
int wait_for_fd(int fd, short events);

// Writes all bytes to fd, waiting when a non-blocking one is full; 0, or the errno of the
// write that failed (EPIPE when the reader went away and SIGPIPE is ignored).
int write_fd_fully(int fd, const void* data, size_t bytes);

enum class DrainEnd {
    Drained,     // the reader took every byte (or fd is no pipe: nothing to wait for)
    ReaderGone,  // the reader closed its end with bytes unread
    ReaderIdle,  // the reader took nothing for idle_limit_ms
};

// Waits until the reader of the pipe fd has taken every byte written to it, while it keeps
// taking some at least every idle_limit_ms. A pipe keeps its bytes after the writer ends,
// but some readers stop reading when they see the writer end: Liquidsoap's pipe() drops
// what is still in the pipe (up to 64 KiB, a third of a second) once the process has exited.
DrainEnd wait_for_pipe_drained(int fd, int idle_limit_ms);

// A WAV stream's header is written before its length is known. Its RIFF and "data" sizes are
// both the largest a size field holds: sox, ffmpeg, Liquidsoap and walk_wav_header all read
// that as "until the input ends" (sox reads a "data" size of 0 as no samples at all).
constexpr uint32_t WAV_STREAM_SIZE = 0xFFFFFFFFu;
constexpr size_t WAV_STREAM_HEADER_BYTES = 44;
std::array<uint8_t, WAV_STREAM_HEADER_BYTES> wav_stream_header(int32_t rate, int channels);

// The sample bytes to read after a WAV header on a pipe whose "data" size is data_size:
// UINT64_MAX (until the input ends) for the sizes that writers which cannot seek back put
// there: 0, all ones, and Liquidsoap's largest (0xEFFFFFDB, after a RIFF size of 0xEFFFFFFF,
// its pipe()'s default), which would otherwise end a station's stream after 6.8 hours.
uint64_t wav_stream_data_bytes(uint32_t data_size);

enum class StreamFormat { Raw, Wav };

struct StreamLayout {
    int32_t rate = 44100;
    int channels = 2;  // 1: mono in, mono out (the left of the processed pair)
    // Sample bytes the input holds; UINT64_MAX: until it ends.
    uint64_t data_bytes = UINT64_MAX;
    // Drops the first latency frames of the output, so that it lines up with the input as an
    // export's does (the stream is then as long as its input).
    bool trim_latency = false;
    // Wav: the output starts with wav_stream_header at the input's rate and channels.
    StreamFormat output = StreamFormat::Raw;
};

// Writes bytes to the output; returns 0, or the errno of a write that failed.
using StreamWriter = std::function<int(const void* data, size_t bytes)>;

enum class StreamEnd {
    InputEnded,    // the whole input and the chain's tail were written
    OutputClosed,  // the reader went away (EPIPE)
    ReadFailed,
    WriteFailed
};

struct StreamResult {
    StreamEnd end = StreamEnd::InputEnded;
    int error = 0;               // errno of a failed read or write
    uint64_t frames_in = 0;      // whole input frames taken
    uint64_t frames_out = 0;     // frames written
    bool partial_frame = false;  // the input ended inside a frame, which was dropped
    // Bytes that data_bytes promised and the input never brought (0 when it held them all or
    // had no size).
    uint64_t missing_bytes = 0;
};

// Starts the processor for a stream at rate as an export starts it; returns the latency in
// frames.
int start_stream_processor(Processor& p, int32_t rate);

// Runs the input through the processor (started by start_stream_processor) until the input
// ends or a read or write fails.
StreamResult run_pcm_stream(Processor& p, const StreamLayout& layout, ByteReader& in,
                            const StreamWriter& out);

}  // namespace zv::cli
