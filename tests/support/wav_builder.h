// WAV files built byte by byte: RIFF chunks as given (odd ids, odd sizes, pad bytes or not),
// and the sample patterns the tests feed through readers and the processor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zv::test {

void put_u16(std::vector<uint8_t>& b, uint16_t v);
void put_u32(std::vector<uint8_t>& b, uint32_t v);
void put_id(std::vector<uint8_t>& b, const char* id);  // 4 bytes
uint32_t get_u32(const std::vector<uint8_t>& b, size_t at);

// A RIFF file assembled chunk by chunk; sizes are written as given, pad bytes as asked. The
// RIFF size field is filled in by bytes().
class RiffBuilder {
public:
    explicit RiffBuilder(const char* form = "WAVE");
    RiffBuilder& chunk(const char* id, const std::vector<uint8_t>& body, bool pad = true);
    // A 16-byte PCM "fmt " chunk (format tag 1).
    RiffBuilder& fmt(uint16_t channels, uint32_t rate, uint16_t bits, const char* id = "fmt ");
    std::vector<uint8_t> bytes() const;

private:
    std::vector<uint8_t> bytes_;
};

// A 16-bit PCM WAV: "fmt ", an optional odd-sized "LIST" before the data, "data", and an
// optional "LIST" chunk after it.
struct WavContent {
    int rate = 44100;
    int channels = 2;
    std::vector<int16_t> samples;  // interleaved
    bool list_before_data = false;
    std::vector<uint8_t> chunk_after_data;  // a "LIST" chunk of these bytes after the data
};
std::vector<uint8_t> make_wav_bytes(const WavContent& shape);
void write_wav(const std::filesystem::path& path, const WavContent& shape);

// A canonical 44-byte-header WAV with data_bytes bytes of silence.
void write_wav(const std::filesystem::path& path, uint32_t rate, uint16_t channels,
               uint32_t data_bytes, uint16_t bits = 16);

// Samples 0, 1, 2, ... as little-endian 16-bit values.
std::vector<uint8_t> ramp_samples(size_t count);
// A noisy but deterministic test signal, interleaved.
std::vector<int16_t> test_signal(size_t frames, int channels, int amplitude = 12000);
// round(amplitude * sin(i * step)) for i = 0 .. count-1.
std::vector<int16_t> sine_samples(size_t count, double amplitude, double step);
// Samples as little-endian bytes.
std::vector<uint8_t> sample_bytes(const std::vector<int16_t>& samples);

}  // namespace zv::test
