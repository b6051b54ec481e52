#include "cli/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

namespace zv::cli {
namespace {

// What the handler may touch: set before the handlers are installed.
int g_signal_fd = -1;
std::atomic<int> g_signal_count{0};
struct sigaction g_previous_int {
}, g_previous_term{};

extern "C" void on_stop_signal(int) {
    g_signal_count.fetch_add(1, std::memory_order_relaxed);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signal_fd, &one, sizeof one);
}

}  // namespace

StopSignals::StopSignals() {
    g_signal_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    g_signal_count.store(0);
    struct sigaction sa {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    // Worker threads keep reading and writing through a signal.
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &g_previous_int);
    ::sigaction(SIGTERM, &sa, &g_previous_term);
    // A parent may have started us with them blocked; threads made from now on inherit this.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
}

StopSignals::~StopSignals() {
    if (watcher_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(quit_fd_, &one, sizeof one);
        watcher_.join();
        ::close(quit_fd_);
    }
    ::sigaction(SIGINT, &g_previous_int, nullptr);
    ::sigaction(SIGTERM, &g_previous_term, nullptr);
    if (g_signal_fd >= 0) {
        ::close(g_signal_fd);
        g_signal_fd = -1;
    }
}

int StopSignals::fd() const {
    return g_signal_fd;
}

int StopSignals::take() {
    uint64_t n = 0;
    if (g_signal_fd < 0 || ::read(g_signal_fd, &n, sizeof n) != sizeof n) {
        return 0;
    }
    return static_cast<int>(n);
}

int StopSignals::count() const {
    return g_signal_count.load(std::memory_order_relaxed);
}

void StopSignals::watch(std::function<void(int)> on_signal) {
    quit_fd_ = ::eventfd(0, EFD_CLOEXEC);
    watcher_ = std::thread([this, on_signal = std::move(on_signal)] {
        for (;;) {
            pollfd fds[2] = {{g_signal_fd, POLLIN, 0}, {quit_fd_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                continue;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if (fds[0].revents != 0 && take() > 0) {
                on_signal(count());
            }
        }
    });
}

}  // namespace zv::cli
