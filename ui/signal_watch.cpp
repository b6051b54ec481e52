#include "ui/signal_watch.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>

namespace zv {
namespace {

// The handler's only way out; set before the handlers are installed.
int g_signal_fd = -1;
std::atomic<int> g_last_signal{0};

extern "C" void on_terminate_signal(int signal_number) {
    g_last_signal.store(signal_number, std::memory_order_relaxed);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signal_fd, &one, sizeof one);
}

}  // namespace

SignalWatch::SignalWatch(QObject* parent) : QObject(parent) {
    g_signal_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (g_signal_fd < 0) {
        return;
    }
    notifier_ = new QSocketNotifier(g_signal_fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(g_signal_fd, &count, sizeof count);
        emit terminate_requested(g_last_signal.load(std::memory_order_relaxed));
    });
    struct sigaction sa {};
    sa.sa_handler = on_terminate_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

SignalWatch::~SignalWatch() {
    if (g_signal_fd >= 0) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        delete notifier_;
        notifier_ = nullptr;
        ::close(g_signal_fd);
        g_signal_fd = -1;
    }
}

}  // namespace zv
