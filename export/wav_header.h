// Writing WAV headers: the plain 44-byte header of a decoded MP3, and the size fields of a
// header copied from a source, set to what was actually written after it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zv {

constexpr size_t PCM_WAV_HEADER_BYTES = 44;

struct WavFormat {
    int32_t rate = 44100;
    int32_t channels = 2;
};

// RIFF/WAVE, a 16-byte "fmt " chunk for 16-bit PCM, and the "data" chunk header.
std::array<uint8_t, PCM_WAV_HEADER_BYTES> make_pcm_wav_header(WavFormat format,
                                                              uint32_t data_bytes);

// header ends with the "data" chunk's 8-byte header: its size becomes data_bytes and the RIFF
// size the whole file's size minus 8 (with the pad byte an odd data size needs).
void set_wav_header_sizes(std::vector<uint8_t>& header, uint32_t data_bytes);

}  // namespace zv
