#include "sources/mp3_stream_info.h"

#include <cstring>
#include <vector>

namespace zv {
namespace {

// kbit/s by [table][index]; tables: MPEG-1 layers 1..3, then MPEG-2/2.5 layer 1, layers 2-3.
constexpr int BITRATES[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr int32_t RATES_MPEG1[3] = {44100, 48000, 32000};
constexpr int32_t RATES_MPEG2[3] = {22050, 24000, 16000};
constexpr int32_t RATES_MPEG25[3] = {11025, 12000, 8000};

// Enough bytes after a frame header to hold a Xing/Info tag's id, flags and frame count.
constexpr size_t VBR_PROBE_BYTES = 4 + 32 + 12;
constexpr size_t SCAN_WINDOW = 64 * 1024;

uint32_t be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

}  // namespace

bool parse_mp3_frame_header(const uint8_t b[4], Mp3FrameHeader& h) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return false;
    }
    int ver_bits = (b[1] >> 3) & 3;
    int layer = 4 - ((b[1] >> 1) & 3);
    int br_index = b[2] >> 4;
    int sr_index = (b[2] >> 2) & 3;
    if (ver_bits == 1 || layer == 4 || br_index == 15 || sr_index == 3) {
        return false;
    }
    bool mpeg1 = ver_bits == 3;
    h.version = mpeg1 ? 1 : (ver_bits == 2 ? 2 : 25);
    h.layer = layer;
    h.rate = mpeg1 ? RATES_MPEG1[sr_index]
                   : (ver_bits == 2 ? RATES_MPEG2[sr_index] : RATES_MPEG25[sr_index]);
    int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    h.bitrate_kbps = BITRATES[table][br_index];
    h.channels = (b[3] >> 6) == 3 ? 1 : 2;
    if (layer == 1) {
        h.samples_per_frame = 384;
    } else if (layer == 2 || mpeg1) {
        h.samples_per_frame = 1152;
    } else {
        h.samples_per_frame = 576;
    }
    if (layer == 3) {
        h.side_info_bytes = mpeg1 ? (h.channels == 2 ? 32 : 17) : (h.channels == 2 ? 17 : 9);
    } else {
        h.side_info_bytes = 0;
    }
    return true;
}

uint64_t id3v2_tag_bytes(const uint8_t b[10]) {
    if (b[0] != 'I' || b[1] != 'D' || b[2] != '3') {
        return 0;
    }
    uint64_t size = (static_cast<uint64_t>(b[6] & 0x7F) << 21) |
                    (static_cast<uint64_t>(b[7] & 0x7F) << 14) |
                    (static_cast<uint64_t>(b[8] & 0x7F) << 7) | static_cast<uint64_t>(b[9] & 0x7F);
    bool footer = (b[5] & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

Mp3StreamInfo read_mp3_stream_info(ByteReader& in) {
    Mp3StreamInfo info;
    const uint64_t file_size = in.size();
    uint8_t head[10];
    in.seek(0);
    uint64_t pos = in.read(head, 10) == 10 ? id3v2_tag_bytes(head) : 0;

    // Scan for the first header in windows that overlap by 3 bytes, so a header that
    // straddles two windows is still seen.
    std::vector<uint8_t> window(SCAN_WINDOW);
    while (!info.found && pos + 4 <= file_size) {
        if (!in.seek(pos)) {
            return info;
        }
        size_t got = in.read(window.data(), window.size());
        if (got < 4) {
            return info;
        }
        for (size_t o = 0; o + 4 <= got; ++o) {
            if (parse_mp3_frame_header(window.data() + o, info.header)) {
                info.found = true;
                info.first_frame = pos + o;
                break;
            }
        }
        pos += got - 3;
    }
    if (!info.found) {
        info.header = Mp3FrameHeader{};
        return info;
    }

    const Mp3FrameHeader& h = info.header;
    if (h.layer == 3) {
        uint8_t frame[VBR_PROBE_BYTES] = {};
        in.seek(info.first_frame);
        size_t got = in.read(frame, sizeof frame);
        size_t x = 4 + static_cast<size_t>(h.side_info_bytes);
        if (got >= x + 12 &&
            (std::memcmp(frame + x, "Xing", 4) == 0 || std::memcmp(frame + x, "Info", 4) == 0) &&
            (be32(frame + x + 4) & 1u) != 0) {
            info.has_vbr_header = true;
            info.vbr_frames = be32(frame + x + 8);
        }
    }
    if (info.has_vbr_header) {
        info.has_total = true;
        info.total_samples = static_cast<uint64_t>(info.vbr_frames) * h.samples_per_frame;
    } else if (h.bitrate_kbps > 0) {
        // Whole seconds only, from the whole file size (tags included).
        uint64_t seconds = file_size * 8 / (static_cast<uint64_t>(h.bitrate_kbps) * 1000);
        info.has_total = true;
        info.total_samples = seconds * static_cast<uint64_t>(h.rate);
    }
    return info;
}

}  // namespace zv
