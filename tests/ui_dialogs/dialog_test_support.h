// Shared by the dialog tests: a DialogHost that answers dialogs and message boxes from a
// script and records what was shown, and small helpers for keys and file dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTest>
#include <QWidget>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/dialogs/dialog_host.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace zv::test {

class ScriptedHost : public DialogHost {
public:
    using Step = std::function<int(QDialog&)>;

    // What the next dialogs do, in order; a dialog without a step is cancelled (and fails
    // the test).
    std::deque<Step> steps;
    // Answers to the next message boxes; without one a box is answered Cancel (No).
    std::deque<MessageAnswer> answers;

    std::vector<QString> dialogs;  // class names of the dialogs run, in order
    std::vector<BoxMessage> messages;

    int exec(QDialog& dialog) override {
        dialogs.push_back(QString::fromLatin1(dialog.metaObject()->className()));
        if (steps.empty()) {
            ADD_FAILURE() << "unexpected dialog " << dialogs.back().toStdString();
            return QDialog::Rejected;
        }
        Step step = std::move(steps.front());
        steps.pop_front();
        return step(dialog);
    }

    MessageAnswer show(QWidget*, const BoxMessage& message) override {
        messages.push_back(message);
        if (answers.empty()) {
            return message.buttons == MessageButtons::YesNo ? MessageAnswer::No
                   : message.buttons == MessageButtons::Ok  ? MessageAnswer::Ok
                                                            : MessageAnswer::Cancel;
        }
        MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

// A file dialog step: chooses path (or paths) and presses OK, as a user would.
inline ScriptedHost::Step choose_files(std::vector<std::string> paths,
                                       std::function<void(QFileDialog&)> check = {}) {
    return [paths, check](QDialog& d) {
        auto* fd = qobject_cast<QFileDialog*>(&d);
        if (fd == nullptr) {
            ADD_FAILURE() << "not a file dialog";
            return int(QDialog::Rejected);
        }
        if (check) {
            check(*fd);
        }
        if (paths.size() == 1) {
            fd->selectFile(QString::fromStdString(paths[0]));
        } else {
            QStringList names;
            for (const std::string& p : paths) {
                names << QLatin1Char('"') + QString::fromStdString(p) + QLatin1Char('"');
            }
            fd->selectFile(names.join(QLatin1Char(' ')));
        }
        d.accept();  // QFileDialog's own accept, through the base
        return d.result();
    };
}

inline ScriptedHost::Step cancel_dialog(std::function<void(QDialog&)> check = {}) {
    return [check](QDialog& d) {
        if (check) {
            check(d);
        }
        d.reject();
        return d.result();
    };
}

// Runs a dialog's real modal loop (the threaded dialogs end themselves).
inline ScriptedHost::Step run_modal() {
    return [](QDialog& d) { return d.exec(); };
}

// Shows a dialog and waits until it is the active window, so keys reach it.
inline bool show_active(QWidget& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// The widgets Tab visits from the current focus, until it comes back round.
inline std::vector<QWidget*> tab_walk(QWidget& window, int max_steps = 40) {
    std::vector<QWidget*> seen;
    for (int i = 0; i < max_steps; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr) {
            break;
        }
        if (!seen.empty() && focus == seen.front()) {
            break;
        }
        seen.push_back(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    (void)window;
    return seen;
}

}  // namespace zv::test
