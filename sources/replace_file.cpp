#include "sources/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "sources/open_file.h"

namespace zv {
namespace {

constexpr int MAX_LINKS = 40;  // as the kernel's own limit for a path walk
constexpr size_t RANDOM_CHARS = 6;

std::string folder_part(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string random_chars() {
    static constexpr char ALPHABET[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char raw[RANDOM_CHARS] = {};
    if (getrandom(raw, sizeof raw, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof raw)) {
        // No entropy yet (early boot): the exclusive create below still refuses a clash.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + ++counter;
        for (size_t i = 0; i < sizeof raw; ++i) {
            raw[i] = static_cast<unsigned char>(seed >> (4 * i));
        }
    }
    std::string out;
    for (unsigned char c : raw) {
        out += ALPHABET[c % (sizeof ALPHABET - 1)];
    }
    return out;
}

// Whether a file created in the folder takes nothing from it beyond the umask: no group of
// the folder's (set-group-id), no default ACL, no security label. A file made elsewhere and
// renamed in then ends up as one created here.
bool folder_gives_nothing_of_its_own(const std::string& folder) {
    struct stat st {};
    // A file created here takes the folder's group on a set-group-id folder and on file
    // systems mounted to give it (grpid): our own group rules both out.
    if (::stat(folder.c_str(), &st) != 0 || (st.st_mode & S_ISGID) != 0 ||
        st.st_gid != ::getegid()) {
        return false;
    }
    // Anything but a user's own attributes may be inherited (default ACLs, security labels,
    // a file system's compression or copy-on-write choices).
    char names[4096];
    const ssize_t n = ::listxattr(folder.c_str(), names, sizeof names);
    if (n < 0) {
        return errno == ENOTSUP;
    }
    for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        if (std::string_view(names + at).rfind("user.", 0) != 0) {
            return false;
        }
    }
    return true;
}

// Whether an open file carries attributes of its own (an ACL, a security label from where it
// was made, anything but a user's own).
bool has_own_xattrs(int fd) {
    char names[4096];
    const ssize_t n = ::flistxattr(fd, names, sizeof names);
    if (n < 0) {
        return errno != ENOTSUP;
    }
    for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        if (std::string_view(names + at).rfind("user.", 0) != 0) {
            return true;
        }
    }
    return false;
}

// The mode a plain create with 0666 gives: 0666 less the process's umask, read without
// changing it.
bool plain_create_mode(mode_t& mode) {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) {
        return false;
    }
    char line[256];
    bool found = false;
    unsigned mask = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "Umask: %o", &mask) == 1) {
            found = true;
            break;
        }
    }
    std::fclose(status);
    mode = static_cast<mode_t>(0666 & ~mask);
    return found;
}

}  // namespace

std::string follow_links(const std::string& path) {
    std::string p = path;
    for (int hop = 0; hop < MAX_LINKS; ++hop) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return p;  // not there (it will be created) or not a link
        }
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
        if (n < 0) {
            return {};
        }
        link.resize(static_cast<size_t>(n));
        p = !link.empty() && link[0] == '/' ? link : folder_part(p) + "/" + link;
    }
    errno = ELOOP;
    return {};
}

FileReplacer::~FileReplacer() {
    abandon();
}

bool FileReplacer::fail(const std::string& what, int error_number) {
    error_ = "cannot write " + target_ + ": " + what;
    if (error_number != 0) {
        error_ += std::strerror(error_number);
    }
    abandon();
    return false;
}

bool FileReplacer::check_target(const std::string& target) {
    abandon();
    target_ = target;
    error_.clear();
    if (target.empty()) {
        error_ = "no file name given";
        return false;
    }
    destination_ = follow_links(target);
    if (destination_.empty()) {
        return fail("", errno);
    }
    struct stat st {};
    replacing_ = false;
    if (::stat(destination_.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            FileKind kind = file_kind(destination_);
            return fail(std::string("it is ") + file_kind_text(kind) + ", not a regular file", 0);
        }
        replacing_ = true;
        mode_ = st.st_mode & 0777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
    } else if (errno != ENOENT) {
        return fail("", errno);
    }
    return true;
}

std::string FileReplacer::part_stem() const {
    return folder_part(destination_) + "/" + PART_FILE_PREFIX +
           std::to_string(static_cast<long>(getpid())) + "-";
}

bool FileReplacer::begin(const std::string& target) {
    if (!check_target(target)) {
        return false;
    }
    const std::string stem = part_stem();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = stem + random_chars();
        // A new file gets the mode the umask gives a plain create (and a folder's default
        // ACL); a replaced one its old mode at commit.
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     replacing_ ? 0600 : 0666);
        if (fd_ >= 0) {
            if (!replacing_) {
                mode_ = 0;
            }
            return true;
        }
        if (errno != EEXIST) {
            const int err = errno;
            temp_.clear();
            return fail("", err);
        }
    }
    temp_.clear();
    return fail("", EEXIST);
}

