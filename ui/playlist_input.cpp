#include "ui/playlist_input.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>
#include <chrono>

#include "ui/app_context.h"
#include "ui/command_ids.h"

namespace zv {

uint32_t steady_tick_ms() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

PlaylistInput::PlaylistInput(QTableView& view, AppContext& ctx, std::function<bool(int)> command,
                             std::function<void()> redraw_panel, QObject* parent)
    : QObject(parent),
      view_(view),
      viewport_(view.viewport()),
      ctx_(ctx),
      command_(std::move(command)),
      redraw_panel_(std::move(redraw_panel)) {
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
    QHeaderView* header = view.horizontalHeader();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &PlaylistInput::header_clicked);
}

void PlaylistInput::press_row(int row) {
    if (row < 0) {
        return;  // below the last row: nothing, and the click is not remembered
    }
    const uint32_t now = clock_();
    const bool second = clicked_before_ && is_second_click(last_click_ms_, now);
    clicked_before_ = true;
    last_click_ms_ = now;
    if (!second) {
        if (click_row(*ctx_.playlist, row)) {
            redraw_panel_();
        }
        return;
    }
    // The second press leaves the selection where the first one put it.
    if (ctx_.engine_idle()) {
        command_(cmd::PLAY);
    } else {
        command_(cmd::STOP);
    }
}

bool PlaylistInput::key(int key, Qt::KeyboardModifiers modifiers) {
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    switch (key) {
        case Qt::Key_Space:
            if (ctx_.engine->engine_state == ENGINE_IDLE) {
                command_(cmd::PLAY);
            } else if (ctx_.engine->engine_state == ENGINE_PLAYING) {
                command_(cmd::STOP);
            }
            return true;
        case Qt::Key_Up:
            command_(shift ? cmd::MOVE_UP : cmd::CHOOSE_PREVIOUS);
            return true;
        case Qt::Key_Down:
            command_(shift ? cmd::MOVE_DOWN : cmd::CHOOSE_NEXT);
            return true;
        case Qt::Key_Delete:
            command_(cmd::DELETE_SONG);
            return true;
        default:
            return false;
    }
}

void PlaylistInput::header_clicked(int column) {
    Playlist& pl = *ctx_.playlist;
    const int previous = pl.sort_column;
    pl.sort_column = column;
    if (!command_(pl.sort_ascending_next == 1 ? cmd::SORT_ASCENDING : cmd::SORT_DESCENDING)) {
        pl.sort_column = previous;  // greyed: the click changes nothing
    }
}

bool PlaylistInput::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == viewport_ &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)) {
        // Qt reports the second press of a quick pair as a double click; both are presses
        // here, and the 499 ms rule decides.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) {
            return true;
        }
        view_.setFocus(Qt::MouseFocusReason);
        press_row(view_.rowAt(static_cast<int>(mouse->position().y())));
        return true;
    }
    if (watched == viewport_ && type == QEvent::MouseMove) {
        return true;  // no rubber band or drag selection: the selection is selected_index
    }
    if (type == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        return key(k->key(), k->modifiers());
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zv
