// A small reader interface over bytes, so the header walks and probes run the same on a file
// (playback, export, playlist) and on a memory buffer (tests, fuzzers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zv {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to n bytes; fewer at the end of the input or on a read error.
    virtual size_t read(void* dst, size_t n) = 0;
    // Moves to an absolute position. A position past the end is allowed: reads there return 0.
    virtual bool seek(uint64_t pos) = 0;
    virtual uint64_t tell() const = 0;
    // Size of the whole input in bytes, measured when it was opened.
    virtual uint64_t size() const = 0;
};

class MemoryByteReader final : public ByteReader {
public:
    MemoryByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t read(void* dst, size_t n) override;
    bool seek(uint64_t pos) override;
    uint64_t tell() const override { return pos_; }
    uint64_t size() const override { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
    uint64_t pos_ = 0;
};

// Owns an open file; closed when the reader goes away.
class FileByteReader final : public ByteReader {
public:
    FileByteReader() = default;
    ~FileByteReader() override;
    FileByteReader(FileByteReader&& other) noexcept;
    FileByteReader& operator=(FileByteReader&& other) noexcept;
    FileByteReader(const FileByteReader&) = delete;
    FileByteReader& operator=(const FileByteReader&) = delete;

    // Opens a regular file for reading; false (errno set) when it cannot be opened or is not
    // a regular file (a folder, a FIFO, a device).
    bool open(const std::string& path);
    void close();
    bool is_open() const { return file_ != nullptr; }

    size_t read(void* dst, size_t n) override;
    bool seek(uint64_t pos) override;
    uint64_t tell() const override { return pos_; }
    uint64_t size() const override { return size_; }

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
};

}  // namespace zv
