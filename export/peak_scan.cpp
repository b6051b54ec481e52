#include "export/peak_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sources/open_file.h"
#include "sources/wav_source.h"

namespace zv {
namespace {

int block_max(const int16_t* samples, size_t count, int max) {
    for (size_t i = 0; i < count; ++i)
        max = std::max(max, std::abs(static_cast<int>(samples[i])));
    return max;
}

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

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace

PeakResult measure_peak(SongEntry& entry, const std::string& wav_path,
                        const std::atomic<bool>* cancel, std::string* why) {
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
        if (cancelled(cancel))
            return PeakResult::Cancelled;
    }
}

std::string peak_progress_text(int song, uint64_t samples_read, uint64_t data_bytes) {
    int percent = 0;
    if (data_bytes > 0) {
        percent = static_cast<int>(std::min<uint64_t>(100, samples_read * 2 * 100 / data_bytes));
    }
    char text[64];
    std::snprintf(text, sizeof text, TEXT_PEAK_PROGRESS, song, percent);
    return text;
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
            observer.set_text(PEAK_DIALOG_TEXT,
                              peak_progress_text(i, read_samples, reader.data_bytes()));
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
