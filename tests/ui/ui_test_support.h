// Helpers of the window tests: a private folder and small WAV songs made on the spot.
#pragma once

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zv::test {

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zvui-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A 16-bit PCM WAV holding a sine tone.
inline void write_tone_wav(const std::filesystem::path& path, int rate, int channels,
                           double seconds, double frequency = 440.0) {
    const auto frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t data = frames * static_cast<uint32_t>(channels) * 2;
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(
            std::lround(12000.0 * std::sin(2.0 * M_PI * frequency * i / rate)));
        for (int c = 0; c < channels; ++c) {
            samples.push_back(v);
        }
    }
    auto u32 = [](std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<char*>(&v), 4); };
    auto u16 = [](std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<char*>(&v), 2); };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    u32(f, 36 + data);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, static_cast<uint16_t>(channels));
    u32(f, static_cast<uint32_t>(rate));
    u32(f, static_cast<uint32_t>(rate * channels * 2));
    u16(f, static_cast<uint16_t>(channels * 2));
    u16(f, 16);
    f.write("data", 4);
    u32(f, data);
    f.write(reinterpret_cast<const char*>(samples.data()), data);
}

}  // namespace zv::test
