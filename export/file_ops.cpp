#include "export/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace zv {
namespace {

bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t w = ::write(fd, data, size);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += w;
        size -= static_cast<size_t>(w);
    }
    return true;
}

// Copies an open descriptor into another; false on any read or write error, with why set.
bool copy_into(int in, int out, CopyError& why) {
    std::vector<char> piece(COPY_PIECE_BYTES);
    for (;;) {
        ssize_t r = ::read(in, piece.data(), piece.size());
        if (r < 0) {
            if (errno == EINTR)
                continue;
            why = {true, errno};
            return false;
        }
        if (r == 0)
            return true;
        if (!write_all(out, piece.data(), static_cast<size_t>(r))) {
            why = {false, errno};
            return false;
        }
    }
}

// Opens a regular file for reading without blocking on a FIFO; -1 with errno set otherwise.
int open_regular(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The process's file mode mask, read without changing it: umask() would change it for a
// moment for every thread, and parallel export jobs create files meanwhile.
mode_t current_umask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
    return 022;
}

// A new hidden part file in folder: ".zvpart-PID-XXXXXX", opened for writing.
int make_part_file(const std::string& folder, std::string& name) {
    std::string pattern = (folder == "/" ? "" : folder) + "/" + PART_FILE_PREFIX +
                          std::to_string(static_cast<long>(::getpid())) + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd >= 0)
        name = buf.data();
    return fd;
}

std::string describe(const std::string& what, int err) {
    return what + ": " + std::strerror(err);
}

}  // namespace

bool copy_file(const std::string& source, const std::string& destination, CopyError* why) {
    CopyError local;
    CopyError& w = why != nullptr ? *why : local;
    int in = open_regular(source);
    if (in < 0) {
        w = {true, errno};
        return false;
    }
    struct stat st {};
    if (::stat(destination.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
        ::chmod(destination.c_str(), st.st_mode | S_IWUSR);
    }
    int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        w = {false, errno};
        ::close(in);
        return false;
    }
    bool ok = copy_into(in, out, w);
    ::close(in);
    if (::close(out) != 0 && ok) {
        w = {false, errno};
        ok = false;
    }
    if (!ok)
        ::unlink(destination.c_str());
    return ok;
}

bool is_disk_full(int err) {
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

std::string strip_extension(std::string_view path) {
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos)
        return std::string(path);
    return std::string(path.substr(0, dot));
}

bool has_extension_ci(std::string_view path, std::string_view ext) {
    if (path.size() <= 4 || path.size() < ext.size())
        return false;
    std::string_view tail = path.substr(path.size() - ext.size());
    for (size_t i = 0; i < ext.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) !=
            std::tolower(static_cast<unsigned char>(ext[i])))
            return false;
    }
    return true;
}

std::string mp3_path_for(std::string_view wav_path) {
    std::string_view base = wav_path;
    if (has_extension_ci(wav_path, ".wav") || has_extension_ci(wav_path, ".mp3")) {
        base = wav_path.substr(0, wav_path.size() - 4);
    }
    return std::string(base) + ".mp3";
}

std::string folder_of(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string resolve_write_target(const std::string& target) {
    std::string path = target;
    // The kernel's own limit on links in a chain; a loop ends here and fails later.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<size_t>(n) >= buf.size())
            return path;
        std::string link(buf.data(), static_cast<size_t>(n));
        path = link[0] == '/' ? link : folder_of(path) + "/" + link;
    }
    return path;
}

bool check_write_target(const std::string& target, std::string& error) {
    const std::string real = resolve_write_target(target);
    struct stat st {};
    if (::stat(real.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = target + " is a folder";
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            error = target + " exists and is not a regular file (a FIFO, a device or a socket)";
            return false;
        }
    }
    const std::string folder = folder_of(real);
    if (::stat(folder.c_str(), &st) != 0) {
        error = describe("cannot write in the folder " + folder, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    // Only a real file tells: permissions, a read-only mount, an ACL or a full inode table.
    std::string probe;
    int fd = make_part_file(folder, probe);
    if (fd < 0) {
        error = describe("cannot write in the folder " + folder, errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool place_file(const std::string& finished, const std::string& target, std::string& error) {
    const std::string real = resolve_write_target(target);
    struct stat old {};
    const bool replacing = ::stat(real.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        error = target + " exists and is not a regular file (a FIFO, a device or a socket)";
        return false;
    }
    int in = open_regular(finished);
    if (in < 0) {
        error = describe("cannot read the finished file", errno);
        return false;
    }
    const std::string folder = folder_of(real);
    std::string part;
    int out = make_part_file(folder, part);
    if (out < 0) {
        error = describe("cannot write in the folder " + folder, errno);
        ::close(in);
        return false;
    }
    // mkostemp makes the file 0600: a replaced file keeps its mode (and, where we may, its
    // owner), a new one gets the mode a plain create would give.
    if (replacing) {
        ::fchmod(out, old.st_mode & 0777);
        if (::fchown(out, old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; the file stays ours.
        }
    } else {
        ::fchmod(out, 0666 & ~current_umask());
    }
    CopyError why;
    bool ok = copy_into(in, out, why);
    int saved = why.err;
    ::close(in);
    if (ok && ::fsync(out) != 0) {
        ok = false;
        saved = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(part.c_str(), real.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(part.c_str());
        error = is_disk_full(saved) && !why.reading
                    ? "cannot write " + target + ": the disk is full (" + std::strerror(saved) + ")"
                    : describe("cannot write " + target, saved);
        return false;
    }
    // The rename reaches the disk only with its folder.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool process_is_gone(long pid) {
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int remove_stale_part_files(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return 0;
    const size_t prefix = std::strlen(PART_FILE_PREFIX);
    int removed = 0;
    while (const dirent* e = ::readdir(dir.get())) {
        if (std::strncmp(e->d_name, PART_FILE_PREFIX, prefix) != 0)
            continue;
        char* end = nullptr;
        long pid = std::strtol(e->d_name + prefix, &end, 10);
        if (end == e->d_name + prefix || *end != '-' || pid == ::getpid())
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (process_is_gone(pid) && ::unlinkat(::dirfd(dir.get()), e->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}

void remove_file(const std::string& path) {
    if (!path.empty())
        ::unlink(path.c_str());
}

}  // namespace zv
