// WAV songs: the probe that decides whether a file may enter the playlist, the seek to the
// first sample, and a block reader that never reads past the end of the "data" chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sources/byte_reader.h"
#include "sources/riff_chunks.h"

namespace zv {

// 1 = accepted (all three out-values set); 0 = a RIFF/WAVE file in an unsupported format
// (also a "data" chunk before any "fmt "); -1 = cannot be opened or read, not "WAVE", or a
// chunk header cut short before "data". Out-values are left alone unless the result is 1.
int probe_wav(const std::string& path, int32_t& rate, int32_t& channels, uint32_t& data_bytes);
int probe_wav(const uint8_t* data, size_t size, int32_t& rate, int32_t& channels,
              uint32_t& data_bytes);
int probe_wav(ByteReader& in, int32_t& rate, int32_t& channels, uint32_t& data_bytes);

struct WavDataSpan {
    bool found = false;       // false: no usable "data" chunk; the position is undefined
    bool headerless = false;  // the form type is not "WAVE": the whole file is raw PCM
    uint64_t data_offset = 0;
    uint64_t data_bytes = 0;  // the "data" size field, or the whole file size when headerless
};

// Places the reader at the first sample of the "data" chunk. A file whose form type is not
// "WAVE" (any case) is read as headerless 16-bit PCM from position 0.
WavDataSpan seek_to_wav_data(ByteReader& in);

// Reads the bytes of a WAV file up to and including the "data" chunk's 8-byte header, which
// the export copies as its output header. Empty with an error text when there is none.
bool read_wav_header_bytes(const std::string& path, std::vector<uint8_t>& header,
                           std::string& error);

// Reads the samples of one WAV song in order. RAII: the file closes with the reader.
class WavReader {
public:
    WavReader() = default;
    WavReader(WavReader&&) noexcept = default;
    WavReader& operator=(WavReader&&) noexcept = default;

    // Opens the file (regular files only, never blocking) and positions it at the first
    // sample; false with error() set when the file cannot be opened or read, or holds no
    // "data" chunk after a supported "fmt ".
    bool open(const std::string& path);
    // The same on any input (tests feed failing readers).
    bool open(std::unique_ptr<ByteReader> input);
    void close();
    bool is_open() const;

    // Reads up to `bytes` sample bytes; fewer (0 at the end) when the "data" chunk or the
    // file ends, or when a read fails: failed() tells which. Bytes of chunks that follow the
    // data are never returned. After a failure every read returns 0.
    size_t read(void* dst, size_t bytes);
    // Moves to a byte offset inside the data (clamped to its end), from the first sample.
    bool seek_data(uint64_t offset);
    // True once a read failed (a damaged disk): the song is not whole; error() says why.
    bool failed() const { return failed_; }
    // False for a song without a single sample frame: a "data" chunk of size 0 (or less than
    // one frame), or a file that ends where its samples should begin.
    bool holds_samples() const;

    int32_t rate() const { return walk_.rate; }          // 0 when headerless
    int32_t channels() const { return walk_.channels; }  // 0 when headerless
    uint64_t data_bytes() const { return span_.data_bytes; }
    // Everything up to and including the "data" chunk's 8-byte header (0 when headerless).
    uint64_t header_bytes() const { return span_.data_offset; }
    bool headerless() const { return span_.headerless; }
    uint64_t data_position() const { return data_pos_; }
    // Why open() failed, or why the last read failed.
    const std::string& error() const { return error_; }

private:
    bool start();
    ByteReader& source();
    uint64_t input_size() const;

    FileByteReader file_;
    std::unique_ptr<ByteReader> input_;  // set instead of file_ by open(input)
    bool failed_ = false;
    WavHeaderWalk walk_;
    WavDataSpan span_;
    uint64_t data_pos_ = 0;
    std::string error_;
};

}  // namespace zv
