// The MP3 opening steps on a memory file, then a few frames through the decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "sources/mp3_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t rate = 0, channels = 0;
    int64_t pcm_bytes = -1;
    int result = zv::probe_mp3(data, size, rate, channels, pcm_bytes);
    if (result != 0 && result != 1) {
        std::abort();
    }
    if (result == 1 && (pcm_bytes < 0 || (channels != 1 && channels != 2))) {
        std::abort();
    }
    zv::Mp3Decoder decoder;
    bool opened = decoder.open(std::make_unique<zv::MemoryByteReader>(data, size));
    if (opened != (result == 1)) {
        std::abort();  // the decoder opens exactly what the probe accepts
    }
    if (opened) {
        int16_t left[zv::MP3_FRAME_SAMPLES];
        int16_t right[zv::MP3_FRAME_SAMPLES];
        for (int frame = 0; frame < 64; ++frame) {
            int n = decoder.read_frame(left, right);
            if (n > zv::MP3_FRAME_SAMPLES) {
                std::abort();
            }
            if (n <= 0) {
                break;
            }
        }
    }
    return 0;
}
