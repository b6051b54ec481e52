#include "sources/wav_source.h"

#include <algorithm>
#include <utility>

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
        case WavWalkStatus::ReadError:
            break;
    }
    return -1;
}

int probe_wav(const std::string& path, int32_t& rate, int32_t& channels, uint32_t& data_bytes) {
    FileByteReader file;  // never blocks: a FIFO or device is refused like a missing file
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
        error = file.open_error_text();
        return false;
    }
    WavHeaderWalk walk = walk_wav_header(file);
    if (walk.status != WavWalkStatus::Ok) {
        error = walk.status == WavWalkStatus::ReadError ? read_error_text(file)
                                                        : wav_walk_status_text(walk.status);
        return false;
    }
    header.resize(static_cast<size_t>(walk.data_offset));
    if (!file.seek(0) || file.read(header.data(), header.size()) != header.size()) {
        header.clear();
        error = file.error() != 0 ? read_error_text(file) : "the file changed while it was read";
        return false;
    }
    return true;
}

bool WavReader::open(const std::string& path) {
    close();
    error_.clear();
    if (!file_.open(path)) {
        error_ = file_.open_error_text();
        return false;
    }
    return start();
}

bool WavReader::open(std::unique_ptr<ByteReader> input) {
    close();
    error_.clear();
    input_ = std::move(input);
    return start();
}

bool WavReader::start() {
    ByteReader& in = source();
    walk_ = walk_wav_header(in);
    if (walk_.status == WavWalkStatus::ReadError) {
        error_ = read_error_text(in);
        close();
        return false;
    }
    if (walk_.status != WavWalkStatus::Ok && walk_.status != WavWalkStatus::NotWave) {
        error_ = wav_walk_status_text(walk_.status);
        close();
        return false;
    }
    span_ = seek_to_wav_data(in);
    if (!span_.found) {
        error_ = in.error() != 0 ? read_error_text(in) : "cannot find the samples";
        close();
        return false;
    }
    data_pos_ = 0;
    return true;
}

ByteReader& WavReader::source() {
    return input_ ? *input_ : static_cast<ByteReader&>(file_);
}

bool WavReader::is_open() const {
    return file_.is_open() || input_ != nullptr;
}

void WavReader::close() {
    file_.close();
    input_.reset();
    walk_ = WavHeaderWalk{};
    span_ = WavDataSpan{};
    data_pos_ = 0;
    failed_ = false;
}

bool WavReader::holds_samples() const {
    if (!is_open()) {
        return false;
    }
    const uint64_t frame = walk_.channels == 1 ? 2 : 4;  // headerless files count as stereo
    const uint64_t in_file =
        std::min(span_.data_bytes, input_size() - std::min(input_size(), span_.data_offset));
    return in_file >= frame;
}

uint64_t WavReader::input_size() const {
    return input_ ? input_->size() : file_.size();
}

size_t WavReader::read(void* dst, size_t bytes) {
    if (!is_open() || failed_ || data_pos_ >= span_.data_bytes) {
        return 0;
    }
    ByteReader& in = source();
    uint64_t left = span_.data_bytes - data_pos_;
    size_t want = static_cast<size_t>(std::min<uint64_t>(bytes, left));
    size_t got = in.read(dst, want);
    data_pos_ += got;
    if (got < want && in.error() != 0) {
        failed_ = true;
        error_ = read_error_text(in);
    }
    return got;
}

bool WavReader::seek_data(uint64_t offset) {
    if (!is_open() || failed_) {
        return false;
    }
    ByteReader& in = source();
    offset = std::min(offset, span_.data_bytes);
    if (!in.seek(span_.data_offset + offset)) {
        if (in.error() != 0) {
            failed_ = true;
            error_ = read_error_text(in);
        }
        return false;
    }
    data_pos_ = offset;
    return true;
}

}  // namespace zv
