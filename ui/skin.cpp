#include "ui/skin.h"

#include "ui/skin_art.h"

namespace zv {
namespace {

using namespace zv::skin;

// Every image of the table with the function that draws it; `first..last` share one drawing
// function that receives the resource number.
struct Entry {
    int first, last;
    QImage (*draw)(int id);
};

QImage switch_button(int id) {
    struct Caption {
        int normal;
        const char* text;
    };
    static constexpr Caption CAPTIONS[] = {
        {244, "BASS EQ"},     {246, "BASS PHASE"}, {248, "BYPASS"},       {250, "CONT. PLAY"},
        {252, "DE-EMPHASIS"}, {254, "ST ENHANCE"}, {273, "VIRTUAL ROOM"}, {277, "NOISE GATE"},
    };
    for (const Caption& c : CAPTIONS) {
        if (id == c.normal || id == c.normal + 1) {
            return switch_button_image(c.text, id == c.normal + 1, 93);
        }
    }
    // The noise gate's pressed image has a number of its own.
    return switch_button_image("NOISE GATE", true, 93);
}

constexpr Entry ENTRIES[] = {
    {113, 113, [](int) { return window_icon_image(32); }},
    {128, 152, [](int id) { return meter_image(id - 128); }},
    {153, 153, [](int) { return panel_background(); }},
    {154, 157, [](int id) { return arrow_image(id <= 155, id == 154 || id == 156); }},
    {158, 159, [](int id) { return clip_bar_image(id == 159); }},
    {160, 160, [](int) { return product_art_image(); }},
    {171, 174, [](int id) { return rate_indicator_image(id - 171); }},
    {175, 177, [](int id) { return channel_indicator_image(id - 175); }},
    {243, 243, [](int) { return small_font_image(); }},
    {244, 255, switch_button},
    {256, 257, [](int id) { return led_image(id == 257); }},
    {260, 260, [](int) { return transport_strip_image(); }},
    {261, 261, [](int) { return large_digits_image(); }},
    {273, 274, switch_button},
    {275, 276, [](int id) { return switch_button_image("INIT", id == 276, 34); }},
    {277, 277, switch_button},
    {278, 278, [](int) { return gate_led_image(0); }},
    {281, 315, menu_icon_image},
    {317, 318, menu_icon_image},
    {611, 611, [](int) { return toolbar_strip_image(); }},
    {612, 612, switch_button},
    {613, 615, [](int id) { return gate_led_image(id - 612); }},
};

constexpr int WINDOW_ICON_SIZES[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

Skin::Skin() {
    for (const Entry& e : ENTRIES) {
        for (int id = e.first; id <= e.last; ++id) {
            images_[static_cast<size_t>(id - FIRST)] = QPixmap::fromImage(e.draw(id));
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
    int n = static_cast<int>(id);
    if (n < FIRST || n > LAST) {
        return none_;
    }
    return images_[static_cast<size_t>(n - FIRST)];
}

const QPixmap& Skin::row_icon(int index) const {
    if (index < 0 || index >= ROW_ICON_COUNT) {
        return none_;
    }
    return row_icons_[static_cast<size_t>(index)];
}

}  // namespace zv
