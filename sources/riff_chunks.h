// The one RIFF/WAVE header walk of the program. The probe, the playback's seek to the first
// sample, the export's header copy and the peak scan all go through walk_wav_header, so they
// agree on every file: ids compared without regard to case, the pad byte after an odd-sized
// chunk honoured, and a "data" chunk only counted after a supported "fmt " chunk.
#pragma once

#include <cstdint>

#include "sources/byte_reader.h"

namespace zv {

struct RiffChunkHeader {
    char id[4] = {};
    uint32_t size = 0;
};

// Reads the 8-byte chunk header at the current position; false on a short read.
bool read_chunk_header(ByteReader& in, RiffChunkHeader& chunk);

// Moves past a chunk's content whose first `consumed` bytes were already read, including the
// pad byte that follows an odd-sized chunk. Never fails: a chunk that runs past the end of the
// input simply leaves the position there, and the next header read comes back short.
void skip_chunk_rest(ByteReader& in, const RiffChunkHeader& chunk, uint32_t consumed);

// True when the 4 bytes equal the lower-case literal (such as "wave", "fmt ", "data") after
// lower-casing.
bool same_chunk_id(const char id[4], const char* lower_literal);

enum class WavWalkStatus {
    Ok,             // supported "fmt " then "data" found
    NotWave,        // fewer than 12 bytes, or the form type is not "WAVE"
    Truncated,      // a chunk header or the "fmt " content is cut short before "data"
    Unsupported,    // "fmt " is not 16-bit, 1 or 2 channels, 32000/44100/48000 Hz
    DataBeforeFmt,  // a "data" chunk met before any "fmt " chunk
    ReadError       // a read failed (the reader's error() says why) before "data" was found
};

constexpr int32_t SUPPORTED_RATES[] = {32000, 44100, 48000};

struct WavHeaderWalk {
    WavWalkStatus status = WavWalkStatus::NotWave;
    uint16_t format_tag = 0;  // read but never checked
    int32_t rate = 0;
    int32_t channels = 0;
    int32_t bits = 0;
    uint32_t data_bytes = 0;   // the "data" chunk's size field
    uint64_t data_offset = 0;  // first sample: everything before it is the header
};

// A short English reason for a walk that did not reach "data" (empty for Ok).
const char* wav_walk_status_text(WavWalkStatus status);

// Walks from the start of the input to the "data" chunk. On Ok the position is the first
// sample. The walk stops at the first unsupported "fmt " chunk.
WavHeaderWalk walk_wav_header(ByteReader& in);

}  // namespace zv
