// The toolbar: 15 places (12 buttons and 3 separators) holding the commands' own actions (the
// menus' too), shown with the images of the skin's toolbar strip, at the window's toolbar
// height of 28 px. Three of the buttons are drop-down preset buttons: the face applies the
// group's first preset, the arrow opens the group's preset menu below the button's lower-left
// corner. Tooltips come from one table and are not shown while a song plays.
#pragma once

#include <QToolBar>
#include <functional>
#include <span>
#include <vector>

#include "ui/skin_id.h"

class QToolButton;

namespace zv {

class Skin;

enum class ToolbarStyle { Button, Separator, DropDown };

struct ToolbarButtonRow {
    ToolbarImage image;  // unused for a separator
    int command;
    ToolbarStyle style;
};

constexpr int TOOLBAR_PLACES = 15;

std::span<const ToolbarButtonRow> toolbar_buttons();

// The tooltip of a toolbar button: empty while a song plays, for the preset drop-downs and for
// any number the table does not hold.
QString toolbar_tooltip(int command, bool song_playing);

class Toolbar final : public QToolBar {
    Q_OBJECT
public:
    // action_of gives each command's action; song_playing tells the tooltips whether a song
    // plays now.
    Toolbar(const Skin& skin, const std::function<QAction*(int)>& action_of,
            std::function<bool()> song_playing, QWidget* parent = nullptr);

    QToolButton* button(int command) const;
    // The action of a button (not of the drop-down menus), by command.
    QAction* action(int command) const;

signals:
    void command_triggered(int command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool()> song_playing_;
    std::vector<QAction*> button_actions_;
    std::vector<QAction*> popup_actions_;  // the drop-down menus' own items
};

}  // namespace zv
