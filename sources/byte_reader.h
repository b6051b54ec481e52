// A small reader interface over bytes, so the header walks and probes run the same on a file
// (playback, export, playlist) and on a memory buffer (tests, fuzzers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/open_file.h"

namespace zv {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to n bytes; fewer at the end of the input or when a read fails. error() tells
    // the two apart: a short read with error() still 0 is the end of the input.
    virtual size_t read(void* dst, size_t n) = 0;
    // Moves to an absolute position. A position past the end is allowed: reads there return 0.
    virtual bool seek(uint64_t pos) = 0;
    virtual uint64_t tell() const = 0;
    // Size of the whole input in bytes, measured when it was opened.
    virtual uint64_t size() const = 0;
    // The errno of the first read or seek that failed (EIO for a damaged disk); 0 while none
    // has. Readers stop at the first failure: what follows it is not trusted.
    virtual int error() const { return 0; }
};

// "read error: Input/output error" for a reader that failed, else an empty text.
std::string read_error_text(const ByteReader& in);

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

    // Opens a regular file for reading (open_regular_file: never blocks); false when it cannot
    // be opened or is not a regular file (a folder, a FIFO, a device), with open_failure() and
    // errno telling why.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return fd_ >= 0; }
    const OpenFailure& open_failure() const { return open_failure_; }
    // "cannot open: No such file or directory", "cannot open: a FIFO, not a regular file".
    std::string open_error_text() const;

    size_t read(void* dst, size_t n) override;
    bool seek(uint64_t pos) override;
    uint64_t tell() const override { return pos_; }
    uint64_t size() const override { return size_; }
    int error() const override { return error_; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
    int error_ = 0;
    OpenFailure open_failure_;
};

}  // namespace zv
