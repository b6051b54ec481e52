// The panel's repaint, which runs after every audio buffer (target: under 2 ms for a full
// frame). Drawn on Qt's offscreen platform with the real skin and renderer: a frame with the
// cached controls layer (the usual case during playback: meters and lamps move), one whose
// controls changed (the layer is rebuilt), both at 1x and 2x.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "engine/processor.h"
#include "ui/display_model.h"
#include "ui/panel_model.h"
#include "ui/panel_renderer.h"
#include "ui/skin.h"

namespace {

using namespace zv;

struct NoTimer final : RepeatTimer {
    void start(int) override {}
    void stop() override {}
};
struct NoHost final : PanelHost {
    void run_command(int) override {}
    void press_seek(int) override {}
    void release_seek() override {}
    bool engine_playing() const override { return true; }
    void redraw_panel() override {}
};

struct Scene {
    Scene() : model(owned.view(), host, timer), renderer(skin) {
        processor_startup(*owned.processor);
        inputs.engine_state = 1;
        inputs.output_open = true;
        inputs.song_count = 1;
        inputs.current_rate = 44100;
        inputs.current_channels = 2;
        inputs.played_bytes = 4 * 44100 * 75;
    }
    // A block of loud music: every meter moves.
    MeterSnapshot block(int n) const {
        MeterSnapshot m;
        const double v = 20000 + 500 * (n % 20);
        m.input_peak_l = m.input_peak_r = m.output_peak_l = m.output_peak_r = v;
        m.agc_gain_lo = m.agc_gain_hi = v / 2;
        m.hf_gain_reduction_l = m.enhancer_peak = m.hf_limit_peak = v / 3;
        m.band_gain_reduction_peak.fill(v / 4);
        m.band_clip_flag[n % 6] = 1;
        m.gate_indicator.fill(n % 4);
        return m;
    }
    void frame(int n, int scale) {
        meters.absorb(block(n));
        const MeterModel::Frame f = meters.take_frame();
        renderer.render(image, scale, model, make_display_frame(inputs, f), f);
    }

    Skin skin;
    OwnedProgramState owned;
    NoHost host;
    NoTimer timer;
    PanelModel model;
    PanelRenderer renderer;
    MeterModel meters;
    DisplayInputs inputs;
    QImage image;
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_PanelRepaint(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    Scene& s = scene();
    int n = 0;
    s.frame(n, scale);
    for (auto _ : state) {
        s.frame(++n, scale);
        benchmark::DoNotOptimize(s.image.constBits());
    }
}
BENCHMARK(BM_PanelRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_PanelRepaintControlsChanged(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    Scene& s = scene();
    int n = 0;
    for (auto _ : state) {
        // A held arrow: a value changes every frame, so the controls layer is redrawn.
        s.owned.processor->params.bass_eq_freq_hz = 50 + 5 * (++n % 20);
        s.frame(n, scale);
        benchmark::DoNotOptimize(s.image.constBits());
    }
}
BENCHMARK(BM_PanelRepaintControlsChanged)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
