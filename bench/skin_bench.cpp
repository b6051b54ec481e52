// Start-up cost of the skin: drawing every image the window uses, as a whole and by part.
// The whole skin is drawn once before the window shows, so it should take a few milliseconds.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "ui/skin.h"
#include "ui/skin_art.h"

namespace {

using namespace zv::skin;

void BM_WholeSkin(benchmark::State& state) {
    for (auto _ : state) {
        zv::Skin skin;
        benchmark::DoNotOptimize(&skin);
    }
}

void BM_PanelBackground(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(panel_background());
    }
}

void BM_MetersLampsKeysFonts(benchmark::State& state) {
    for (auto _ : state) {
        for (int k = 0; k <= 24; ++k) {
            benchmark::DoNotOptimize(meter_image(k));
        }
        for (int lit = 0; lit < 4; ++lit) {
            benchmark::DoNotOptimize(rate_indicator_image(lit));
            benchmark::DoNotOptimize(gate_led_image(lit));
        }
        benchmark::DoNotOptimize(led_image(true));
        benchmark::DoNotOptimize(switch_button_image("DE-EMPHASIS", true, 93));
        benchmark::DoNotOptimize(transport_strip_image());
        benchmark::DoNotOptimize(small_font_image());
        benchmark::DoNotOptimize(large_digits_image());
    }
}

void BM_MenuAndToolbarIcons(benchmark::State& state) {
    for (auto _ : state) {
        for (int id = static_cast<int>(zv::SkinId::MenuOpenPlaylist);
             id <= static_cast<int>(zv::SkinId::MenuDelete); ++id) {
            benchmark::DoNotOptimize(menu_icon_image(static_cast<zv::SkinId>(id)));
        }
        benchmark::DoNotOptimize(toolbar_strip_image());
    }
}

void BM_WindowIcons(benchmark::State& state) {
    for (auto _ : state) {
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            benchmark::DoNotOptimize(window_icon_image(size));
        }
    }
}

void BM_ProductArt(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(product_art_image());
    }
}

BENCHMARK(BM_WholeSkin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanelBackground)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetersLampsKeysFonts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MenuAndToolbarIcons)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowIcons)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProductArt)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Pixmaps need an application; no display is needed to draw them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
