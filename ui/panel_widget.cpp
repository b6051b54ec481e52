#include "ui/panel_widget.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace zv {

QtRepeatTimer::QtRepeatTimer(QObject* parent) : timer_(new QTimer(parent)) {
    timer_->setTimerType(Qt::PreciseTimer);
}

Modifiers modifiers_from(Qt::KeyboardModifiers keys) {
    return {keys.testFlag(Qt::ShiftModifier), keys.testFlag(Qt::ControlModifier),
            keys.testFlag(Qt::AltModifier)};
}

PanelWidget::PanelWidget(const Skin& skin, ProgramState state, MeterModel& meters, PanelHost& host,
                         std::function<DisplayInputs()> inputs, QWidget* parent)
    : QWidget(parent),
      meters_(meters),
      inputs_(std::move(inputs)),
      repeat_(this),
      model_(state, host, repeat_),
      renderer_(skin) {
    setFixedSize(PanelMapping::widget_width(), PanelMapping::widget_height());
    // The whole panel is painted opaquely on every paint: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    connect(repeat_.timer(), &QTimer::timeout, this, [this] {
        // The keys count as they are held at the moment of the tick.
        model_.repeat_timer_fired(modifiers_from(QGuiApplication::queryKeyboardModifiers()));
    });
}

ClientPoint PanelWidget::to_client(const QPointF& widget_point) const {
    return mapping_.widget_to_client(widget_point.x(), widget_point.y());
}

ClientPoint PanelWidget::pointer() const {
    return to_client(QPointF(mapFromGlobal(QCursor::pos())));
}

QImage PanelWidget::render_frame(int scale) {
    QImage image;
    const MeterModel::Frame meters = meters_.take_frame();
    const DisplayFrame display = make_display_frame(inputs_(), meters);
    renderer_.render(image, scale, model_, display, meters);
    return image;
}

void PanelWidget::paintEvent(QPaintEvent*) {
    mapping_.scale = PanelMapping::scale_for_device_pixel_ratio(devicePixelRatioF());
    const MeterModel::Frame meters = meters_.take_frame();
    const DisplayFrame display = make_display_frame(inputs_(), meters);
    renderer_.render(frame_, mapping_.scale, model_, display, meters);
    frame_.setDevicePixelRatio(mapping_.scale);
    QPainter p(this);
    p.drawImage(QPoint(0, 0), frame_);
    p.end();
    emit painted();
}

void PanelWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    model_.left_down(to_client(event->position()), modifiers_from(event->modifiers()));
}

void PanelWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    model_.double_click(to_client(event->position()), modifiers_from(event->modifiers()));
}

void PanelWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    model_.left_up();
}

void PanelWidget::wheelEvent(QWheelEvent* event) {
    // Alt turns a vertical wheel into a horizontal one on some systems; take either.
    const QPoint delta = event->angleDelta();
    wheel_remainder_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = wheel_remainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheel_remainder_ -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (!model_.wheel(to_client(event->position()), notches, modifiers_from(event->modifiers()))) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace zv
