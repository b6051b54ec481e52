// FIFOs and other special files for the tests that every reader and writer refuses them, and
// a guard that turns a reader blocked on a FIFO into a test failure instead of a hung suite.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace zv::test {

// Makes a FIFO (mkfifo 0600); false when it cannot.
bool make_fifo(const std::string& path);

// Runs work on its own thread and waits up to `limit`. When work does not return in time it
// is blocked on the FIFO: the FIFO is opened for writing and closed again, which releases a
// reader blocked in open() or read(), and false is returned. True when work returned in time.
bool returns_promptly(const std::function<void()>& work, const std::string& fifo,
                      std::chrono::milliseconds limit = std::chrono::seconds(5));

// A Unix socket file at path (a special file that is neither a FIFO nor a device); it stays
// in the folder after its socket is closed. False when it cannot be made.
bool make_socket_file(const std::string& path);

// What a path names, without following a final link; not_found when nothing.
std::filesystem::file_type file_kind_of(const std::string& path);

}  // namespace zv::test
