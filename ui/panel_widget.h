// The panel as a widget: Qt's pointer and key events become PanelModel calls (through
// PanelMapping alone), and every paint renders a frame at the integer scale of the screen and
// copies it whole. With the keyboard, Tab and Shift+Tab walk a focus mark over the controls
// and switches (entering from the list, or leaving past the last place), Up and Down move it
// within a group, Left and Right step the control (Shift ten steps, Shift+Ctrl+Alt to the
// bound), Home and End go to the bounds, Space presses a switch, Escape takes the mark away;
// the keys the mark does not take go on to the playlist's (Space plays and stops). Screen
// readers see every place with its name and value. The widget itself holds no rule of the
// panel.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/display_model.h"
#include "ui/panel_model.h"
#include "ui/panel_renderer.h"

namespace zv {

class QtRepeatTimer final : public RepeatTimer {
public:
    explicit QtRepeatTimer(QObject* parent);
    void start(int interval_ms) override { timer_->start(interval_ms); }
    void stop() override { timer_->stop(); }
    QTimer* timer() const { return timer_; }

private:
    QTimer* timer_;
};

Modifiers modifiers_from(Qt::KeyboardModifiers keys);

class PanelWidget final : public QWidget {
    Q_OBJECT
public:
    // inputs gives what the displays show at paint time.
    PanelWidget(const Skin& skin, ProgramState state, MeterModel& meters, PanelHost& host,
                std::function<DisplayInputs()> inputs, QWidget* parent = nullptr);
    // Where the keys go that the panel does not take (true when taken there).
    void set_other_keys(std::function<bool(int, Qt::KeyboardModifiers)> keys) {
        other_keys_ = std::move(keys);
    }

    PanelModel& model() { return model_; }
    const PanelMapping& mapping() const { return mapping_; }
    // The pointer's position now, in client coordinates.
    ClientPoint pointer() const;
    // Renders a frame as a paint would (for the screenshot and the tests).
    QImage render_frame(int scale);
    PanelRenderer& renderer() { return renderer_; }

    // For screen readers: a place's name and its value as shown ("60", "off"), and where it
    // sits in the widget.
    QString place_name(int position) const;
    QString place_value(int position) const;
    bool place_on(int position) const;  // a switch whose lamp is lit
    QRect place_rect(int position) const;

signals:
    // After every paint (the window mirrors the list's selection then).
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    ClientPoint to_client(const QPointF& widget_point) const;
    // Tells screen readers where the mark is now and what it shows.
    void announce_focus();

    MeterModel& meters_;
    std::function<DisplayInputs()> inputs_;
    std::function<bool(int, Qt::KeyboardModifiers)> other_keys_;
    QtRepeatTimer repeat_;
    PanelModel model_;
    PanelRenderer renderer_;
    PanelMapping mapping_;
    QImage frame_;
    int wheel_remainder_ = 0;
};

}  // namespace zv
