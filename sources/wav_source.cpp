#include "sources/wav_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zv {

int probe_wav(ByteReader& in, int32_t& rate, int32_t& channels, uint32_t& data_bytes) {
    WavHeaderWalk walk = walk_wav_header(in);
    switch (walk.status) {
        case WavWalkStatus::Ok:
            rate = walk.rate;
            channels = walk.channels;
            data_bytes = walk.data_bytes;
            return 1;
        case WavWalkStatus::Unsupported:
        case WavWalkStatus::DataBeforeFmt:
            return 0;
        case WavWalkStatus::NotWave:
        case WavWalkStatus::Truncated:
            break;
    }
    return -1;
}

int probe_wav(const std::string& path, int32_t& rate, int32_t& channels, uint32_t& data_bytes) {
    FileByteReader file;
    if (!file.open(path)) {
        return -1;
    }
    return probe_wav(file, rate, channels, data_bytes);
}

int probe_wav(const uint8_t* data, size_t size, int32_t& rate, int32_t& channels,
              uint32_t& data_bytes) {
    MemoryByteReader mem(data, size);
    return probe_wav(mem, rate, channels, data_bytes);
}

WavDataSpan seek_to_wav_data(ByteReader& in) {
    WavDataSpan span;
    WavHeaderWalk walk = walk_wav_header(in);
    if (walk.status == WavWalkStatus::NotWave) {
        span.found = in.seek(0);
        span.headerless = true;
        span.data_bytes = in.size();
        return span;
    }
    if (walk.status != WavWalkStatus::Ok) {
        return span;
    }
    span.found = true;
    span.data_offset = walk.data_offset;
    span.data_bytes = walk.data_bytes;
    return span;
}

bool read_wav_header_bytes(const std::string& path, std::vector<uint8_t>& header,
                           std::string& error) {
    header.clear();
    FileByteReader file;
    if (!file.open(path)) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    WavHeaderWalk walk = walk_wav_header(file);
    if (walk.status != WavWalkStatus::Ok) {
        error = wav_walk_status_text(walk.status);
        return false;
    }
    header.resize(static_cast<size_t>(walk.data_offset));
    if (!file.seek(0) || file.read(header.data(), header.size()) != header.size()) {
        header.clear();
        error = "read error";
        return false;
    }
    return true;
}

bool WavReader::open(const std::string& path) {
    close();
    if (!file_.open(path)) {
        error_ = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    walk_ = walk_wav_header(file_);
    if (walk_.status != WavWalkStatus::Ok && walk_.status != WavWalkStatus::NotWave) {
        error_ = wav_walk_status_text(walk_.status);
        close();
        return false;
    }
    span_ = seek_to_wav_data(file_);
    if (!span_.found) {
        error_ = "read error";
        close();
        return false;
    }
    data_pos_ = 0;
    return true;
}

void WavReader::close() {
    file_.close();
    walk_ = WavHeaderWalk{};
    span_ = WavDataSpan{};
    data_pos_ = 0;
}

size_t WavReader::read(void* dst, size_t bytes) {
    if (!file_.is_open() || data_pos_ >= span_.data_bytes) {
        return 0;
    }
    uint64_t left = span_.data_bytes - data_pos_;
    size_t want = static_cast<size_t>(std::min<uint64_t>(bytes, left));
    size_t got = file_.read(dst, want);
    data_pos_ += got;
    return got;
}

bool WavReader::seek_data(uint64_t offset) {
    if (!file_.is_open()) {
        return false;
    }
    offset = std::min(offset, span_.data_bytes);
    if (!file_.seek(span_.data_offset + offset)) {
        return false;
    }
    data_pos_ = offset;
    return true;
}

}  // namespace zv
