// The panel as a widget: Qt's pointer events become PanelModel calls (through PanelMapping
// alone), and every paint renders a frame at the integer scale of the screen and copies it
// whole. The widget itself holds no rule of the panel.
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

    PanelModel& model() { return model_; }
    const PanelMapping& mapping() const { return mapping_; }
    // The pointer's position now, in client coordinates.
    ClientPoint pointer() const;
    // Renders a frame as a paint would (for the screenshot and the tests).
    QImage render_frame(int scale);
    PanelRenderer& renderer() { return renderer_; }

signals:
    // After every paint (the window mirrors the list's selection then).
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    ClientPoint to_client(const QPointF& widget_point) const;

    MeterModel& meters_;
    std::function<DisplayInputs()> inputs_;
    QtRepeatTimer repeat_;
    PanelModel model_;
    PanelRenderer renderer_;
    PanelMapping mapping_;
    QImage frame_;
    int wheel_remainder_ = 0;
};

}  // namespace zv
