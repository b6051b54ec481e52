// Helpers of the window tests: small WAV songs made on the spot, beside the shared helpers
// (scratch folders) of tests/support.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv::test {

// A 16-bit PCM WAV holding a sine tone.
inline void write_tone_wav(const std::filesystem::path& path, int rate, int channels,
                           double seconds, double frequency = 440.0) {
    const auto frames = static_cast<uint32_t>(seconds * rate);
    WavContent shape;
    shape.rate = rate;
    shape.channels = channels;
    shape.samples.reserve(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(
            std::lround(12000.0 * std::sin(2.0 * M_PI * frequency * i / rate)));
        for (int c = 0; c < channels; ++c) {
            shape.samples.push_back(v);
        }
    }
    write_wav(path, shape);
}

}  // namespace zv::test
