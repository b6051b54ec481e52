// skin_sheet: renders every skin image onto one contact sheet, enlarged without smoothing,
// for checking the artwork by eye. It also paints the panel as the window shows it, through
// the window's own renderer (meters, lamps, keys, the time and a value in every field), so
// captions and fields can be checked against the controls.
//
//   QT_QPA_PLATFORM=offscreen skin_sheet OUT.png [--scale N] [--panel PANEL.png]
//                                            [--crop X,Y,W,H]   (of the panel, client pixels)
//                                            [--no-panels]      (the small images only)
//                                            [--icons]          (the icons only)
//                                            [--product ART.png] (the About picture, 1x)
#include "engine/processor.h"
#include "playback/audio_engine.h"
#include "settings/program_state.h"
#include "ui/panel_renderer.h"
#include "ui/skin.h"
#include "ui/skin_art.h"
#include "ui/skin_fonts.h"
#include "ui/skin_palette.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zv;
using namespace zv::skin;

namespace {

class NoHost final : public PanelHost {
public:
    void run_command(int) override {}
    void press_seek(int) override {}
    void release_seek() override {}
    bool engine_playing() const override { return true; }
    void redraw_panel() override {}
};

class NoTimer final : public RepeatTimer {
public:
    void start(int) override {}
    void stop() override {}
};

// The panel as the window paints it while a song plays, at client coordinates 0..311 (the
// toolbar rows blank): the start-up settings with the noise gate on, BYPASS and Play held
// down, the Stereo Enh. Level control's down arrow held, the meters at a spread of levels.
QImage mock_panel(const Skin& skin) {
    OwnedProgramState owned;
    processor_startup(*owned.processor);
    owned.processor->params.switches.noise_gate = 1;
    Playlist playlist;
    playlist.continuous_playback = 1;
    NoHost host;
    NoTimer timer;
    PanelModel model(owned.view(), host, timer);
    auto press = [&model](ClientPoint p) { model.left_down(p, {}); };
    const PanelButtonRow& bypass = panel_button(PanelButtonId::Bypass);
    press({bypass.x + 1, bypass.y + 1});
    const TransportRow& play = TRANSPORT_BUTTONS[static_cast<size_t>(TransportId::Play)];
    press({play.x + 1, TRANSPORT_Y + 1});
    const ClientPoint level = control_position(control_index(GeneralControl::StereoLevel));
    press({level.x + DOWN_ARROW_FROM, level.y});

    DisplayInputs in;
    in.switches = owned.processor->params.switches;
    in.continuous_playback = playlist.continuous_playback;
    in.engine_state = ENGINE_PLAYING;
    in.output_open = true;
    in.song_count = 3;
    in.played_bytes = 4LL * 44100 * 83;  // 01:23
    in.current_rate = 44100;
    in.current_channels = 2;
    MeterModel::Frame meters;
    meters.meter = {9, 20, 22, 6, 4, 3, 14, 2, 5, 8, 12, 17, 23, 24, 19};
    meters.band_clip[5] = true;
    meters.clip_l = true;
    meters.gate_indicator = {3, 3, 1, 1, 0, 0};

    QImage frame;
    PanelRenderer renderer(skin);
    renderer.render(frame, 1, model, make_display_frame(in, meters), meters);
    QImage img(PANEL_WIDTH, PANEL_HEIGHT - 3, QImage::Format_RGB32);
    img.fill(qRgb(0xe8, 0xe8, 0xe8));
    QPainter p(&img);
    p.drawImage(0, PANEL_TOP, frame);
    return img;
}

// A sheet of every image, captioned with its number, in rows that wrap at the sheet width.
class Sheet {
public:
    explicit Sheet(int width) : width_(width) {}

