#include "ui/panel_widget.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "ui/control_text.h"
#include "ui/panel_accessible.h"

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
    install_panel_accessibility();
    setAccessibleName(QCoreApplication::translate("Window", PANEL_ACCESSIBLE_NAME));
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

namespace {

constexpr const char* SWITCH_ON = QT_TRANSLATE_NOOP("Window", "オン");
constexpr const char* SWITCH_OFF = QT_TRANSLATE_NOOP("Window", "オフ");

}  // namespace

void PanelWidget::keyPressEvent(QKeyEvent* event) {
    const Modifiers keys = modifiers_from(event->modifiers());
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    bool taken = false;
    if (model_.focus() >= 0) {
        switch (event->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
                if (plain) {
                    model_.focus_vertical(event->key() == Qt::Key_Down);
                    taken = true;
                }
                break;
            case Qt::Key_Left:
            case Qt::Key_Right:
                taken = model_.key_step(event->key() == Qt::Key_Right, keys);
                break;
            case Qt::Key_Home:
            case Qt::Key_End:
                taken = model_.key_to_bound(event->key() == Qt::Key_End);
                break;
            case Qt::Key_Space:
                taken = model_.key_press_button();
                break;
            case Qt::Key_Escape:
                model_.set_focus(-1);
                taken = true;
                break;
            default:
                break;
        }
    }
    if (taken) {
        announce_focus();
    } else if (!other_keys_ || !other_keys_(event->key(), event->modifiers())) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PanelWidget::focusInEvent(QFocusEvent* event) {
    // Entering from the keyboard puts the mark on the first place (or the last, backwards);
    // a click or the window's own focus shows none until Tab is pressed.
    if (event->reason() == Qt::TabFocusReason) {
        model_.set_focus(0);
    } else if (event->reason() == Qt::BacktabFocusReason) {
        model_.set_focus(FOCUS_PLACE_COUNT - 1);
    }
    announce_focus();
    QWidget::focusInEvent(event);
}

void PanelWidget::focusOutEvent(QFocusEvent* event) {
    // A menu or another window taking the focus for a while leaves the mark where it is.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        model_.set_focus(-1);
    }
    QWidget::focusOutEvent(event);
}

bool PanelWidget::focusNextPrevChild(bool next) {
    if (model_.focus_next(next)) {
        announce_focus();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void PanelWidget::announce_focus() {
    const int position = model_.focus();
    if (position < 0 || !QAccessible::isActive()) {
        return;
    }
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(position);
    QAccessible::updateAccessibility(&focus);
    QAccessibleValueChangeEvent value(this, place_value(position));
    value.setChild(position);
    QAccessible::updateAccessibility(&value);
}

QString PanelWidget::place_name(int position) const {
    if (position < 0 || position >= FOCUS_PLACE_COUNT) {
        return {};
    }
    return QString::fromStdString(focus_place_name(focus_order()[static_cast<size_t>(position)]));
}

QString PanelWidget::place_value(int position) const {
    if (position < 0 || position >= FOCUS_PLACE_COUNT) {
        return {};
    }
    const FocusPlace& place = focus_order()[static_cast<size_t>(position)];
    if (place.kind == FocusKind::Control) {
        const PanelControl& c = panel_controls()[static_cast<size_t>(place.index)];
        const std::string text =
            control_text(c, model_.value(place.index), model_.state().processor.params);
        return QString::fromStdString(text).trimmed();
    }
    if (static_cast<PanelButtonId>(place.index) == PanelButtonId::Init) {
        return {};
    }
    return QCoreApplication::translate("Window", place_on(position) ? SWITCH_ON : SWITCH_OFF);
}

bool PanelWidget::place_on(int position) const {
    if (position < 0 || position >= FOCUS_PLACE_COUNT) {
        return false;
    }
    const FocusPlace& place = focus_order()[static_cast<size_t>(position)];
    const auto id = static_cast<size_t>(place.index);
    if (place.kind != FocusKind::Button || id >= SWITCH_BUTTON_COUNT) {
        return false;
    }
    // As the switch's lamp shows it.
    return make_display_frame(inputs_(), MeterModel::Frame{}).led_on[id];
}

QRect PanelWidget::place_rect(int position) const {
    if (position < 0 || position >= FOCUS_PLACE_COUNT) {
        return {};
    }
    const ClientRect r = focus_rect(focus_order()[static_cast<size_t>(position)]);
    return QRect(r.x, r.y - PANEL_TOP, r.width, r.height);
}

}  // namespace zv
