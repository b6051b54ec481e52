// SIGTERM and SIGINT end the program through the same path as closing the window: the handler
// only writes to an eventfd, and a QSocketNotifier on it emits terminate_requested on the GUI
// thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace zv {

class SignalWatch final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object per program.
    explicit SignalWatch(QObject* parent = nullptr);
    ~SignalWatch() override;
    bool ok() const { return notifier_ != nullptr; }

signals:
    void terminate_requested(int signal_number);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zv
