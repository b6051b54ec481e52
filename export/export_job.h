// The export job: turns one playlist entry into a processed WAV, MP3, FLAC or Opus file. It works
// on copies in the private temp folder, measures the level when asked, runs the processor over the
// song block by block with latency compensation, encodes MP3 when asked and moves the finished file
// to its target by a rename in the target's folder.
//
// Threads: run() does all the work on the calling thread; start() runs it on a new worker
// thread. Every ExportObserver method is called on the thread that runs the job. cancel(),
// cancel_and_discard(), cancel_requested() and take_meters() may be called from any thread; a
// cancel given before run() or start() ends the job at once, Cancelled, with nothing
// written. The Processor, the observer and the throttle settings must outlive the job, and
// nobody else may use the Processor until finished() was called. take_meters() has one
// caller (the window's thread).
//
// Cancelling: one state, which only ever rises (ExportCancel). The stages look at it in the
// order they run: the working copy (copied in pieces, decoded, measured) and the chain stop
// from StopProcessing on; the encoder (built-in or external) from StopEncoder on; at Discard
// nothing of the song is written. A job that keeps nothing (the default) goes straight to
// Discard; one that keeps a cancelled song's blocks (keep_cancelled_output, the design's old
// rule) climbs one step per cancel: the first stops the processing and encodes what was made,
// a second stops the encoder.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "engine/processor.h"
#include "export/export_facts.h"
#include "export/export_options.h"
#include "export/loudness.h"
#include "export/meter_snapshot.h"
#include "export/temp_folder.h"
#include "sources/id3v1.h"
#include "sources/playlist.h"
#include "sources/song_tags.h"

namespace zv {

class ChainStage;
struct ConvertFailure;
class PeakTracker;

constexpr int EXPORT_BLOCK_FRAMES = 16384;
constexpr int EXPORT_BLOCK_SAMPLES = 2 * EXPORT_BLOCK_FRAMES;  // interleaved stereo values
// The frames the WAV writer takes at a time when it runs on the chain's thread: small enough to
// fill the chain's waits for its other thread, large enough that a piece is worth a write.
constexpr int EXPORT_HAND_ON_FRAMES = 2048;
constexpr int EXPORT_THROTTLE_DIVISOR = 10;

// Why an empty WAV or an MP3 that decodes to nothing fails instead of giving an empty file.
inline constexpr const char* TEXT_NO_SAMPLES = "it holds no samples";

struct ExportJobInputs {
    SongEntry entry;          // a copy; the level it measures comes back in the result
    Id3v1Tag tag;             // the entry's tag slot
    std::string target_path;  // in MP3 mode already ending in ".wav"
    ExportOptions options;
    EncoderSettings encoder;
    std::string temp_folder;  // private folder of this job's working files
    std::string run_id;
    // A cancelled song's blocks are written (under a header that says so, encoded when MP3
    // is asked) instead of nothing. Neither front end wants that: a short file under the
    // target's name passes for a finished export.
    bool keep_cancelled_output = false;
    // The external encoder is ended after this many seconds; 0: no limit.
    int encoder_timeout_seconds = 0;
    // The cores this job may use (export_cores_per_job); 0: the machine's. With one the
    // stages of the job run inline on its thread.
    int cores = 0;
    // The folder the private temp folder lives in, named when it is full (empty: $TMPDIR or
    // /tmp). Messages never name the private working files themselves.
    std::string temp_base;
};

enum class ExportEnd { Completed, Cancelled, Failed };

// How far a cancel has gone, in the order the stages stop. Only ever rises.
enum class ExportCancel {
    None,
    StopProcessing,  // the working copy and the chain stop; what was made may be kept
    StopEncoder,     // the encoder stops too; nothing is written
    Discard,         // everything stops and nothing of the song is written
};

struct ExportJobResult {
    ExportEnd end = ExportEnd::Failed;
    // Why, when Failed: names the target or the temp folder where they matter, never the
    // source (the caller names the song) and never a private working file.
    std::string failure;
    std::string output_path;       // the file written, empty when none
    int32_t peak_level = 0;        // the entry's level after the job
    Id3v1Tag tag;                  // the entry's tag slot after the job (an MP3 source re-reads it)
    bool encoder_failed = false;   // the MP3 step failed (the desktop switches to WAV then)
    bool params_too_long = false;  // the external encoder's parameter line is too long
    std::string encoder_output;    // what the external encoder printed, for the log
    // Completed: the loudness of the file written (a WAV's blocks as they were written, an
    // MP3 as it decodes); none when it could not be measured.
    std::optional<LoudnessFigures> loudness;
};

class ExportObserver {
public:
    virtual ~ExportObserver() = default;
    // The song's file and the file the job makes of it (the dialog's two path fields).
    virtual void files(const std::string& source, const std::string& target) = 0;
    // Where the job is now (the dialog's status line).
    virtual void stage(ExportStage stage) = 0;
    // How much of the song the chain has processed so far, in frames at sample_rate.
    virtual void processed(uint64_t frames, int32_t sample_rate) = 0;
    virtual void set_progress_range(int max) = 0;  // from 0, step 1
    virtual void step_progress() = 0;
    // A block was processed; take_meters() has its values.
    virtual void block_done() {}
    // The last call of a job.
    virtual void finished(const ExportJobResult& result) = 0;
};

class ExportJob {
public:
    ExportJob(ExportJobInputs inputs, Processor& processor, ExportObserver& observer,
              const ThrottleSettings* throttle)
        : in_(std::move(inputs)),
          p_(processor),
          observer_(observer),
          throttle_(throttle),
          keep_cancelled_output_(in_.keep_cancelled_output) {}
    ~ExportJob() { join(); }
    ExportJob(const ExportJob&) = delete;
    ExportJob& operator=(const ExportJob&) = delete;

