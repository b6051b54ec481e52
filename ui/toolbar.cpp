#include "ui/toolbar.h"

#include <QAction>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QToolButton>
#include <QToolTip>
#include <array>

#include "ui/command_ids.h"
#include "ui/menus.h"
#include "ui/panel_layout.h"
#include "ui/skin.h"

namespace zv {
namespace {

constexpr ToolbarButtonRow SEPARATOR{ToolbarImage::AddFiles, 0, ToolbarStyle::Separator};
constexpr ToolbarButtonRow FILE_AND_TRANSPORT[] = {
    {ToolbarImage::AddFiles, cmd::ADD_SONG_FILES, ToolbarStyle::Button},
    {ToolbarImage::RemoveAll, cmd::REMOVE_ALL, ToolbarStyle::Button},
    SEPARATOR,
    {ToolbarImage::Play, cmd::PLAY, ToolbarStyle::Button},
    {ToolbarImage::Stop, cmd::STOP, ToolbarStyle::Button},
    SEPARATOR,
    {ToolbarImage::ExportSong, cmd::EXPORT_SONG, ToolbarStyle::Button},
    {ToolbarImage::ExportAll, cmd::EXPORT_ALL, ToolbarStyle::Button},
    SEPARATOR,
};
constexpr ToolbarButtonRow USER_PRESETS[] = {
    {ToolbarImage::User1, cmd::USE_USER_PRESET_1, ToolbarStyle::Button},
    {ToolbarImage::User2, cmd::USE_USER_PRESET_2, ToolbarStyle::Button},
    {ToolbarImage::User3, cmd::USE_USER_PRESET_3, ToolbarStyle::Button},
};

// Between them, the preset groups' drop-down buttons in the order of the menus' groups.
std::array<ToolbarButtonRow, TOOLBAR_PLACES> make_buttons() {
    std::array<ToolbarButtonRow, TOOLBAR_PLACES> rows{};
    size_t n = 0;
    for (const ToolbarButtonRow& r : FILE_AND_TRANSPORT) {
        rows[n++] = r;
    }
    for (const PresetGroupMenu& g : preset_group_menus()) {
        rows[n++] = {g.toolbar_image, preset_button_command(g.group), ToolbarStyle::DropDown};
    }
    for (const ToolbarButtonRow& r : USER_PRESETS) {
        rows[n++] = r;
    }
    return rows;
}

const std::array<ToolbarButtonRow, TOOLBAR_PLACES>& buttons() {
    static const std::array<ToolbarButtonRow, TOOLBAR_PLACES> rows = make_buttons();
    return rows;
}

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
    {cmd::USE_USER_PRESET_2, QT_TRANSLATE_NOOP("Toolbar", "ユーザープリセット２")},
    {cmd::USE_USER_PRESET_3, QT_TRANSLATE_NOOP("Toolbar", "ユーザープリセット３")},
};

}  // namespace

std::span<const ToolbarButtonRow> toolbar_buttons() {
    return buttons();
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

Toolbar::Toolbar(const Skin& skin, const std::function<QAction*(int)>& action_of,
                 std::function<bool()> song_playing, QWidget* parent)
    : QToolBar(parent), song_playing_(std::move(song_playing)) {
    setObjectName(QStringLiteral("toolbar"));
    setMovable(false);
    setFloatable(false);
    setFixedHeight(TOOLBAR_HEIGHT);
    setIconSize(QSize(TOOLBAR_IMAGE_WIDTH, TOOLBAR_IMAGE_HEIGHT));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const ToolbarButtonRow& shape : buttons()) {
        if (shape.style == ToolbarStyle::Separator) {
            addSeparator();
            continue;
        }
        // The command's own action, its icon given the strip's image at the toolbar's size
        // beside the menu's; its text names the button for screen readers, its tooltip is the
        // table's.
        QAction* a = action_of(shape.command);
        QIcon icon = a->icon();
        icon.addPixmap(skin.toolbar_image(shape.image));
        a->setIcon(icon);
        addAction(a);
        button_actions_.push_back(a);
        auto* b = qobject_cast<QToolButton*>(widgetForAction(a));
        b->setObjectName(QStringLiteral("toolbar-%1").arg(shape.command));
        b->installEventFilter(this);
        if (const PresetGroupMenu* group = preset_group_of_button(shape.command);
            shape.style == ToolbarStyle::DropDown && group != nullptr) {
            // The face applies the group's first preset; the arrow opens the group's menu
            // below the button, which Qt places at its lower-left corner.
            auto* menu = new QMenu(b);
            build_preset_popup(*menu, group->group, popup_actions_);
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
