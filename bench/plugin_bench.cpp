// CPU of the chain as a plugin, per stereo stream at 48 kHz in 256-frame host blocks, against
// the engine alone (process_block on the program's own 4096-frame blocks) in the same process:
// the plugins' float conversions, block splitting and control checks should cost under 10 %.
// Also the resampled path (96 kHz) and silence after loud program (no denormal stall).
// The runs alternate over several rounds and the median of each is reported, in thread CPU
// time, so another process on the machine moves both alike.
#include <dlfcn.h>
#include <ladspa.h>
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "engine/processor.h"

namespace {

constexpr int RATE = 48000;
constexpr int SECONDS = 4;
constexpr int HOST_BLOCK = 256;
constexpr int ROUNDS = 7;

double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Music-like program: bass, chord tones with tremolo, noise bursts; the two channels differ.
std::vector<int16_t> program(int rate) {
    std::vector<int16_t> pcm(static_cast<size_t>(rate) * SECONDS * 2);
    uint32_t noise = 12345;
    auto white = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return static_cast<double>(static_cast<int32_t>(noise)) / 2147483648.0;
    };
    const double two_pi = 2.0 * std::numbers::pi;
    for (int i = 0; i < rate * SECONDS; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double beat = std::fmod(t * 2.0, 1.0);
        const double bass =
            7000.0 * std::sin(two_pi * (55.0 + 27.5 * (static_cast<int>(t) % 2)) * t);
        double chord = 0.0;
        for (double f : {261.6, 329.6, 392.0, 523.3}) {
            chord += 1500.0 * std::sin(two_pi * f * t) * (0.6 + 0.4 * std::sin(two_pi * 0.5 * t));
        }
        const double hat = beat < 0.05 ? 5000.0 * white() * (1.0 - beat / 0.05) : 0.0;
        pcm[2 * i] = static_cast<int16_t>(
            std::clamp(bass + chord + hat + 300.0 * white(), -32768.0, 32767.0));
        pcm[2 * i + 1] = static_cast<int16_t>(
            std::clamp(bass + 0.8 * chord - 0.5 * hat + 300.0 * white(), -32768.0, 32767.0));
    }
    return pcm;
}

struct Floats {
    std::vector<float> left, right;
};
Floats to_floats(const std::vector<int16_t>& pcm) {
    Floats f;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        f.left.push_back(pcm[i] / 32768.0f);
        f.right.push_back(pcm[i + 1] / 32768.0f);
    }
    return f;
}

// The engine as the export runs it (4096-frame blocks), or in the host's blocks.
double engine_seconds(const std::vector<int16_t>& pcm, size_t block = 4096) {
    zv::enable_flush_denormals();
    auto p = zv::make_processor();
    zv::processor_startup(*p);
    zv::reset_processor_state(*p);
    zv::change_sample_rate(*p, RATE);
    std::vector<int16_t> out(pcm.size());
    const double t0 = thread_seconds();
    for (size_t off = 0; off < pcm.size(); off += 2 * block) {
        const size_t n = std::min<size_t>(2 * block, pcm.size() - off);
        zv::process_block(*p, static_cast<int32_t>(n), &pcm[off], &out[off]);
    }
    return thread_seconds() - t0;
}

void* plugin_object() {
    static void* object =
        dlopen(ZV_PLUGIN_LV2_PATH "/zelvonic-chain.lv2/zelvonic-chain.so", RTLD_NOW | RTLD_LOCAL);
    return object;
}

// The LV2 stereo plugin with its start-up controls (control ports left unconnected keep
// them), fed in host blocks.
double lv2_seconds(const Floats& in, int rate, int block) {
    auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
        dlsym(plugin_object(), "lv2_descriptor"));
    const LV2_Descriptor* d = entry(0);
    const LV2_Feature* none[] = {nullptr};
    LV2_Handle h = d->instantiate(d, rate, ZV_PLUGIN_LV2_PATH "/zelvonic-chain.lv2/", none);
    if (h == nullptr) {
        std::fprintf(stderr, "the LV2 plugin refused %d Hz\n", rate);
        return 0.0;
    }
    d->activate(h);
    std::vector<float> out_l(in.left.size()), out_r(in.right.size());
    const double t0 = thread_seconds();
    for (size_t off = 0; off < in.left.size(); off += static_cast<size_t>(block)) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block, in.left.size() - off));
        d->connect_port(h, 0, const_cast<float*>(&in.left[off]));
        d->connect_port(h, 1, const_cast<float*>(&in.right[off]));
        d->connect_port(h, 2, &out_l[off]);
        d->connect_port(h, 3, &out_r[off]);
        d->run(h, n);
    }
    const double t = thread_seconds() - t0;
    d->cleanup(h);
    return t;
}

