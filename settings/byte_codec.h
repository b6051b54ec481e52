// Little-endian field writer and reader over byte buffers. Every value is assembled byte by
// byte, so unaligned offsets and the host's byte order never matter.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zv {

class ByteWriter {
public:
    explicit ByteWriter(std::span<uint8_t> out) : out_(out) {}

    void u16(uint16_t v) { uint_le(v, 2); }
    void i32(int32_t v) { uint_le(static_cast<uint32_t>(v), 4); }
    void f64(double v) { uint_le(std::bit_cast<uint64_t>(v), 8); }
    void bytes(const void* data, std::size_t n) {
        std::memcpy(out_.data() + pos_, data, n);
        pos_ += n;
    }
    void zeros(std::size_t n) {
        std::memset(out_.data() + pos_, 0, n);
        pos_ += n;
    }
    std::size_t position() const { return pos_; }

private:
    void uint_le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            out_[pos_++] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    std::span<uint8_t> out_;
    std::size_t pos_ = 0;
};

// Reads one field at a time. A read that would run past the end fills nothing, and once the
// end has been reached every later read fails too, as with a file stream.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> in) : in_(in) {}

    bool bytes(void* out, std::size_t n) {
        if (n > in_.size() - pos_) {
            pos_ = in_.size();
            return false;
        }
        std::memcpy(out, in_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    bool skip(std::size_t n) {
        if (n > in_.size() - pos_) {
            pos_ = in_.size();
            return false;
        }
        pos_ += n;
        return true;
    }
    bool u16(uint16_t& v) {
        uint64_t raw;
        if (!uint_le(raw, 2)) {
            return false;
        }
        v = static_cast<uint16_t>(raw);
        return true;
    }
    bool i32(int32_t& v) {
        uint64_t raw;
        if (!uint_le(raw, 4)) {
            return false;
        }
        v = static_cast<int32_t>(static_cast<uint32_t>(raw));
        return true;
    }
    bool f64(double& v) {
        uint64_t raw;
        if (!uint_le(raw, 8)) {
            return false;
        }
        v = std::bit_cast<double>(raw);
        return true;
    }
    std::size_t position() const { return pos_; }

private:
    bool uint_le(uint64_t& v, int n) {
        uint8_t b[8];
        if (!bytes(b, static_cast<std::size_t>(n))) {
            return false;
        }
        v = 0;
        for (int i = 0; i < n; ++i) {
            v |= static_cast<uint64_t>(b[i]) << (8 * i);
        }
        return true;
    }
    std::span<const uint8_t> in_;
    std::size_t pos_ = 0;
};

}  // namespace zv
