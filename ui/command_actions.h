// One QAction per row of the command table, made once and shared by the menu bar, the toolbar,
// the shortcuts and the panel's switch buttons. Each carries its command number in data(), its
// caption with the Alt mnemonic, its image and its key; update() greys the actions of the
// commands that cannot run now and checks those that are on, from the one guard
// (command_available) the dispatch uses as well.
#pragma once

#include <QObject>
#include <functional>
#include <map>

class QAction;

namespace zv {

class AppContext;
class Skin;

class CommandActions final : public QObject {
    Q_OBJECT
public:
    // trigger runs a command (the window's dispatch).
    CommandActions(const Skin& skin, std::function<void(int)> trigger, QObject* parent = nullptr);

    // The action of a command, or null for a number the table has no row for.
    QAction* action(int command) const;
    void update(const AppContext& ctx);

private:
    std::map<int, QAction*> actions_;
};

}  // namespace zv
