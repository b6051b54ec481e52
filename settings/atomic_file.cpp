#include "settings/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zv {
namespace {

std::string describe(const char* what, const std::filesystem::path& path, int err) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(err);
}

}  // namespace

bool write_file_atomically(const std::filesystem::path& target, std::span<const uint8_t> bytes,
                           std::string& error) {
    static std::atomic<unsigned> counter{0};
    // Same folder as the target, so the rename never crosses a file system.
    std::filesystem::path temp = target;
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u", static_cast<long>(getpid()),
                  counter.fetch_add(1));
    temp += suffix;

    // 0666 through the umask, as a plain create would give.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = describe("cannot create", temp, errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = describe("cannot write", temp, n < 0 ? errno : ENOSPC);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error = describe("cannot flush", temp, errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    if (::close(fd) != 0) {
        error = describe("cannot close", temp, errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        error = describe("cannot replace", target, errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace zv
