#include "ui/toolbar.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QToolButton>
#include <QToolTip>

#include "ui/command_ids.h"
#include "ui/menus.h"
#include "ui/panel_layout.h"
#include "ui/skin.h"

namespace zv {
namespace {

constexpr ToolbarButtonRow SEPARATOR{ToolbarImage::AddFiles, 0, ToolbarStyle::Separator};
constexpr ToolbarButtonRow BUTTONS[TOOLBAR_PLACES] = {
    {ToolbarImage::AddFiles, cmd::ADD_SONG_FILES, ToolbarStyle::Button},
    {ToolbarImage::RemoveAll, cmd::REMOVE_ALL, ToolbarStyle::Button},
    SEPARATOR,
    {ToolbarImage::Play, cmd::PLAY, ToolbarStyle::Button},
    {ToolbarImage::Stop, cmd::STOP, ToolbarStyle::Button},
    SEPARATOR,
    {ToolbarImage::ExportSong, cmd::EXPORT_SONG, ToolbarStyle::Button},
    {ToolbarImage::ExportAll, cmd::EXPORT_ALL, ToolbarStyle::Button},
    SEPARATOR,
    {ToolbarImage::PresetDigital, 339, ToolbarStyle::DropDown},
    {ToolbarImage::PresetInternet, 335, ToolbarStyle::DropDown},
    {ToolbarImage::PresetFm, cmd::PRESET_SMOOTH_FM, ToolbarStyle::DropDown},
    {ToolbarImage::User1, cmd::USE_USER_PRESET_1, ToolbarStyle::Button},
    {ToolbarImage::User2, cmd::USE_USER_PRESET_1 + 1, ToolbarStyle::Button},
    {ToolbarImage::User3, cmd::USE_USER_PRESET_3, ToolbarStyle::Button},
};

// Marked for the translation catalogue; translated when the tooltip is asked for.
constexpr char TOOLTIP_CONTEXT[] = "Toolbar";

struct Tooltip {
    int command;
    const char* text;
};
constexpr Tooltip TOOLTIPS[] = {
    {cmd::ADD_SONG_FILES, QT_TRANSLATE_NOOP("Toolbar", "WAV/MP3ファイルをリストに登録")},
    {cmd::REMOVE_ALL, QT_TRANSLATE_NOOP("Toolbar", "リストの曲を全て消去")},
    {cmd::PLAY, QT_TRANSLATE_NOOP("Toolbar", "再生[SPACE]")},
    {cmd::STOP, QT_TRANSLATE_NOOP("Toolbar", "停止[SPACE]")},
    {cmd::EXPORT_SONG, QT_TRANSLATE_NOOP("Toolbar", "選択された曲をWAV/MP3ファイルに出力")},
    {cmd::EXPORT_ALL, QT_TRANSLATE_NOOP("Toolbar", "リストの全ての曲をWAV/MP3ファイルに出力")},
    {cmd::USE_USER_PRESET_1, QT_TRANSLATE_NOOP("Toolbar", "ユーザープリセット１")},
    {cmd::USE_USER_PRESET_1 + 1, QT_TRANSLATE_NOOP("Toolbar", "ユーザープリセット２")},
    {cmd::USE_USER_PRESET_3, QT_TRANSLATE_NOOP("Toolbar", "ユーザープリセット３")},
};

}  // namespace

std::span<const ToolbarButtonRow> toolbar_buttons() {
    return BUTTONS;
}

QString toolbar_tooltip(int command, bool song_playing) {
    if (song_playing) {
        return {};
    }
    for (const Tooltip& t : TOOLTIPS) {
        if (t.command == command) {
            return QCoreApplication::translate(TOOLTIP_CONTEXT, t.text);
        }
    }
    return {};
}

Toolbar::Toolbar(const Skin& skin, std::function<bool()> song_playing, QWidget* parent)
    : QToolBar(parent), song_playing_(std::move(song_playing)) {
    setObjectName(QStringLiteral("toolbar"));
    setMovable(false);
    setFloatable(false);
    setFixedHeight(TOOLBAR_HEIGHT);
    setIconSize(QSize(TOOLBAR_IMAGE_WIDTH, TOOLBAR_IMAGE_HEIGHT));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const ToolbarButtonRow& shape : BUTTONS) {
        if (shape.style == ToolbarStyle::Separator) {
            addSeparator();
            continue;
        }
        const QPixmap image = skin.toolbar_image(shape.image);
        // The action's text names the button for screen readers; its tooltip is the table's.
        QAction* a = addAction(QIcon(image), menu_caption(shape.command));
        a->setData(shape.command);
        button_actions_.push_back(a);
        const int command = shape.command;
        connect(a, &QAction::triggered, this, [this, command] { emit command_triggered(command); });
        auto* b = qobject_cast<QToolButton*>(widgetForAction(a));
        b->setObjectName(QStringLiteral("toolbar-%1").arg(command));
        b->installEventFilter(this);
        if (shape.style == ToolbarStyle::DropDown) {
            // The face applies the button's own preset; the arrow opens the group's menu
            // below the button, which Qt places at its lower-left corner.
            auto* menu = new QMenu(b);
            build_menu(*menu, preset_popup_for(command)->items, nullptr, menu_actions_);
            connect(menu, &QMenu::triggered, this,
                    [this](QAction* chosen) { emit command_triggered(action_command(chosen)); });
            b->setMenu(menu);
            b->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
}

QToolButton* Toolbar::button(int command) const {
    QAction* a = action(command);
    return a != nullptr ? qobject_cast<QToolButton*>(widgetForAction(a)) : nullptr;
}

QAction* Toolbar::action(int command) const {
    for (QAction* a : button_actions_) {
        if (action_command(a) == command) {
            return a;
        }
    }
    return nullptr;
}

std::vector<QAction*> Toolbar::actions_for(int command) const {
    std::vector<QAction*> found;
    for (const auto* list : {&button_actions_, &menu_actions_}) {
        for (QAction* a : *list) {
            if (action_command(a) == command) {
                found.push_back(a);
            }
        }
    }
    return found;
}

bool Toolbar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QToolBar::eventFilter(watched, event);
    }
    auto* b = qobject_cast<QToolButton*>(watched);
    const QString text = b != nullptr
                             ? toolbar_tooltip(action_command(b->defaultAction()), song_playing_())
                             : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, b);
    }
    return true;
}

}  // namespace zv
