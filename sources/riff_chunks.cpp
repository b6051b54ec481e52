#include "sources/riff_chunks.h"

#include <algorithm>
#include <cstring>

namespace zv {
namespace {

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool supported_format(int32_t rate, int32_t channels, int32_t bits) {
    return bits == 16 && (channels == 1 || channels == 2) &&
           std::find(std::begin(SUPPORTED_RATES), std::end(SUPPORTED_RATES), rate) !=
               std::end(SUPPORTED_RATES);
}

// Only the first 16 bytes of "fmt " are read; an extensible format's tail is skipped.
constexpr uint32_t FMT_BYTES_USED = 16;

// A read that came back short because the disk failed is no statement about the file.
WavWalkStatus short_read(const ByteReader& in, WavWalkStatus status) {
    return in.error() != 0 ? WavWalkStatus::ReadError : status;
}

}  // namespace

bool read_chunk_header(ByteReader& in, RiffChunkHeader& chunk) {
    uint8_t b[8];
    if (in.read(b, 8) != 8) {
        return false;
    }
    std::memcpy(chunk.id, b, 4);
    chunk.size = le32(b + 4);
    return true;
}

void skip_chunk_rest(ByteReader& in, const RiffChunkHeader& chunk, uint32_t consumed) {
    uint64_t rest = static_cast<uint64_t>(chunk.size) - std::min(consumed, chunk.size);
    rest += chunk.size & 1u;
    in.seek(in.tell() + rest);
}

bool same_chunk_id(const char id[4], const char* lower_literal) {
    for (int i = 0; i < 4; ++i) {
        char c = id[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lower_literal[i]) {
            return false;
        }
    }
    return true;
}

const char* wav_walk_status_text(WavWalkStatus status) {
    switch (status) {
        case WavWalkStatus::Ok:
            return "";
        case WavWalkStatus::NotWave:
            return "not a RIFF/WAVE file";
        case WavWalkStatus::Truncated:
            return "the file ends before its \"data\" chunk";
        case WavWalkStatus::Unsupported:
            return "unsupported format (16-bit PCM, 1 or 2 channels, 32000/44100/48000 Hz only)";
        case WavWalkStatus::DataBeforeFmt:
            return "\"data\" chunk before the \"fmt \" chunk";
        case WavWalkStatus::ReadError:
            return "read error";
    }
    return "unreadable header";
}

WavHeaderWalk walk_wav_header(ByteReader& in) {
    WavHeaderWalk walk;
    in.seek(0);
    uint8_t riff[12];
    if (in.read(riff, 12) != 12 ||
        !same_chunk_id(reinterpret_cast<const char*>(riff + 8), "wave")) {
        walk.status = short_read(in, WavWalkStatus::NotWave);
        return walk;
    }
    bool have_fmt = false;
    for (;;) {
        RiffChunkHeader chunk;
        if (!read_chunk_header(in, chunk)) {
            walk.status = short_read(in, WavWalkStatus::Truncated);
            return walk;
        }
        if (same_chunk_id(chunk.id, "fmt ")) {
            // A "fmt " that claims more bytes than the file holds is cut short.
            if (chunk.size > in.size() - std::min(in.size(), in.tell())) {
                walk.status = WavWalkStatus::Truncated;
                return walk;
            }
            uint8_t fmt[FMT_BYTES_USED] = {};  // a shorter chunk reads as zeros
            uint32_t want = std::min(chunk.size, FMT_BYTES_USED);
            if (in.read(fmt, want) != want) {
                walk.status = short_read(in, WavWalkStatus::Truncated);
                return walk;
            }
            walk.format_tag = le16(fmt);
            walk.channels = le16(fmt + 2);
            walk.rate = static_cast<int32_t>(le32(fmt + 4));
            walk.bits = le16(fmt + 14);
            if (!supported_format(walk.rate, walk.channels, walk.bits)) {
                walk.status = WavWalkStatus::Unsupported;
                return walk;
            }
            have_fmt = true;
            skip_chunk_rest(in, chunk, want);
        } else if (same_chunk_id(chunk.id, "data")) {
            if (!have_fmt) {
                walk.status = WavWalkStatus::DataBeforeFmt;
                return walk;
            }
            walk.data_bytes = chunk.size;
            walk.data_offset = in.tell();
            walk.status = WavWalkStatus::Ok;
            return walk;
        } else {
            skip_chunk_rest(in, chunk, 0);
        }
    }
}

}  // namespace zv
