#include "sources/id3v1.h"

#include <algorithm>
#include <cstring>

#include "sources/byte_reader.h"

namespace zv {

std::string_view Id3v1Tag::field_text(size_t offset) const {
    const char* p = reinterpret_cast<const char*>(bytes.data() + offset);
    size_t limit = std::min(ID3V1_FIELD_BYTES, ID3V1_BYTES - offset);
    size_t n = 0;
    while (n < limit && p[n] != '\0') {
        ++n;
    }
    return {p, n};
}

namespace {

void take_tag(const uint8_t* last128, Id3v1Tag& slot) {
    if (last128 != nullptr && std::memcmp(last128, "TAG", 3) == 0) {
        std::memcpy(slot.bytes.data(), last128, ID3V1_BYTES);
    } else {
        slot.bytes.fill(0);
    }
}

}  // namespace

bool read_id3v1(const std::string& path, Id3v1Tag& slot) {
    FileByteReader file;
    if (!file.open(path)) {
        return false;
    }
    if (file.size() < ID3V1_BYTES) {
        take_tag(nullptr, slot);
        return true;
    }
    uint8_t last[ID3V1_BYTES];
    if (!file.seek(file.size() - ID3V1_BYTES) || file.read(last, sizeof last) != sizeof last) {
        return false;
    }
    take_tag(last, slot);
    return true;
}

void read_id3v1(const uint8_t* data, size_t size, Id3v1Tag& slot) {
    take_tag(size >= ID3V1_BYTES ? data + size - ID3V1_BYTES : nullptr, slot);
}

}  // namespace zv
