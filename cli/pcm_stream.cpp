#include "cli/pcm_stream.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "export/wav_header.h"
#include "sources/open_file.h"

namespace zv::cli {

int wait_for_fd(int fd, short events) {
    pollfd p{fd, events, 0};
    while (::poll(&p, 1, -1) < 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

size_t FdStreamReader::read(void* dst, size_t n) {
    if (n == 0 || error_ != 0) {
        return 0;
    }
    size_t done = 0;
    while (done < n) {
        const ReadOutcome r = read_fully(fd_, static_cast<char*>(dst) + done, n - done);
        done += r.bytes;
        // A descriptor its owner made non-blocking: wait for more rather than fail.
        if (r.error == EAGAIN || r.error == EWOULDBLOCK) {
            error_ = wait_for_fd(fd_, POLLIN);
            if (error_ == 0) {
                continue;
            }
        } else {
            error_ = r.error;
        }
        break;
    }
    pos_ += done;
    return done;
}

bool FdStreamReader::seek(uint64_t pos) {
    if (pos < pos_) {
        error_ = ESPIPE;  // a pipe cannot go back
        return false;
    }
    char sink[4096];
    while (pos_ < pos) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof sink, pos - pos_));
        if (read(sink, want) != want) {
            return false;  // the end, or a failed read (error() tells)
        }
    }
    return true;
}

int write_fd_fully(int fd, const void* data, size_t bytes) {
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(fd, p, bytes);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {  // a non-blocking pipe that is full
                if (const int err = wait_for_fd(fd, POLLOUT); err != 0) {
                    return err;
                }
                continue;
            }
            return errno;
        }
        p += n;
        bytes -= static_cast<size_t>(n);
    }
    return 0;
}

