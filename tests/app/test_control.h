// The program's control channel for its own end-to-end test (hidden option --test-control
// FILE): a FIFO whose lines the test writes, each one an action as a user would take it,
// delivered through the window's real paths. Never used in normal runs.
//
//   drop PATH[<TAB>PATH...]   files and folders dragged onto the window and dropped
//   key KEY                   a key pressed in the playlist view ("Space", "Down",
//                             "Shift+Up", "Delete", ...)
//   menu ID                   the menu item of command ID chosen
//   panel X Y                 a left click on the panel at client coordinates
//   answer ANSWER             the answer to the next dialog or question (see
//                             test_dialog_host.h); queue them before the line that asks
//   quit                      the window closed
//
// After each line the program says "control done: LINE" (or "control failed: LINE") on its
// test events.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <string>

#include "tests/app/test_dialog_host.h"

namespace zv {

class MainWindow;

class TestControl final : public QObject {
    Q_OBJECT
public:
    using Say = std::function<void(const std::string&)>;
    TestControl(const QString& path, MainWindow& window, Say say, QObject* parent = nullptr);
    ~TestControl() override;
    bool ok() const { return fd_ >= 0; }

    // Runs one line; false when it is not understood.
    bool run(const std::string& line);

private:
    void read_ready();

    MainWindow& window_;
    Say say_;
    TestDialogHost host_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::string pending_;
};

}  // namespace zv
