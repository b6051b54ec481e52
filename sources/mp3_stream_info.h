// The opening steps of an MP3 stream, done on the bytes themselves: skip an ID3v2 tag, find
// the first frame header, read a Xing/Info header when present, else estimate the length in
// whole seconds from the whole file size and the first frame's bitrate.
#pragma once

#include <cstdint>

#include "sources/byte_reader.h"

namespace zv {

struct Mp3FrameHeader {
    int version = 0;       // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;         // 1..3
    int bitrate_kbps = 0;  // 0 = free format
    int32_t rate = 0;
    int32_t channels = 0;
    int samples_per_frame = 0;
    int side_info_bytes = 0;  // Layer III only: where a Xing/Info header starts after the header
};

// Parses a 4-byte MPEG audio frame header; false when the bytes are not one.
bool parse_mp3_frame_header(const uint8_t b[4], Mp3FrameHeader& header);

// Byte count of an ID3v2 tag at the start of the 10 bytes given (0 when there is none).
uint64_t id3v2_tag_bytes(const uint8_t b[10]);

struct Mp3StreamInfo {
    bool found = false;        // a frame header was found
    uint64_t first_frame = 0;  // offset of the first frame header
    Mp3FrameHeader header;
    bool has_vbr_header = false;  // Xing/Info with a frame count
    uint32_t vbr_frames = 0;
    bool has_total = false;      // false for free format without a Xing/Info frame count
    uint64_t total_samples = 0;  // per channel
};

// Reads the opening of the stream; the reader's position afterwards is unspecified.
Mp3StreamInfo read_mp3_stream_info(ByteReader& in);

}  // namespace zv