DrainEnd wait_for_pipe_drained(int fd, int idle_limit_ms) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        return DrainEnd::Drained;
    }
    using Clock = std::chrono::steady_clock;
    int queued = -1;
    Clock::time_point last_taken = Clock::now();
    for (;;) {
        int now = 0;
        if (::ioctl(fd, FIONREAD, &now) != 0 || now == 0) {
            return DrainEnd::Drained;
        }
        // A write end polls as POLLERR once no reader is left.
        pollfd p{fd, 0, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & POLLERR) != 0) {
            return DrainEnd::ReaderGone;
        }
        if (now != queued) {
            queued = now;
            last_taken = Clock::now();
        } else if (Clock::now() - last_taken >= std::chrono::milliseconds(idle_limit_ms)) {
            return DrainEnd::ReaderIdle;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::array<uint8_t, WAV_STREAM_HEADER_BYTES> wav_stream_header(int32_t rate, int channels) {
    auto h = make_pcm_wav_header(WavFormat{rate, channels}, WAV_STREAM_SIZE);
    // The RIFF size too (make_pcm_wav_header's 36 + size would wrap round to 35).
    std::fill(h.begin() + 4, h.begin() + 8, uint8_t{0xFF});
    return h;
}

uint64_t wav_stream_data_bytes(uint32_t data_size) {
    constexpr uint32_t LIQUIDSOAP_LARGEST = 0xEFFFFFDBu;
    if (data_size == 0 || data_size == 0xFFFFFFFFu || data_size == LIQUIDSOAP_LARGEST) {
        return UINT64_MAX;
    }
    return data_size;
}

int start_stream_processor(Processor& p, int32_t rate) {
    // What an export job does before its first block: a clean chain, no level gain, then the
    // rate-change sequence with the song's rate.
    reset_processor_state(p);
    p.params.normalisation_gain = 1.0;
    change_sample_rate(p, rate);
    return chain_latency_frames(p.params);
}

StreamResult run_pcm_stream(Processor& p, const StreamLayout& layout, ByteReader& in,
                            const StreamWriter& out) {
    constexpr size_t BLOCK_VALUES = 2 * static_cast<size_t>(STREAM_BLOCK_FRAMES);
    const int channels = layout.channels == 1 ? 1 : 2;
    const size_t frame_bytes = 2u * static_cast<size_t>(channels);
    const int64_t latency = chain_latency_frames(p.params);
    const int64_t first = layout.trim_latency ? latency : 0;  // first processor frame written

    std::vector<int16_t> in_block(BLOCK_VALUES);
    std::vector<int16_t> out_block(BLOCK_VALUES);
    std::vector<int16_t> raw(BLOCK_VALUES);
    std::vector<int16_t> write_buf(BLOCK_VALUES);

    StreamResult r;
    uint64_t left = layout.data_bytes;
    bool input_done = false;
    int64_t base = 0;  // processor output frames before the current block

    // Reads up to one block of whole frames into in_block (stereo) and zeroes the rest.
    auto read_block = [&]() -> int {
        std::fill(in_block.begin(), in_block.end(), int16_t{0});
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(left, STREAM_BLOCK_FRAMES * frame_bytes));
        const size_t got = in.read(raw.data(), want);
        left -= got;
        const int frames = static_cast<int>(got / frame_bytes);
        if (got < want || left == 0) {
            input_done = true;
            r.partial_frame = got % frame_bytes != 0;
            if (got < want && layout.data_bytes != UINT64_MAX) {
                r.missing_bytes = left;
            }
        }
        for (int f = 0; f < frames; ++f) {
            const size_t i = static_cast<size_t>(f);
            in_block[2 * i] = raw[i * static_cast<size_t>(channels)];
            in_block[2 * i + 1] = raw[i * static_cast<size_t>(channels) + (channels - 1)];
        }
        return frames;
    };
    // Writes processor output frames [from, to) of out_block.
    auto write_frames = [&](int64_t from, int64_t to) -> bool {
        if (to <= from) {
            return true;
        }
        size_t count = 0;
        for (int64_t f = from; f < to; ++f) {
            const size_t i = static_cast<size_t>(f);
            write_buf[count++] = out_block[2 * i];
            if (channels == 2) {
                write_buf[count++] = out_block[2 * i + 1];
            }
        }
        const int err = out(write_buf.data(), count * sizeof(int16_t));
        if (err != 0) {
            r.end = err == EPIPE ? StreamEnd::OutputClosed : StreamEnd::WriteFailed;
            r.error = err;
            return false;
        }
        r.frames_out += static_cast<uint64_t>(to - from);
        return true;
    };

    if (layout.output == StreamFormat::Wav) {
        const auto header = wav_stream_header(layout.rate, channels);
        if (const int err = out(header.data(), header.size()); err != 0) {
            r.end = err == EPIPE ? StreamEnd::OutputClosed : StreamEnd::WriteFailed;
            r.error = err;
            return r;
        }
    }
    for (;;) {
        const int frames = input_done ? 0 : read_block();
        if (in.error() != 0) {
            r.end = StreamEnd::ReadFailed;
            r.error = in.error();
            return r;
        }
        if (input_done && frames == 0) {
            std::fill(in_block.begin(), in_block.end(), int16_t{0});
        }
        r.frames_in += static_cast<uint64_t>(frames);
        process_block(p, static_cast<int32_t>(BLOCK_VALUES), in_block.data(), out_block.data());
        // Once the input is done the output ends with its last frame, latency frames later.
        const int64_t end = input_done ? static_cast<int64_t>(r.frames_in) + latency : INT64_MAX;
        const int64_t from = std::max<int64_t>(0, first - base);
        const int64_t to = std::min<int64_t>(STREAM_BLOCK_FRAMES, end - base);
        if (!write_frames(from, to)) {
            return r;
        }
        base += STREAM_BLOCK_FRAMES;
        if (input_done && base >= end) {
            r.end = StreamEnd::InputEnded;
            return r;
        }
    }
}

}  // namespace zv::cli