bool FileReplacer::adopt(const std::string& target, const std::string& finished) {
    if (!check_target(target)) {
        return false;
    }
    const std::string folder = folder_part(destination_);
    mode_t new_mode = 0;
    if (!folder_gives_nothing_of_its_own(folder) || (!replacing_ && !plain_create_mode(new_mode))) {
        return false;
    }
    const int fd = ::open(finished.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat file {};
    struct stat dir {};
    // Our own file, with no other name, and on the folder's file system: a rename moves it.
    if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || file.st_nlink != 1 ||
        file.st_uid != ::geteuid() || file.st_gid != ::getegid() || has_own_xattrs(fd) ||
        ::stat(folder.c_str(), &dir) != 0 || dir.st_dev != file.st_dev) {
        ::close(fd);
        return false;
    }
    // A file to replace shows nobody its new bytes before it takes the old file's mode, as a
    // copy made for it would not.
    if (replacing_ && ::fchmod(fd, 0600) != 0) {
        ::close(fd);
        return false;
    }
    const std::string stem = part_stem();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = stem + random_chars();
        if (::renameat2(AT_FDCWD, finished.c_str(), AT_FDCWD, temp_.c_str(), RENAME_NOREPLACE) ==
            0) {
            break;
        }
        const int err = errno;
        temp_.clear();
        if (err != EEXIST) {
            ::close(fd);
            return false;  // a file system without the exclusive rename: copied instead
        }
    }
    if (temp_.empty()) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    // As a file created here would be: 0666 less the umask when new, its old mode at commit
    // when replacing.
    if (!replacing_) {
        mode_ = 0;
        if (::fchmod(fd_, new_mode) != 0) {
            return fail("", errno);
        }
    }
    return true;
}

bool FileReplacer::write(const void* data, size_t size) {
    if (fd_ < 0) {
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail("", n < 0 ? errno : ENOSPC);
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FileReplacer::commit() {
    if (fd_ < 0) {
        return false;
    }
    if (::fsync(fd_) != 0) {
        return fail("", errno);
    }
    if (mode_ != 0) {
        // The owner stays where we may keep it (only the superuser may give a file away); the
        // mode is set after, since a change of owner clears the set-id bits.
        if (::fchown(fd_, owner_, group_) != 0 &&
            ::fchown(fd_, static_cast<uid_t>(-1), group_) != 0) {
            // Neither is allowed: the file keeps our owner and group, as any file we create.
        }
        if (::fchmod(fd_, mode_) != 0) {
            return fail("", errno);
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        return fail("", errno);
    }
    if (::rename(temp_.c_str(), destination_.c_str()) != 0) {
        return fail("", errno);
    }
    temp_.clear();
    // The rename itself reaches the disk only with its folder.
    const int dir_fd =
        ::open(folder_part(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}

void FileReplacer::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool may_move_into_place(const std::string& finished, const std::string& target) {
    const std::string destination = follow_links(target);
    if (destination.empty()) {
        return false;
    }
    const std::string folder = folder_part(destination);
    struct stat a {};
    struct stat b {};
    return ::stat(folder_part(finished).c_str(), &a) == 0 && ::stat(folder.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && folder_gives_nothing_of_its_own(folder);
}

bool write_file_replacing(const std::string& target, std::span<const uint8_t> bytes,
                          std::string& error) {
    FileReplacer file;
    const bool ok = file.begin(target) && file.write(bytes.data(), bytes.size()) && file.commit();
    if (!ok) {
        error = file.error();
    }
    return ok;
}

bool parse_part_file_name(const std::string& name, pid_t& pid) {
    const std::string prefix = PART_FILE_PREFIX;
    if (name.size() < prefix.size() + 2 + RANDOM_CHARS ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const std::string middle = name.substr(prefix.size());
    const size_t dash = middle.size() - RANDOM_CHARS - 1;
    if (middle[dash] != '-' || dash == 0 || dash > 9) {
        return false;
    }
    long value = 0;
    for (size_t i = 0; i < dash; ++i) {
        if (middle[i] < '0' || middle[i] > '9') {
            return false;
        }
        value = value * 10 + (middle[i] - '0');
    }
    pid = static_cast<pid_t>(value);
    return value > 0;
}

int remove_stale_part_files(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return 0;
    }
    int removed = 0;
    while (const dirent* item = ::readdir(dir.get())) {
        pid_t pid = 0;
        if (!parse_part_file_name(item->d_name, pid) || pid == getpid()) {
            continue;
        }
        // A process that still runs (or runs as someone else: EPERM) may still write it.
        if (::kill(pid, 0) == 0 || errno != ESRCH) {
            continue;
        }
        const std::string path = folder + "/" + item->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace zv
