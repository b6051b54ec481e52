#include "sources/open_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zv {
namespace {

FileKind kind_of(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Folder;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::Fifo;
    }
    if (S_ISCHR(mode)) {
        return FileKind::CharDevice;
    }
    if (S_ISBLK(mode)) {
        return FileKind::BlockDevice;
    }
    if (S_ISSOCK(mode)) {
        return FileKind::Socket;
    }
    return FileKind::Other;
}

}  // namespace

const char* file_kind_text(FileKind kind) {
    switch (kind) {
        case FileKind::Missing:
            return "missing";
        case FileKind::Regular:
            return "a regular file";
        case FileKind::Folder:
            return "a folder";
        case FileKind::Fifo:
            return "a FIFO";
        case FileKind::CharDevice:
            return "a character device";
        case FileKind::BlockDevice:
            return "a block device";
        case FileKind::Socket:
            return "a socket";
        case FileKind::Other:
            break;
    }
    return "a special file";
}

std::string OpenFailure::text() const {
    if (error_number != 0) {
        return std::strerror(error_number);
    }
    return std::string(file_kind_text(kind)) + ", not a regular file";
}

FileKind file_kind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return FileKind::Missing;
    }
    return kind_of(st.st_mode);
}

int open_regular_file(const std::string& path, OpenFailure& why, uint64_t* size) {
    why = OpenFailure{};
    // O_NONBLOCK makes the open of a FIFO without a writer return at once; the kind is then
    // checked on the descriptor itself, so nothing can be swapped in between.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        why.error_number = errno;
        why.kind = errno == ENOENT ? FileKind::Missing : FileKind::Other;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why.error_number = errno;
        ::close(fd);
        errno = why.error_number;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        why.kind = kind_of(st.st_mode);
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        why.error_number = errno;
        ::close(fd);
        errno = why.error_number;
        return -1;
    }
    if (size != nullptr) {
        *size = static_cast<uint64_t>(st.st_size);
    }
    return fd;
}

ReadOutcome read_fully(int fd, void* dst, size_t n) {
    ReadOutcome r;
    auto* p = static_cast<uint8_t*>(dst);
    while (r.bytes < n) {
        const ssize_t got = ::read(fd, p + r.bytes, n - r.bytes);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            r.error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        r.bytes += static_cast<size_t>(got);
    }
    return r;
}

}  // namespace zv
