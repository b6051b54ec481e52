#include "export/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

// Copies src into an open descriptor; false on any read or write error.
bool copy_into(int in, int out) {
    std::vector<char> piece(COPY_PIECE_BYTES);
    for (;;) {
        ssize_t r = ::read(in, piece.data(), piece.size());
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            return true;
        if (!write_all(out, piece.data(), static_cast<size_t>(r)))
            return false;
    }
}

}  // namespace

bool copy_file(const std::string& source, const std::string& destination) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    if (::stat(destination.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
        ::chmod(destination.c_str(), st.st_mode | S_IWUSR);
    }
    int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = copy_into(in, out);
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    if (!ok)
        ::unlink(destination.c_str());
    return ok;
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

bool place_file(const std::string& finished, const std::string& target, std::string& error) {
    int in = ::open(finished.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "cannot read the finished file " + finished + ": " + std::strerror(errno);
        return false;
    }
    std::string base =
        target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    std::string temp = folder_of(target) + "/." + base + ".part-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int out = ::mkostemp(name.data(), O_CLOEXEC);
    if (out < 0) {
        error = "cannot write in the folder of " + target + ": " + std::strerror(errno);
        ::close(in);
        return false;
    }
    // mkostemp makes the file 0600; give it the mode a newly created file would get.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(out, 0666 & ~mask);
    bool ok = copy_into(in, out);
    int saved = errno;
    ::close(in);
    if (ok && ::fsync(out) != 0) {
        ok = false;
        saved = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(name.data(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        error = "cannot write " + target + ": " + std::strerror(saved);
    }
    return ok;
}

void remove_file(const std::string& path) {
    if (!path.empty())
        ::unlink(path.c_str());
}

}  // namespace zv
