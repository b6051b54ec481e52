// Songs through libsndfile on arbitrary bytes, under each name the playlist takes them by:
// the probe, the Ogg page walk, and the reader the chain reads from (resampling and dither
// included) must stay inside the input, end, and agree with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sources/chain_rate_reader.h"
#include "sources/ogg_pages.h"
#include "sources/sndfile_source.h"

namespace {

constexpr const char* NAMES[] = {"f.flac", "f.ogg", "f.opus", "f.wav"};
constexpr uint64_t MAX_FRAMES = 1u << 20;  // enough for any input the fuzzer makes quickly

}  // namespace

// libsndfile 1.2 leaves the Vorbis decoder's setup allocated when a stream's headers turn out
// malformed after the first one (its open fails without vorbis_info_clear): a few KB per such
// file, in the library, not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const char* name = NAMES[data[0] % 4];
    ++data;
    --size;

    zv::MemoryByteReader pages(data, size);
    std::string why;
    zv::check_ogg_pages(pages, why);

    zv::SndfileSongInfo info;
    const bool probed = zv::probe_sndfile(data, size, name, info);

    zv::ChainRateReader reader;
    if (!reader.open(std::make_unique<zv::MemoryByteReader>(data, size), name)) {
        return 0;
    }
    // Whatever a reader opens, the probe takes too, with the same format.
    if (!probed || info.rate != reader.song().rate || info.channels != reader.channels() ||
        (reader.channels() != 1 && reader.channels() != 2)) {
        std::abort();
    }
    std::vector<int16_t> block(4096 * 2);
    uint64_t frames = 0;
    while (frames < MAX_FRAMES) {
        const size_t got = reader.read(block.data(), 4096);
        frames += got;
        if (got < 4096) {
            break;
        }
    }
    // A reader never gives more than the song's length, and less only when it failed.
    if (frames > reader.frames() ||
        (frames < reader.frames() && frames < MAX_FRAMES && !reader.failed())) {
        std::abort();
    }
    return 0;
}
