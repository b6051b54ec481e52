#include "tests/app/test_control.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QMouseEvent>
#include <sstream>

#include "ui/main_window.h"

namespace zv {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

bool drop(MainWindow& window, const std::string& paths) {
    QList<QUrl> urls;
    for (const std::string& p : split(paths, '\t')) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    }
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = window.playlist_view()->mapTo(&window, QPoint(20, 20));
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    return dropped.isAccepted();
}

bool key(MainWindow& window, const std::string& name) {
    const QKeySequence keys(QString::fromStdString(name));
    if (keys.isEmpty()) {
        return false;
    }
    const QKeyCombination combination = keys[0];
    QWidget* target = window.playlist_view();
    QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
    QApplication::sendEvent(target, &release);
    return true;
}

bool panel_click(MainWindow& window, int x, int y) {
    QWidget* panel = window.panel();
    const QPointF at(x, y - PANEL_TOP);
    const QPointF global = panel->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(panel, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(panel, &release);
    return true;
}

}  // namespace

TestControl::TestControl(const QString& path, MainWindow& window, Say say, QObject* parent)
    : QObject(parent), window_(window), say_(say), host_(say) {
    window.set_dialog_host(&host_);
    // Read and write: a FIFO opened so never reports its end while the test has no writer.
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TestControl::read_ready);
}

TestControl::~TestControl() {
    window_.set_dialog_host(nullptr);
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TestControl::read_ready() {
    char chunk[4096];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n <= 0) {
        return;
    }
    pending_.append(chunk, static_cast<size_t>(n));
    size_t end = 0;
    while ((end = pending_.find('\n')) != std::string::npos) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        // A line may open a modal dialog; the next lines wait until it has ended.
        notifier_->setEnabled(false);
        const bool done = run(line);
        notifier_->setEnabled(true);
        say_(std::string(done ? "control done: " : "control failed: ") + line);
    }
}

bool TestControl::run(const std::string& line) {
    const size_t space = line.find(' ');
    const std::string verb = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (verb == "drop") {
        return drop(window_, rest);
    }
    if (verb == "key") {
        return key(window_, rest);
    }
    if (verb == "menu") {
        QAction* a = window_.menu_action(std::atoi(rest.c_str()));
        if (a == nullptr || !a->isEnabled()) {
            return false;
        }
        a->trigger();
        return true;
    }
    if (verb == "panel") {
        const std::vector<std::string> xy = split(rest, ' ');
        return xy.size() == 2 &&
               panel_click(window_, std::atoi(xy[0].c_str()), std::atoi(xy[1].c_str()));
    }
    if (verb == "answer") {
        host_.queue(rest);
        return true;
    }
    if (verb == "quit") {
        window_.close();
        return true;
    }
    return false;
}

}  // namespace zv