    void place(const QImage& img, const std::string& label) {
        int w = std::max(img.width(), text_width(label, LABEL) + 2);
        if (x_ + w > width_) {
            newline();
        }
        items_.push_back({img, label, x_, y_});
        x_ += w + 6;
        row_h_ = std::max(row_h_, img.height() + 11);
    }
    void newline() {
        x_ = 4;
        y_ += row_h_ + 4;
        row_h_ = 0;
    }
    QImage render(int scale) {
        newline();
        Canvas canvas(width_, y_, qRgb(0x8a, 0x8e, 0x93));
        for (const Item& it : items_) {
            draw_text(canvas, it.x, it.y, it.label, LABEL);
        }
        QImage out = canvas.take();
        QPainter p(&out);
        for (const Item& it : items_) {
            p.drawImage(it.x, it.y + 10, it.img);
        }
        p.end();
        return out.scaled(out.width() * scale, out.height() * scale);
    }

private:
    static constexpr TextStyle LABEL{PixelFont::Caption, qRgb(0x10, 0x10, 0x10), false};
    struct Item {
        QImage img;
        std::string label;
        int x, y;
    };
    int width_;
    int x_ = 4, y_ = 0, row_h_ = 0;
    std::vector<Item> items_;
};

void place(Sheet& sheet, const Skin& skin, SkinId id) {
    sheet.place(skin.image(id).toImage(), std::to_string(static_cast<int>(id)));
}

void place_small(Sheet& sheet, const Skin& skin) {
    for (int level = 0; level < 25; ++level) {
        sheet.place(skin.meter(level).toImage(), std::to_string(level));
    }
    sheet.newline();
    using S = SkinId;
    for (SkinId id : {S::ArrowUpPressed, S::ArrowUp, S::ArrowDownPressed, S::ArrowDown,
                      S::ClipBarOff, S::ClipBarOn, S::LedOff, S::LedOn, S::GateLed0, S::GateLed1,
                      S::GateLed2, S::GateLed3, S::RateNone, S::Rate32k, S::Rate44k, S::Rate48k,
                      S::ChannelsNone, S::ChannelsStereo, S::ChannelsMono}) {
        place(sheet, skin, id);
    }
    sheet.newline();
    for (const PanelButtonRow& b : PANEL_BUTTONS) {
        place(sheet, skin, b.normal_image);
        place(sheet, skin, b.pressed_image);
    }
    sheet.newline();
    for (SkinId id : {S::TransportStrip, S::SmallFont, S::LargeDigits}) {
        place(sheet, skin, id);
    }
    sheet.newline();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: skin_sheet OUT.png [--scale N] [--panel PANEL.png] [--crop X,Y,W,H]\n"
                     "                  [--no-panels | --icons] [--product ART.png]\n");
        return 2;
    }
    int scale = 2;
    const char* panel_out = nullptr;
    const char* product_out = nullptr;
    QRect crop(0, 0, PANEL_WIDTH, PANEL_HEIGHT - 3);
    bool panels = true;
    bool icons_only = false;
    for (int i = 2; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--no-panels") == 0) {
            panels = false;
            --i;
        } else if (std::strcmp(argv[i], "--icons") == 0) {
            panels = false;
            icons_only = true;
            --i;
        } else if (i + 1 >= argc) {
            break;
        } else if (std::strcmp(argv[i], "--scale") == 0) {
            scale = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--panel") == 0) {
            panel_out = argv[i + 1];
        } else if (std::strcmp(argv[i], "--product") == 0) {
            product_out = argv[i + 1];
        } else if (std::strcmp(argv[i], "--crop") == 0) {
            int x = 0, y = 0, w = 0, h = 0;
            if (std::sscanf(argv[i + 1], "%d,%d,%d,%d", &x, &y, &w, &h) == 4) {
                crop = QRect(x, y, w, h);
            }
        }
    }

    Skin skin;
    QImage panel = mock_panel(skin);
    QImage shown = panel.copy(crop);
    if (panel_out && !shown.scaled(shown.width() * scale, shown.height() * scale).save(panel_out)) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", panel_out);
        return 1;
    }

    if (product_out && !skin.image(SkinId::ProductArt).save(product_out)) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", product_out);
        return 1;
    }

    Sheet sheet(icons_only ? 470 : 760);
    if (panels) {
        sheet.place(panel, "panel as shown");
        sheet.newline();
        sheet.place(skin.image(SkinId::PanelBackground).toImage(), "153 background");
        sheet.newline();
    }
    if (!icons_only) {
        place_small(sheet, skin);
    }
    for (int id = static_cast<int>(SkinId::MenuOpenPlaylist);
         id <= static_cast<int>(SkinId::MenuDelete); ++id) {
        if (!skin.image(static_cast<SkinId>(id)).isNull()) {
            place(sheet, skin, static_cast<SkinId>(id));
        }
    }
    sheet.newline();
    sheet.place(skin.image(SkinId::ToolbarStrip).toImage(), "611 toolbar");
    for (int i = 0; i < ROW_ICON_COUNT; ++i) {
        sheet.place(skin.row_icon(i).toImage(), "row " + std::to_string(i));
    }
    sheet.newline();
    for (int size : {16, 24, 32, 48, 64, 128}) {
        sheet.place(skin.window_icon().pixmap(size).toImage(), std::to_string(size));
    }
    if (!icons_only) {
        sheet.place(skin.image(SkinId::ProductArt).toImage(), "160 product");
    }

    if (!sheet.render(scale).save(argv[1])) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