double ladspa_seconds(const Floats& in, int rate, int block) {
    auto entry =
        reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(plugin_object(), "ladspa_descriptor"));
    const LADSPA_Descriptor* d = entry(0);
    LADSPA_Handle h = d->instantiate(d, static_cast<unsigned long>(rate));
    std::vector<float> controls(d->PortCount, 0.0f);
    for (unsigned long i = 4; i < d->PortCount; ++i) {
        d->connect_port(h, i, &controls[i]);
    }
    d->activate(h);
    std::vector<float> out_l(in.left.size()), out_r(in.right.size());
    const double t0 = thread_seconds();
    for (size_t off = 0; off < in.left.size(); off += static_cast<size_t>(block)) {
        const unsigned long n = std::min<size_t>(block, in.left.size() - off);
        d->connect_port(h, 0, const_cast<float*>(&in.left[off]));
        d->connect_port(h, 1, const_cast<float*>(&in.right[off]));
        d->connect_port(h, 2, &out_l[off]);
        d->connect_port(h, 3, &out_r[off]);
        d->run(h, n);
    }
    const double t = thread_seconds() - t0;
    d->cleanup(h);
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    if (plugin_object() == nullptr) {
        std::fprintf(stderr, "plugin_bench: %s\n", dlerror());
        return 1;
    }
    const std::vector<int16_t> pcm = program(RATE);
    const Floats floats = to_floats(pcm);
    const std::vector<int16_t> pcm96 = program(2 * RATE);
    const Floats floats96 = to_floats(pcm96);
    // Loud program then as long again of silence: the chain's tails decaying.
    Floats tail = floats;
    tail.left.insert(tail.left.end(), floats.left.size(), 0.0f);
    tail.right.insert(tail.right.end(), floats.right.size(), 0.0f);

    std::vector<double> engine, engine_small, lv2, ladspa, lv2_96, silent;
    for (int r = 0; r < ROUNDS; ++r) {
        engine.push_back(engine_seconds(pcm));
        engine_small.push_back(engine_seconds(pcm, HOST_BLOCK));
        lv2.push_back(lv2_seconds(floats, RATE, HOST_BLOCK));
        ladspa.push_back(ladspa_seconds(floats, RATE, HOST_BLOCK));
        lv2_96.push_back(lv2_seconds(floats96, 2 * RATE, HOST_BLOCK));
        silent.push_back(lv2_seconds(tail, RATE, HOST_BLOCK));
    }
    const double audio = SECONDS;
    const double e = median(engine), es = median(engine_small), l = median(lv2),
                 la = median(ladspa), h = median(lv2_96);
    const double s = median(silent) - l;  // the silent half alone
    std::printf("stereo stream, 48 kHz, start-up settings, median of %d rounds (thread CPU)\n",
                ROUNDS);
    std::printf("  engine alone (4096-frame blocks)     %7.1fx real time\n", audio / e);
    std::printf("  engine alone, %d-frame blocks        %7.1fx real time   %+5.1f %% CPU\n",
                HOST_BLOCK, audio / es, 100.0 * (es / e - 1.0));
    std::printf("  LV2 plugin, %d-frame host blocks     %7.1fx real time   %+5.1f %% CPU\n",
                HOST_BLOCK, audio / l, 100.0 * (l / e - 1.0));
    std::printf("  LADSPA plugin, %d-frame host blocks  %7.1fx real time   %+5.1f %% CPU\n",
                HOST_BLOCK, audio / la, 100.0 * (la / e - 1.0));
    std::printf("  LV2 plugin at 96 kHz (resampled)     %7.1fx real time\n", audio / h);
    std::printf("  silence after program / program      %7.2f  (a denormal stall is 10 or more)\n",
                s / l);
    return 0;
}
