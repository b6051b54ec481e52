// Song levels: measure_peak (one WAV, used by the export before processing) and the Get Peak
// Level scan over the playlist's WAV entries, which runs on a worker thread under its
// progress dialog.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "sources/playlist.h"

namespace zv {

constexpr size_t PEAK_BLOCK_SAMPLES = 32768;
constexpr int PEAK_THRESHOLD = 30000;
constexpr int PEAK_FULL_SCALE = 32767;  // also "loud enough, no gain"

enum class PeakResult {
    Stored,      // peak_level holds the measured value
    Cancelled,   // cancelled between blocks, nothing stored
    Unreadable,  // the file cannot be opened
    NoData,      // no "data" chunk (or its header could not be read): peak_level unchanged
    ReadError    // a read failed before the end (a damaged disk): peak_level unchanged
};

// Largest magnitude of the song's samples (-32768 counts as 32768). A block of 32768 samples
// whose maximum so far is above 30000 ends the measurement with 32767; the short last block
// stores the maximum itself. Reads the data chunk only. A read error is never taken for the
// end of the song; why (when given) receives the reader's text for NoData and ReadError.
// stop (when given) is asked after every block: true ends it, Cancelled.
PeakResult measure_peak(SongEntry& entry, const std::string& wav_path,
                        const std::function<bool()>& stop = {}, std::string* why = nullptr);

// Largest magnitude of count samples, or max when that is larger.
int block_max(const int16_t* samples, size_t count, int max);

// The level measure_peak finds in a song, taken from its samples as they are made, in any
// amounts (the export's MP3 decoding feeds it what it writes): blocks of 32768 samples from
// the start of the data, the 30000 rule at the end of each full block.
class PeakTracker {
public:
    void add(const int16_t* samples, size_t count);
    int32_t level() const;  // of everything added so far, as if the song ended there
    // Takes in a tracker of the samples that follow this one's, when this one ends on the
    // edge of a block: then the level is that of all of them added to one tracker.
    void merge(const PeakTracker& later);

private:
    size_t in_block_ = 0;
    int max_ = 0;
    bool full_scale_ = false;
};

// How far a song's scan is: min(100, samples read x 2 x 100 / data bytes), 0 for an empty
// data chunk.
int peak_progress_percent(uint64_t samples_read, uint64_t data_bytes);

// What the peak dialog shows. All methods are called on the scan's worker thread.
class PeakScanObserver {
public:
    virtual ~PeakScanObserver() = default;
    // The scan of entry `song` has reached percent (peak_progress_percent).
    virtual void song_progress(int song, int percent) = 0;
    virtual void set_progress_range(int max) = 0;
    virtual void step_progress() = 0;
    // Last call; completed is false when the scan was cancelled.
    virtual void finished(bool completed) = 0;
};

// Measures every SOURCE_WAV entry in playlist order (MP3 entries keep their level). A file
// without a "data" chunk ends the whole scan; a file that cannot be read to its end keeps its
// level, like one that cannot be opened. Returns true unless cancelled.
bool run_peak_scan(Playlist& playlist, PeakScanObserver& observer, const std::atomic<bool>& cancel);

// The scan on its own thread. The playlist and observer must outlive the job; the playlist
// has no other user until finished() was called.
class PeakScanJob {
public:
    PeakScanJob(Playlist& playlist, PeakScanObserver& observer)
        : playlist_(playlist), observer_(observer) {}
    ~PeakScanJob() { join(); }
    PeakScanJob(const PeakScanJob&) = delete;
    PeakScanJob& operator=(const PeakScanJob&) = delete;

    void start();
    void cancel() { cancel_.store(true, std::memory_order_relaxed); }  // any thread
    void join();

private:
    Playlist& playlist_;
    PeakScanObserver& observer_;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace zv
