#include "export/file_ops.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sources/open_file.h"
#include "sources/replace_file.h"

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

// Copies an open descriptor into another; false on any read or write error, or when stop says
// so, with why set.
bool copy_into(int in, int out, CopyError& why, const std::function<bool()>& stop) {
    std::vector<char> piece(COPY_PIECE_BYTES);
    for (;;) {
        if (stop && stop()) {
            why = CopyError{true, 0, true};
            return false;
        }
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

}  // namespace

bool copy_file(const std::string& source, const std::string& destination, CopyError* why,
               const std::function<bool()>& stop) {
    CopyError local;
    CopyError& w = why != nullptr ? *why : local;
    OpenFailure failure;
    int in = open_regular_file(source, failure);  // never blocks on a FIFO or a device
    if (in < 0) {
        w = {true, failure.error_number != 0 ? failure.error_number : EINVAL};
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
    bool ok = copy_into(in, out, w, stop);
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

bool check_write_target(const std::string& target, std::string& error) {
    // The shared writer's own checks, and a real file in the folder: permissions, a read-only
    // mount, an ACL or a full inode table all show now rather than after the work.
    FileReplacer probe;
    if (!probe.begin(target)) {
        error = probe.error();
        return false;
    }
    probe.abandon();
    return true;
}

bool place_file(const std::string& finished, const std::string& target, std::string& error) {
    // The shared writer's rules: a temporary name in the target's folder renamed over it, a
    // target that is not a regular file refused, a link written through, the mode kept.
    FileReplacer out;
    if (out.adopt(target, finished)) {
        // Moved rather than copied: a song's worth of bytes neither read nor written again.
        if (!out.commit()) {
            error = out.error();
            return false;
        }
        return true;
    }
    if (!out.error().empty()) {
        error = out.error();
        return false;
    }
    OpenFailure why;
    int in = open_regular_file(finished, why);
    if (in < 0) {
        error = "cannot read the finished file: " + why.text();
        return false;
    }
    bool ok = out.begin(target);
    CopyError copy;
    if (ok && !copy_into(in, out.fd(), copy, {})) {
        error = copy.reading
                    ? "cannot read the finished file: " + std::string(std::strerror(copy.err))
                    : "cannot write " + target + ": " + std::strerror(copy.err);
        out.abandon();
        ::close(in);
        return false;
    }
    ::close(in);
    ok = ok && out.commit();
    if (!ok)
        error = out.error();
    return ok;
}

bool process_is_gone(long pid) {
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void remove_file(const std::string& path) {
    if (!path.empty())
        ::unlink(path.c_str());
}

}  // namespace zv
