#include "sources/ogg_pages.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace zv {
namespace {

constexpr size_t PAGE_HEADER_BYTES = 27;
constexpr size_t CRC_OFFSET = 22;
constexpr uint8_t FLAG_FIRST = 0x02;
constexpr uint8_t FLAG_LAST = 0x04;

// The Ogg checksum: CRC-32, polynomial 0x04C11DB7, not reflected, starting at 0.
const std::array<uint32_t, 256>& crc_table() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) {
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            }
            t[i] = r;
        }
        return t;
    }();
    return table;
}

uint32_t crc_update(uint32_t crc, const uint8_t* p, size_t n) {
    const auto& table = crc_table();
    for (size_t i = 0; i < n; ++i) {
        crc = (crc << 8) ^ table[((crc >> 24) ^ p[i]) & 0xFF];
    }
    return crc;
}

uint32_t le32(const uint8_t* p) {
    return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool fail(std::string& why, const char* what, uint64_t at) {
    why = std::string(what) + " at byte " + std::to_string(at);
    return false;
}

}  // namespace

bool check_ogg_pages(ByteReader& in, std::string& why) {
    struct Stream {
        uint32_t sequence = 0;
        bool ended = false;
    };
    std::map<uint32_t, Stream> streams;
    std::vector<uint8_t> page;
    uint64_t at = 0;
    if (!in.seek(0)) {
        why = "cannot read it";
        return false;
    }
    for (;;) {
        uint8_t head[PAGE_HEADER_BYTES];
        const size_t got = in.read(head, sizeof head);
        if (in.error() != 0) {
            why = read_error_text(in);
            return false;
        }
        const bool all_ended = !streams.empty() && [&] {
            for (const auto& [serial, s] : streams) {
                if (!s.ended) {
                    return false;
                }
            }
            return true;
        }();
        if (got == 0 && all_ended) {
            return true;
        }
        if (got < 4 || std::memcmp(head, "OggS", 4) != 0) {
            if (all_ended) {
                return true;  // bytes after the last page of every stream
            }
            return fail(why,
                        got < sizeof head && got > 0 ? "the file is cut off in a page"
                        : got == 0                   ? "the file ends before its streams do"
                                                     : "the Ogg stream is damaged (no page)",
                        at);
        }
        if (got < sizeof head) {
            return fail(why, "the file is cut off in a page", at);
        }
        if (head[4] != 0) {
            return fail(why, "the Ogg stream is damaged (unknown page version)", at);
        }
        const size_t segments = head[26];
        page.assign(head, head + sizeof head);
        page.resize(sizeof head + segments);
        if (in.read(page.data() + sizeof head, segments) != segments) {
            return in.error() != 0 ? (why = read_error_text(in), false)
                                   : fail(why, "the file is cut off in a page", at);
        }
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) {
            body += page[sizeof head + i];
        }
        const size_t header_bytes = page.size();
        page.resize(header_bytes + body);
        if (in.read(page.data() + header_bytes, body) != body) {
            return in.error() != 0 ? (why = read_error_text(in), false)
                                   : fail(why, "the file is cut off in a page", at);
        }
        const uint32_t stored = le32(page.data() + CRC_OFFSET);
        std::memset(page.data() + CRC_OFFSET, 0, 4);
        if (crc_update(0, page.data(), page.size()) != stored) {
            return fail(why, "a page of the Ogg stream fails its checksum", at);
        }
        const uint8_t flags = head[5];
        const uint32_t serial = le32(head + 14);
        const uint32_t sequence = le32(head + 18);
        auto it = streams.find(serial);
        if (it == streams.end()) {
            if (!(flags & FLAG_FIRST)) {
                return fail(why, "a page of the Ogg stream is missing", at);
            }
            it = streams.emplace(serial, Stream{sequence, false}).first;
        } else {
            if (it->second.ended || sequence != it->second.sequence + 1) {
                return fail(why, "a page of the Ogg stream is missing", at);
            }
            it->second.sequence = sequence;
        }
        if (flags & FLAG_LAST) {
            it->second.ended = true;
        }
        at += page.size();
    }
}

}  // namespace zv
