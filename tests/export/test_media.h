// Small WAV files made on the fly, a scratch folder per test, and file reading helpers.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace zv::test {

inline void put_u32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put_u16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put_id(std::vector<uint8_t>& b, const char* id) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(id[i]));
}

struct WavSpec {
    int rate = 44100;
    int channels = 2;
    std::vector<int16_t> samples;  // interleaved
    bool list_before_data = false;
    std::vector<uint8_t> chunk_after_data;  // a "LIST" chunk of these bytes after the data
};

inline std::vector<uint8_t> make_wav_bytes(const WavSpec& s) {
    std::vector<uint8_t> b;
    put_id(b, "RIFF");
    put_u32(b, 0);
    put_id(b, "WAVE");
    put_id(b, "fmt ");
    put_u32(b, 16);
    put_u16(b, 1);
    put_u16(b, static_cast<uint16_t>(s.channels));
    put_u32(b, static_cast<uint32_t>(s.rate));
    put_u32(b, static_cast<uint32_t>(s.rate * s.channels * 2));
    put_u16(b, static_cast<uint16_t>(s.channels * 2));
    put_u16(b, 16);
    if (s.list_before_data) {
        put_id(b, "LIST");
        put_u32(b, 5);  // odd: a pad byte follows
        for (char c : {'I', 'N', 'F', 'O', 'x', '\0'})
            b.push_back(static_cast<uint8_t>(c));
    }
    put_id(b, "data");
    put_u32(b, static_cast<uint32_t>(s.samples.size() * 2));
    for (int16_t v : s.samples)
        put_u16(b, static_cast<uint16_t>(v));
    if (!s.chunk_after_data.empty()) {
        put_id(b, "LIST");
        put_u32(b, static_cast<uint32_t>(s.chunk_after_data.size()));
        for (uint8_t c : s.chunk_after_data)
            b.push_back(c);
    }
    uint32_t riff = static_cast<uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(riff >> (8 * i));
    return b;
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::vector<uint8_t> b;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        b.insert(b.end(), buf, buf + n);
    std::fclose(f);
    return b;
}

inline uint32_t get_u32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A noisy but deterministic test signal.
inline std::vector<int16_t> test_signal(size_t frames, int channels, int amplitude = 12000) {
    std::vector<int16_t> s(frames * static_cast<size_t>(channels));
    uint32_t state = 12345;
    for (size_t i = 0; i < s.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        double tone = std::sin(static_cast<double>(i / static_cast<size_t>(channels)) * 0.05);
        int noise = static_cast<int>((state >> 16) % 2001) - 1000;
        s[i] = static_cast<int16_t>(tone * (amplitude - 1000) + noise * (amplitude > 1000 ? 1 : 0));
    }
    return s;
}

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zv-export-test-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        path_ = ::mkdtemp(name.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace zv::test
