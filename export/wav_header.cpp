#include "export/wav_header.h"

#include <cstring>

namespace zv {
namespace {

void put_u32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
void put_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

std::array<uint8_t, PCM_WAV_HEADER_BYTES> make_pcm_wav_header(WavFormat format,
                                                              uint32_t data_bytes) {
    std::array<uint8_t, PCM_WAV_HEADER_BYTES> h{};
    uint16_t channels = static_cast<uint16_t>(format.channels);
    uint32_t rate = static_cast<uint32_t>(format.rate);
    std::memcpy(h.data(), "RIFF", 4);
    put_u32(h.data() + 4, 36 + data_bytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put_u32(h.data() + 16, 16);
    put_u16(h.data() + 20, 1);  // PCM
    put_u16(h.data() + 22, channels);
    put_u32(h.data() + 24, rate);
    put_u32(h.data() + 28, rate * channels * 2u);
    put_u16(h.data() + 32, static_cast<uint16_t>(channels * 2u));
    put_u16(h.data() + 34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    put_u32(h.data() + 40, data_bytes);
    return h;
}

void set_wav_header_sizes(std::vector<uint8_t>& header, uint32_t data_bytes) {
    if (header.size() < 20)
        return;
    put_u32(header.data() + header.size() - 4, data_bytes);
    uint64_t riff = header.size() - 8 + static_cast<uint64_t>(data_bytes) + (data_bytes & 1u);
    put_u32(header.data() + 4, static_cast<uint32_t>(riff));
}

}  // namespace zv
