// The WAV header walk on arbitrary bytes: the probe, the seek to the first sample and the
// block reads must stay inside the input and agree with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sources/riff_chunks.h"
#include "sources/wav_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t rate = 0, channels = 0;
    uint32_t data_bytes = 0;
    int result = zv::probe_wav(data, size, rate, channels, data_bytes);
    if (result < -1 || result > 1) {
        std::abort();
    }
    zv::MemoryByteReader in(data, size);
    zv::WavDataSpan span = zv::seek_to_wav_data(in);
    if (result == 1) {
        // Whatever the probe accepts, the seek finds at the same place.
        if (!span.found || span.headerless || span.data_bytes != data_bytes ||
            span.data_offset > size || (rate != 32000 && rate != 44100 && rate != 48000) ||
            (channels != 1 && channels != 2)) {
            std::abort();
        }
        uint8_t block[512];
        uint64_t total = 0;
        size_t n;
        while ((n = in.read(block, sizeof block)) > 0 && total < span.data_bytes) {
            total += n;
        }
    }
    return 0;
}
