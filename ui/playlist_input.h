// The playlist view's own input: presses on its rows (a second press within 499 ms on any
// row plays the selected song, or stops the one playing), the keys Space, Up, Down,
// Shift+Up, Shift+Down and Delete, and clicks on the column headers, which sort (descending
// first, then alternating). Everything ends as a command number sent through the window, so
// the greying of ON AIR mode applies to keys and headers as it does to menus.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>

class QTableView;
class QKeyEvent;

namespace zv {

class AppContext;

// A milliseconds tick that wraps like a 32-bit counter.
using TickClock = std::function<uint32_t()>;
uint32_t steady_tick_ms();

class PlaylistInput final : public QObject {
    Q_OBJECT
public:
    // command runs a command number as the window does and returns whether it ran;
    // redraw_panel repaints the panel (the selection shows at the next paint).
    PlaylistInput(QTableView& view, AppContext& ctx, std::function<bool(int)> command,
                  std::function<void()> redraw_panel, QObject* parent = nullptr);

    void set_clock(TickClock clock) { clock_ = std::move(clock); }

    // A left press on row (-1: no row under the point).
    void press_row(int row);
    // A key; true when it is one of the view's keys (then it is taken).
    bool key(int key, Qt::KeyboardModifiers modifiers);
    void header_clicked(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView& view_;
    // Compared with the watched object only: while the window is torn down, events still
    // arrive from a view whose own part is already gone.
    QPointer<QWidget> viewport_;
    AppContext& ctx_;
    std::function<bool(int)> command_;
    std::function<void()> redraw_panel_;
    TickClock clock_ = steady_tick_ms;
    uint32_t last_click_ms_ = 0;
    bool clicked_before_ = false;
};

}  // namespace zv
