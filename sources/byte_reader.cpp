#include "sources/byte_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
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

FileByteReader::~FileByteReader() {
    close();
}

FileByteReader::FileByteReader(FileByteReader&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      pos_(std::exchange(other.pos_, 0)) {}

FileByteReader& FileByteReader::operator=(FileByteReader&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
        size_ = std::exchange(other.size_, 0);
        pos_ = std::exchange(other.pos_, 0);
    }
    return *this;
}

bool FileByteReader::open(const std::string& path) {
    close();
    // Non-blocking only for the open itself: a FIFO named like a song must not hang a folder
    // scan. Close-on-exec: the descriptor must not leak into an external encoder.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (f == nullptr) {
        ::close(fd);
        return false;
    }
    file_ = f;
    size_ = static_cast<uint64_t>(st.st_size);
    pos_ = 0;
    return true;
}

void FileByteReader::close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    size_ = 0;
    pos_ = 0;
}

size_t FileByteReader::read(void* dst, size_t n) {
    if (file_ == nullptr || n == 0) {
        return 0;
    }
    size_t got = std::fread(dst, 1, n, file_);
    pos_ += got;
    return got;
}

bool FileByteReader::seek(uint64_t pos) {
    if (file_ == nullptr || pos > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    if (fseeko(file_, static_cast<off_t>(pos), SEEK_SET) != 0) {
        return false;
    }
    pos_ = pos;
    return true;
}

}  // namespace zv
