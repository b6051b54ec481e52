// Ctrl-C (SIGINT) and SIGTERM, the same way in every command: the handler only counts the
// signal and wakes an eventfd. A command with a poll loop watches fd(); others let watch()
// call them back on a small thread. The first signal asks for a stop; what a second one does
// is the command's choice.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace zv::cli {

class StopSignals {
public:
    // Installs the handlers and unblocks both signals in the calling thread (and so in the
    // threads it starts later). Make it before the command starts its threads.
    StopSignals();
    ~StopSignals();  // ends the watcher and restores the previous handlers
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable while a signal has not been taken with take(); -1 when it could not be made.
    int fd() const;
    // The number of signals that arrived since the last take() (0 when none), reset to 0.
    int take();
    // All signals so far.
    int count() const;
    // Calls on_signal(count()) on a watcher thread after each signal.
    void watch(std::function<void(int)> on_signal);

private:
    std::thread watcher_;
    int quit_fd_ = -1;
};

}  // namespace zv::cli
