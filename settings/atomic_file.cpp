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
    // A symbolic link keeps pointing at the file it names; the file behind it is replaced.
    std::filesystem::path real = target;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        real = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            error = describe("cannot resolve", target, ec.value());
            return false;
        }
    }
    // Same folder as the target, so the rename never crosses a file system.
    std::filesystem::path temp = real;
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
    if (::rename(temp.c_str(), real.c_str()) != 0) {
        error = describe("cannot replace", real, errno);
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk only with its folder.
    const std::filesystem::path folder = real.has_parent_path() ? real.parent_path() : ".";
    const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}

}  // namespace zv
