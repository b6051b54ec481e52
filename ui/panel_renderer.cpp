#include "ui/panel_renderer.h"

#include <cstring>

#include "ui/control_text.h"
#include "ui/panel_focus.h"
#include "ui/skin_palette.h"

namespace zv {

void blit(QPainter& p, const QPixmap& image, int src_x, int src_y, int width, int height, int dst_x,
          int dst_y) {
    p.drawPixmap(QRect(dst_x, dst_y, width, height), image, QRect(src_x, src_y, width, height));
}

QTransform client_to_frame(int scale) {
    PanelMapping m{scale};
    return QTransform(scale, 0, 0, scale, m.frame_x(0), m.frame_y(0));
}

PanelRenderer::PanelRenderer(const Skin& skin) : skin_(skin) {
    for (int k = 0; k < 25; ++k) {
        rising_meters_[static_cast<size_t>(k)] =
            QPixmap::fromImage(skin.meter(k).toImage().mirrored(false, true));
    }
}

void PanelRenderer::draw_controls(QPainter& p, const PanelModel& model) {
    const QPixmap& font = skin_.image(SkinId::SmallFont);
    const PanelControls& table = panel_controls();
    // The band grid row by row, then the general controls.
    auto draw_one = [&](int index) {
        const ControlRow& s = table[static_cast<size_t>(index)].shape;
        for_each_small_glyph(layer_texts_[static_cast<size_t>(index)], s.x + CONTROL_TEXT_DX, s.y,
                             [&](const GlyphCopy& g) {
                                 blit(p, font, g.src_x, g.src_y, g.width, g.height, g.dst_x,
                                      g.dst_y);
                             });
        const PressState press = model.press_state(index);
        const QPixmap& down =
            skin_.image(press == PressState::Down ? SkinId::ArrowDownPressed : SkinId::ArrowDown);
        const QPixmap& up =
            skin_.image(press == PressState::Up ? SkinId::ArrowUpPressed : SkinId::ArrowUp);
        blit(p, down, 0, 0, ARROW_WIDTH, ARROW_HEIGHT, s.x + DOWN_ARROW_DX, s.y);
        blit(p, up, 0, 0, ARROW_WIDTH, ARROW_HEIGHT, s.x + UP_ARROW_DX, s.y);
    };
    for (int row = 0; row < BAND_ROW_COUNT; ++row) {
        for (int col = 0; col < BAND_COLUMN_COUNT; ++col) {
            draw_one(band_control_index(static_cast<BandColumn>(col), row));
        }
    }
    for (int g = 0; g < GENERAL_CONTROLS; ++g) {
        draw_one(general_control_index(g));
    }
}

void PanelRenderer::ensure_layer(int scale, const PanelModel& model) {
    const PanelControls& table = panel_controls();
    const ProcessorParams& params = model.state().processor.params;
    bool changed = !layer_valid_ || layer_scale_ != scale;
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        std::string text = control_text(table[static_cast<size_t>(i)], model.value(i), params);
        if (text != layer_texts_[static_cast<size_t>(i)] ||
            model.press_state(i) != layer_press_[static_cast<size_t>(i)]) {
            layer_texts_[static_cast<size_t>(i)] = std::move(text);
            layer_press_[static_cast<size_t>(i)] = model.press_state(i);
            changed = true;
        }
    }
    if (!changed) {
        return;
    }
    if (layer_scale_ != scale || background_.isNull()) {
        // The background scaled once per scale; each rebuild starts from a flat copy of it.
        const PanelMapping mapping{scale};
        background_ = QImage(mapping.frame_width(), mapping.frame_height(), QImage::Format_RGB32);
        const QPixmap& background = skin_.image(SkinId::PanelBackground);
        // Below the background image (its last rows) the panel's own grey continues.
        background_.fill(background.toImage().pixel(0, background.height() - 1));
        QPainter bp(&background_);
        bp.setTransform(client_to_frame(scale));
        blit(bp, background, 0, 0, background.width(), background.height(), 0, PANEL_TOP);
    }
    layer_ = background_.copy();
    QPainter p(&layer_);
    p.setTransform(client_to_frame(scale));
    draw_controls(p, model);
    layer_scale_ = scale;
    layer_valid_ = true;
    ++layer_rebuilds_;
}

