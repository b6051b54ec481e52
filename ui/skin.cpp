#include "ui/skin.h"

#include "ui/panel_layout.h"
#include "ui/skin_art.h"

namespace zv {
namespace {

using namespace zv::skin;

constexpr int n(SkinId id) {
    return static_cast<int>(id);
}

// Every image of the table with the function that draws it; `first..last` share one drawing
// function that receives the id.
struct Entry {
    SkinId first, last;
    QImage (*draw)(SkinId id);
};

QImage switch_button(SkinId id) {
    for (const PanelButtonRow& b : PANEL_BUTTONS) {
        if (id == b.normal_image || id == b.pressed_image) {
            return switch_button_image(b.caption, id == b.pressed_image, b.width);
        }
    }
    return {};
}

constexpr Entry ENTRIES[] = {
    {SkinId::WindowIcon, SkinId::WindowIcon, [](SkinId) { return window_icon_image(32); }},
    {SkinId::MeterLevel0, SkinId::MeterLevel24,
     [](SkinId id) { return meter_image(n(id) - n(SkinId::MeterLevel0)); }},
    {SkinId::PanelBackground, SkinId::PanelBackground, [](SkinId) { return panel_background(); }},
    {SkinId::ArrowUpPressed, SkinId::ArrowDown,
     [](SkinId id) {
         return arrow_image(id == SkinId::ArrowUp || id == SkinId::ArrowUpPressed,
                            id == SkinId::ArrowUpPressed || id == SkinId::ArrowDownPressed);
     }},
    {SkinId::ClipBarOff, SkinId::ClipBarOn,
     [](SkinId id) { return clip_bar_image(id == SkinId::ClipBarOn); }},
    {SkinId::ProductArt, SkinId::ProductArt, [](SkinId) { return product_art_image(); }},
    {SkinId::RateNone, SkinId::Rate48k,
     [](SkinId id) { return rate_indicator_image(n(id) - n(SkinId::RateNone)); }},
    {SkinId::ChannelsNone, SkinId::ChannelsMono,
     [](SkinId id) { return channel_indicator_image(n(id) - n(SkinId::ChannelsNone)); }},
    {SkinId::SmallFont, SkinId::SmallFont, [](SkinId) { return small_font_image(); }},
    {SkinId::BassEq, SkinId::StEnhancePressed, switch_button},
    {SkinId::LedOff, SkinId::LedOn, [](SkinId id) { return led_image(id == SkinId::LedOn); }},
    {SkinId::TransportStrip, SkinId::TransportStrip,
     [](SkinId) { return transport_strip_image(); }},
    {SkinId::LargeDigits, SkinId::LargeDigits, [](SkinId) { return large_digits_image(); }},
    {SkinId::VirtualRoom, SkinId::NoiseGate, switch_button},
    {SkinId::GateLed0, SkinId::GateLed0, [](SkinId) { return gate_led_image(0); }},
    {SkinId::MenuOpenPlaylist, SkinId::MenuManual, menu_icon_image},
    {SkinId::MenuWeb, SkinId::MenuDelete, menu_icon_image},
    {SkinId::ToolbarStrip, SkinId::ToolbarStrip, [](SkinId) { return toolbar_strip_image(); }},
    {SkinId::NoiseGatePressed, SkinId::NoiseGatePressed, switch_button},
    {SkinId::GateLed1, SkinId::GateLed3,
     [](SkinId id) { return gate_led_image(n(id) - n(SkinId::GateLed1) + 1); }},
};

constexpr int WINDOW_ICON_SIZES[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

Skin::Skin() {
    for (const Entry& e : ENTRIES) {
        for (int id = n(e.first); id <= n(e.last); ++id) {
            images_[static_cast<size_t>(id - FIRST)] =
                QPixmap::fromImage(e.draw(static_cast<SkinId>(id)));
        }
    }
    for (int i = 0; i < ROW_ICON_COUNT; ++i) {
        row_icons_[static_cast<size_t>(i)] = QPixmap::fromImage(row_icon_image(i));
    }
    for (int size : WINDOW_ICON_SIZES) {
        const QPixmap& drawn = image(SkinId::WindowIcon);
        window_icon_.addPixmap(drawn.width() == size ? drawn
                                                     : QPixmap::fromImage(window_icon_image(size)));
    }
}

const QPixmap& Skin::image(SkinId id) const {
    const int number = n(id);
    if (number < FIRST || number > LAST) {
        return none_;
    }
    return images_[static_cast<size_t>(number - FIRST)];
}

QPixmap Skin::toolbar_image(ToolbarImage image) const {
    return this->image(SkinId::ToolbarStrip)
        .copy(static_cast<int>(image) * TOOLBAR_IMAGE_WIDTH, 0, TOOLBAR_IMAGE_WIDTH,
              TOOLBAR_IMAGE_HEIGHT);
}

const QPixmap& Skin::row_icon(int index) const {
    if (index < 0 || index >= ROW_ICON_COUNT) {
        return none_;
    }
    return row_icons_[static_cast<size_t>(index)];
}

}  // namespace zv
