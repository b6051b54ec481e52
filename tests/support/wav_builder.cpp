#include "tests/support/wav_builder.h"

#include <cmath>

#include "tests/support/file_bytes.h"

namespace zv::test {

void put_u16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void put_u32(std::vector<uint8_t>& b, uint32_t v) {
    put_u16(b, static_cast<uint16_t>(v));
    put_u16(b, static_cast<uint16_t>(v >> 16));
}

void put_id(std::vector<uint8_t>& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}

uint32_t get_u32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

RiffBuilder::RiffBuilder(const char* form) {
    put_id(bytes_, "RIFF");
    put_u32(bytes_, 0);
    put_id(bytes_, form);
}

RiffBuilder& RiffBuilder::chunk(const char* id, const std::vector<uint8_t>& body, bool pad) {
    put_id(bytes_, id);
    put_u32(bytes_, static_cast<uint32_t>(body.size()));
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    if (pad && (body.size() & 1) != 0) {
        bytes_.push_back(0);
    }
    return *this;
}

RiffBuilder& RiffBuilder::fmt(uint16_t channels, uint32_t rate, uint16_t bits, const char* id) {
    std::vector<uint8_t> b;
    put_u16(b, 1);
    put_u16(b, channels);
    put_u32(b, rate);
    put_u32(b, rate * channels * bits / 8);
    put_u16(b, static_cast<uint16_t>(channels * bits / 8));
    put_u16(b, bits);
    return chunk(id, b);
}

std::vector<uint8_t> RiffBuilder::bytes() const {
    std::vector<uint8_t> b = bytes_;
    const auto riff = static_cast<uint32_t>(b.size() - 8);
    for (size_t i = 0; i < 4; ++i) {
        b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
    }
    return b;
}

std::vector<uint8_t> make_wav_bytes(const WavContent& s) {
    RiffBuilder riff;
    riff.fmt(static_cast<uint16_t>(s.channels), static_cast<uint32_t>(s.rate), 16);
    if (s.list_before_data) {
        riff.chunk("LIST", {'I', 'N', 'F', 'O', 'x'});  // odd: a pad byte follows
    }
    riff.chunk("data", sample_bytes(s.samples));
    if (!s.chunk_after_data.empty()) {
        riff.chunk("LIST", s.chunk_after_data, false);
    }
    return riff.bytes();
}

void write_wav(const std::filesystem::path& path, const WavContent& shape) {
    write_bytes(path, make_wav_bytes(shape));
}

void write_wav(const std::filesystem::path& path, uint32_t rate, uint16_t channels,
               uint32_t data_bytes, uint16_t bits) {
    RiffBuilder riff;
    riff.fmt(channels, rate, bits);
    riff.chunk("data", std::vector<uint8_t>(data_bytes));
    write_bytes(path, riff.bytes());
}

std::vector<uint8_t> ramp_samples(size_t count) {
    std::vector<uint8_t> b;
    b.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        put_u16(b, static_cast<uint16_t>(i));
    }
    return b;
}

std::vector<int16_t> test_signal(size_t frames, int channels, int amplitude) {
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

std::vector<int16_t> sine_samples(size_t count, double amplitude, double step) {
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i) {
        s[i] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(static_cast<double>(i) * step)));
    }
    return s;
}

std::vector<uint8_t> sample_bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b;
    b.reserve(samples.size() * 2);
    for (int16_t v : samples) {
        put_u16(b, static_cast<uint16_t>(v));
    }
    return b;
}

}  // namespace zv::test