    ExportJobResult run();
    void start();
    void join();
    const ExportJobResult& result() const { return result_; }  // after join()

    // The user's Cancel: Discard, or one step further when the job keeps what it made.
    void cancel();
    // Stops the song and keeps nothing of it, whatever keep_cancelled_output says and however
    // many cancels came before (the program is quitting): neither the blocks made so far, the
    // encoder's work nor the finished file is written. Only a file already being moved into
    // place is finished.
    void cancel_and_discard() { cancel_.store(ExportCancel::Discard, std::memory_order_release); }
    bool cancel_requested() const { return cancel_state() != ExportCancel::None; }
    ExportCancel cancel_state() const { return cancel_.load(std::memory_order_acquire); }
    // The meters of the blocks processed since the last take, gathered (false when none).
    bool take_meters(MeterSnapshot& out) { return meters_.take(out); }

private:
    // The parts of a job, in the order it runs them (export_job.cpp). Each returns false when
    // the job ends there (r Failed or Cancelled); a song cancelled in the chain goes on to
    // finish_song only when the job keeps what it made.
    struct SongInput;
    struct OutputStages;
    class BlockSource;
    class ChainOutput;
    enum class ChainStop;

    ExportJobResult work();
    bool make_working_copy(const TempPaths& temp, ExportJobResult& r);
    bool take_level(const TempPaths& temp, const PeakTracker* decoded_peak, ExportJobResult& r);
    bool process_song(const TempPaths& temp, bool builtin_mp3, ExportJobResult& r);
    bool finish_song(const TempPaths& temp, const std::string& final_path, bool builtin_mp3,
                     ExportJobResult& r);
    bool set_up_stages(const TempPaths& temp, bool builtin_mp3, const SongInput& song, int cores,
                       OutputStages& stages, ExportJobResult& r);
    int start_chain(const SongInput& song, int32_t peak_level);
    int cores() const;  // the cores this job may use
    ChainStop run_chain(BlockSource& blocks, ChainStage& chain, ChainOutput& output, int32_t rate,
                        int latency, uint64_t& frames_in);
    bool finish_stages(OutputStages& stages, const SongInput& song, uint64_t frames_in,
                       uint64_t frames_out, bool builtin_mp3, ExportJobResult& r);
    bool stage_failure(const OutputStages& stages, ExportJobResult& r) const;
    bool encoder_failure(int write_errno, const std::string& text, ExportJobResult& r) const;
    bool sndfile_failure(const ConvertFailure& why, ExportJobResult& r) const;
    // The folder the private temp folder lives in, as messages name it.
    std::string temp_base() const;
    std::string temp_write_failure(const std::string& what, int err) const;
    std::string temp_read_failure(const std::string& what) const;

    ExportJobInputs in_;
    // The source's title, artist, album and track, for the comments of a FLAC or Opus file.
    SongTags source_tags_;
    Processor& p_;
    ExportObserver& observer_;
    const ThrottleSettings* throttle_;
    // True once the cancel has reached `level`: each stage asks for its own.
    bool stopping(ExportCancel level) const { return cancel_state() >= level; }
    bool keeps_cancelled_output() const { return cancel_state() != ExportCancel::Discard; }

    const bool keep_cancelled_output_;  // in_.keep_cancelled_output, for cancel() on any thread
    std::atomic<ExportCancel> cancel_{ExportCancel::None};
    PublishedMeters meters_;
    ExportJobResult result_;
    std::thread thread_;
};

// The mark an entry gets after its job: failed songs MARK_FAILED; songs Export All completed
// MARK_EXPORTED; otherwise the mark stays.
int32_t mark_after_export(int32_t mark, ExportEnd end, bool export_all);

}  // namespace zv
