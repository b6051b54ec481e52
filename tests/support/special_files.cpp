#include "tests/support/special_files.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <thread>

namespace zv::test {

bool make_fifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

bool returns_promptly(const std::function<void()>& work, const std::string& fifo,
                      std::chrono::milliseconds limit) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const bool in_time = done.wait_for(limit) == std::future_status::ready;
    if (!in_time) {
        // Release the blocked reader: a writer appears and goes away, so its open returns and
        // its reads see the end of the file.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    runner.join();
    return in_time;
}

bool make_socket_file(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);  // the socket file stays in the folder
    return ok;
}

std::filesystem::file_type file_kind_of(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type();
}

}  // namespace zv::test