void PanelRenderer::draw_upper_band(QPainter& p, const PanelModel& model,
                                    const DisplayFrame& display, const MeterModel::Frame& meters) {
    // The nine bitmap buttons.
    for (const PanelButtonRow& b : PANEL_BUTTONS) {
        const SkinId id = model.button_pressed(b.id) ? b.pressed_image : b.normal_image;
        blit(p, skin_.image(id), 0, 0, b.width, b.height, b.x, b.y);
    }
    // The transport buttons that the engine's state shows.
    const QPixmap& strip = skin_.image(SkinId::TransportStrip);
    for (const TransportRow& t : TRANSPORT_BUTTONS) {
        if (!display.transport_shown[static_cast<size_t>(t.id)]) {
            continue;
        }
        const int row = model.transport_pressed(t.id) ? TRANSPORT_PRESSED_ROW : 0;
        blit(p, strip, t.strip_x, row, t.width, TRANSPORT_HEIGHT, t.x, TRANSPORT_Y);
    }
    // The switch LEDs, left of their buttons.
    for (int i = 0; i < SWITCH_BUTTON_COUNT; ++i) {
        const PanelButtonRow& b = PANEL_BUTTONS[static_cast<size_t>(i)];
        const SkinId led = display.led_on[static_cast<size_t>(i)] ? SkinId::LedOn : SkinId::LedOff;
        blit(p, skin_.image(led), 0, 0, LED_SIZE, LED_SIZE, b.x - LED_OFFSET, b.y);
    }
    if (display.indicators_shown) {
        blit(p, skin_.image(display.channel_image), 0, 0, CHANNEL_INDICATOR_WIDTH, INDICATOR_HEIGHT,
             CHANNEL_INDICATOR.x, CHANNEL_INDICATOR.y);
        blit(p, skin_.image(display.rate_image), 0, 0, RATE_INDICATOR_WIDTH, INDICATOR_HEIGHT,
             RATE_INDICATOR.x, RATE_INDICATOR.y);
    }
    // The meters; under each band meter its clip bar and beside it its gate LED.
    const QPixmap& bar_off = skin_.image(SkinId::ClipBarOff);
    const QPixmap& bar_on = skin_.image(SkinId::ClipBarOn);
    auto clip_bar = [&](bool on, int x) {
        blit(p, on ? bar_on : bar_off, 0, 0, CLIP_BAR_WIDTH, CLIP_BAR_HEIGHT, x, CLIP_BAR_Y);
    };
    for (int i = 0; i < METER_COUNT; ++i) {
        const MeterRow& m = METERS[static_cast<size_t>(i)];
        const int level = meters.meter[static_cast<size_t>(i)];
        const QPixmap& image = m.way == MeterWay::Rising
                                   ? rising_meters_[static_cast<size_t>(level)]
                                   : skin_.meter(level);
        // A 12 px meter is the 24 px image squeezed.
        p.drawPixmap(QRect(m.x, METER_TOP, m.width, METER_HEIGHT), image,
                     QRect(0, 0, METER_IMAGE_WIDTH, METER_HEIGHT));
        const int band = static_cast<int>(m.source) - static_cast<int>(MeterSource::Band1);
        if (band >= 0 && band < METER_BANDS) {
            clip_bar(meters.band_clip[static_cast<size_t>(band)], m.x);
            blit(p, skin_.image(display.gate_led_image[static_cast<size_t>(band)]), 0, 0,
                 GATE_LED_SIZE, GATE_LED_SIZE, GATE_LED_X, GATE_LED_Y + GATE_LED_STEP * band);
        }
    }
    clip_bar(meters.clip_l, meter_row(MeterSource::OutputL).x);
    clip_bar(meters.clip_r, meter_row(MeterSource::OutputR).x);
    // The time.
    const QPixmap& digits = skin_.image(SkinId::LargeDigits);
    for_each_large_glyph(display.time_text, TIME_DISPLAY.x, TIME_DISPLAY.y,
                         [&](const GlyphCopy& g) {
                             blit(p, digits, g.src_x, g.src_y, g.width, g.height, g.dst_x, g.dst_y);
                         });
}

void PanelRenderer::render(QImage& target, int scale, const PanelModel& model,
                           const DisplayFrame& display, const MeterModel::Frame& meters) {
    ensure_layer(scale, model);
    if (target.size() != layer_.size() || target.format() != layer_.format()) {
        target = QImage(layer_.size(), layer_.format());
    }
    target.setDevicePixelRatio(1.0);
    // The cached layer is copied whole: a flat copy is cheaper than tracking what moved.
    std::memcpy(target.bits(), layer_.constBits(), static_cast<size_t>(layer_.sizeInBytes()));
    QPainter p(&target);
    p.setTransform(client_to_frame(scale));
    draw_upper_band(p, model, display, meters);
    draw_focus_mark(p, model);
    p.end();
}

void PanelRenderer::draw_focus_mark(QPainter& p, const PanelModel& model) {
    const int focus = model.focus();
    if (focus < 0) {
        return;
    }
    // A one-pixel frame in the display's lamp colour, drawn as four fills so it stays one
    // client pixel wide at any scale.
    const ClientRect r = focus_rect(focus_order()[static_cast<size_t>(focus)]);
    const QColor ink = QColor::fromRgb(skin::DISPLAY_INK);
    p.fillRect(QRect(r.x, r.y, r.width, 1), ink);
    p.fillRect(QRect(r.x, r.y + r.height - 1, r.width, 1), ink);
    p.fillRect(QRect(r.x, r.y, 1, r.height), ink);
    p.fillRect(QRect(r.x + r.width - 1, r.y, 1, r.height), ink);
}

}  // namespace zv
