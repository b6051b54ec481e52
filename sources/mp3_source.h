// MP3 songs: the probe used when a song enters the playlist and the frame decoder that the
// playback and the export run, one decoder object per open source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sources/byte_reader.h"
#include "sources/mp3_stream_info.h"

namespace zv {

constexpr int MP3_FRAME_SAMPLES = 1152;
constexpr int MP3_MIN_KBPS = 32;
constexpr int MP3_MAX_KBPS = 320;

// Results of Mp3Decoder::read_frame besides a sample count (1..1152).
constexpr int MP3_END = 0;             // the stream ended
constexpr int MP3_DECODE_ERROR = -1;   // a frame could not be decoded, or its bitrate is
                                       // outside 32..320 kbit/s
constexpr int MP3_READ_ERROR = -2;     // reading the file failed (a damaged disk)
constexpr int MP3_FORMAT_CHANGE = -3;  // the rate or channel count changed mid-stream

// 1 when the stream is 32000/44100/48000 Hz with 1 or 2 channels and a total length was
// found; else 0. The out-values are written whenever a frame header was found (pcm_bytes is
// 0 when no total was found); pcm_bytes = total samples x channels x 2.
int probe_mp3(const std::string& path, int32_t& rate, int32_t& channels, int64_t& pcm_bytes);
int probe_mp3(const uint8_t* data, size_t size, int32_t& rate, int32_t& channels,
              int64_t& pcm_bytes);
int probe_mp3(ByteReader& in, int32_t& rate, int32_t& channels, int64_t& pcm_bytes);

// Why the probe refuses a stream (empty when it accepts it).
std::string mp3_refusal_reason(const Mp3StreamInfo& info);

// Frame-by-frame decoder on libmp3lame's hip decoder. Owns its decoder instance and input.
class Mp3Decoder {
public:
    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(Mp3Decoder&& other) noexcept;
    Mp3Decoder& operator=(Mp3Decoder&& other) noexcept;
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Opens the file (regular files only, never blocking) and runs the opening steps; false
    // with error() set when it cannot be opened or read, or the probe would refuse it (no
    // frame, unsupported rate, no total length).
    bool open(const std::string& path);
    bool open(std::unique_ptr<ByteReader> input);
    void close();
    bool is_open() const;

    // Decodes the next frame into two planar arrays of MP3_FRAME_SAMPLES each (for a mono
    // stream the right array receives a copy of the left). Returns the samples per channel
    // (1..1152), or MP3_END, MP3_DECODE_ERROR, MP3_READ_ERROR or MP3_FORMAT_CHANGE. Decoding
    // stops at a read error or a change of rate or channel count (a frame of the new format is
    // never returned: it would play at the wrong speed or with the wrong layout); error() then
    // says what happened, and every later call returns the same result.
    int read_frame(int16_t* left, int16_t* right);

    int32_t rate() const { return info_.header.rate; }
    int32_t channels() const { return info_.header.channels; }
    uint64_t total_samples() const { return info_.total_samples; }  // per channel
    // Samples per channel returned so far. A stream that ends with none decoded holds no
    // audio; error() says so then.
    uint64_t decoded_samples() const { return decoded_; }
    const Mp3StreamInfo& stream_info() const { return info_; }
    const std::string& error() const { return error_; }

private:
    struct State;
    int stop(int result, std::string why);

    std::unique_ptr<State> state_;
    Mp3StreamInfo info_;
    std::string error_;
    uint64_t decoded_ = 0;
    int stopped_ = 0;  // the sticky result after a read error or a format change
};

// A decoder fed a stream's bytes as they are made (the export measures its MP3 while the
// encoder writes it). Fed the frames of a file, it returns what Mp3Decoder returns from that
// file: the same samples frame by frame, the same refusals (a rate other than 32000, 44100 or
// 48000 Hz, a frame outside 32..320 kbit/s, a change of rate or channels). The bytes may come
// in any amounts; each call holds the process-wide decoder lock for that call only.
class Mp3FeedDecoder {
public:
    Mp3FeedDecoder();
    ~Mp3FeedDecoder();
    Mp3FeedDecoder(const Mp3FeedDecoder&) = delete;
    Mp3FeedDecoder& operator=(const Mp3FeedDecoder&) = delete;

    // Takes size more bytes (none to drain what it holds) and decodes at most one frame into
    // two planar arrays of MP3_FRAME_SAMPLES each (mono: the right receives a copy). Returns
    // the samples per channel, 0 when it needs more bytes, or MP3_DECODE_ERROR or
    // MP3_FORMAT_CHANGE, after which error() says why and every call returns the same.
    int decode(const uint8_t* bytes, size_t size, int16_t* left, int16_t* right);
    // Takes size more bytes and appends every frame they complete to interleaved (one sample
    // per frame for mono), holding the process-wide decoder lock once for all of them.
    // Returns the samples per channel appended, or an error as decode() does.
    int decode_all(const uint8_t* bytes, size_t size, std::vector<int16_t>& interleaved);

    int32_t rate() const { return rate_; }          // of the first frame; 0 before it
    int32_t channels() const { return channels_; }  // likewise
    uint64_t decoded_samples() const { return decoded_; }
    const std::string& error() const { return error_; }

private:
    int stop(int result, std::string why);
    int decode_held(const uint8_t* bytes, size_t size, int16_t* left, int16_t* right);

    void* hip_ = nullptr;  // the library's decoder handle
    int32_t rate_ = 0;
    int32_t channels_ = 0;
    uint64_t decoded_ = 0;
    int stopped_ = 0;
    std::string error_;
};

// The operations under the names the playback and export code use.
inline bool mp3_open(Mp3Decoder& decoder, const std::string& path) {
    return decoder.open(path);
}
inline int mp3_read_frame(Mp3Decoder& decoder, int16_t* left, int16_t* right) {
    return decoder.read_frame(left, right);
}
inline void mp3_close(Mp3Decoder& decoder) {
    decoder.close();
}

}  // namespace zv
