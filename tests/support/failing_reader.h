// A ByteReader over bytes in memory that fails like a disk with one bad sector: the read that
// covers the byte at fail_at returns what lies before it and sets EIO, and every read after
// that returns nothing. Reads elsewhere before the failure (a tag at the end) succeed.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sources/byte_reader.h"

namespace zv::test {

class FailingByteReader final : public ByteReader {
public:
    FailingByteReader(std::vector<uint8_t> bytes, uint64_t fail_at)
        : bytes_(std::move(bytes)), fail_at_(fail_at) {}

    size_t read(void* dst, size_t n) override {
        if (error_ != 0 || pos_ >= bytes_.size()) {
            return 0;
        }
        uint64_t end = std::min<uint64_t>(pos_ + n, bytes_.size());
        if (pos_ <= fail_at_ && end > fail_at_) {
            end = fail_at_;
            error_ = EIO;
        }
        const auto count = static_cast<size_t>(end - pos_);
        std::memcpy(dst, bytes_.data() + pos_, count);
        pos_ = end;
        return count;
    }
    bool seek(uint64_t pos) override {
        if (error_ != 0) {
            return false;
        }
        pos_ = pos;
        return true;
    }
    uint64_t tell() const override { return pos_; }
    uint64_t size() const override { return bytes_.size(); }
    int error() const override { return error_; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t fail_at_;
    uint64_t pos_ = 0;
    int error_ = 0;
};

}  // namespace zv::test
