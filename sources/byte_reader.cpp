#include "sources/byte_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zv {

size_t MemoryByteReader::read(void* dst, size_t n) {
    if (pos_ >= size_) {
        return 0;
    }
    size_t avail = static_cast<size_t>(size_ - pos_);
    size_t count = n < avail ? n : avail;
    if (count > 0) {
        std::memcpy(dst, data_ + pos_, count);
    }
    pos_ += count;
    return count;
}

bool MemoryByteReader::seek(uint64_t pos) {
    pos_ = pos;
    return true;
}

std::string read_error_text(const ByteReader& in) {
    if (in.error() == 0) {
        return {};
    }
    return std::string("read error: ") + std::strerror(in.error());
}

FileByteReader::~FileByteReader() {
    close();
}

FileByteReader::FileByteReader(FileByteReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)),
      pos_(std::exchange(other.pos_, 0)),
      error_(std::exchange(other.error_, 0)),
      open_failure_(std::exchange(other.open_failure_, OpenFailure{})) {}

FileByteReader& FileByteReader::operator=(FileByteReader&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
        pos_ = std::exchange(other.pos_, 0);
        error_ = std::exchange(other.error_, 0);
        open_failure_ = std::exchange(other.open_failure_, OpenFailure{});
    }
    return *this;
}

bool FileByteReader::open(const std::string& path) {
    close();
    fd_ = open_regular_file(path, open_failure_, &size_);
    return fd_ >= 0;
}

std::string FileByteReader::open_error_text() const {
    return "cannot open: " + open_failure_.text();
}

void FileByteReader::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = 0;
    pos_ = 0;
    error_ = 0;
}

size_t FileByteReader::read(void* dst, size_t n) {
    if (fd_ < 0 || n == 0 || error_ != 0) {
        return 0;
    }
    ReadOutcome r = read_fully(fd_, dst, n);
    pos_ += r.bytes;
    error_ = r.error;
    return r.bytes;
}

bool FileByteReader::seek(uint64_t pos) {
    if (fd_ < 0 || error_ != 0 || pos > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    if (::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0) {
        error_ = errno;
        return false;
    }
    pos_ = pos;
    return true;
}

}  // namespace zv
