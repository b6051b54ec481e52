#include "ui/command_actions.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>

#include "ui/commands.h"
#include "ui/menus.h"
#include "ui/skin.h"

namespace zv {

CommandActions::CommandActions(const Skin& skin, std::function<void(int)> trigger, QObject* parent)
    : QObject(parent) {
    for (const CommandRow& row : command_table()) {
        auto* a = new QAction(this);
        const int id = row.id;
        a->setData(id);
        if (row.caption != nullptr) {
            a->setText(
                with_mnemonic(QCoreApplication::translate("Menu", row.caption), row.mnemonic));
        }
        if (row.image != SkinId::None) {
            a->setIcon(QIcon(skin.image(row.image)));
        }
        if (row.shortcut != nullptr) {
            a->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        }
        // The menus show a check beside what is on.
        a->setCheckable(command_is_toggle(id));
        connect(a, &QAction::triggered, this, [trigger, id] { trigger(id); });
        actions_.emplace(id, a);
    }
}

QAction* CommandActions::action(int command) const {
    const auto it = actions_.find(command);
    return it != actions_.end() ? it->second : nullptr;
}

void CommandActions::update(const AppContext& ctx) {
    for (const auto& [id, a] : actions_) {
        a->setEnabled(command_available(ctx, id));
        if (const std::optional<bool> on = command_checked(ctx, id)) {
            a->setChecked(*on);
        }
    }
}

}  // namespace zv
