// Draws the panel into an image, as a list of copies from the skin in drawing order: the
// background with the controls (one cached layer, rebuilt only when a control's text or
// arrow changes), then the buttons, LEDs, indicators, meters and the time, and last the
// keyboard's focus mark. Every copy goes
// through one helper and one transform (client coordinates to the frame's pixels at the
// panel's integer scale, nearest-neighbour), so the frame is crisp at 2x.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <array>
#include <string>

#include "ui/display_model.h"
#include "ui/panel_model.h"
#include "ui/skin.h"

namespace zv {

class PanelRenderer {
public:
    explicit PanelRenderer(const Skin& skin);

    // Renders a whole frame into target (resized to the mapping's frame size when needed).
    void render(QImage& target, int scale, const PanelModel& model, const DisplayFrame& display,
                const MeterModel::Frame& meters);

    // How often the controls layer was rebuilt (for tests and the benchmark).
    int layer_rebuilds() const { return layer_rebuilds_; }
    // Forces the next render to rebuild the controls layer.
    void invalidate_layer() { layer_valid_ = false; }

private:
    void ensure_layer(int scale, const PanelModel& model);
    void draw_controls(QPainter& p, const PanelModel& model);
    void draw_upper_band(QPainter& p, const PanelModel& model, const DisplayFrame& display,
                         const MeterModel::Frame& meters);
    // The keyboard's focus mark around the focused control or switch, over everything.
    void draw_focus_mark(QPainter& p, const PanelModel& model);

    const Skin& skin_;
    std::array<QPixmap, 25> rising_meters_;  // the meter images mirrored top to bottom
    QImage background_;                      // the background alone at the current scale
    QImage layer_;                           // background and controls at the current scale
    int layer_scale_ = 0;
    bool layer_valid_ = false;
    std::array<std::string, CONTROL_COUNT> layer_texts_;
    std::array<PressState, CONTROL_COUNT> layer_press_{};
    int layer_rebuilds_ = 0;
};

// The one copy helper: the source rectangle of an image to a client point.
void blit(QPainter& p, const QPixmap& image, int src_x, int src_y, int width, int height, int dst_x,
          int dst_y);

// The transform from client coordinates to a frame's pixels at scale.
QTransform client_to_frame(int scale);

}  // namespace zv
