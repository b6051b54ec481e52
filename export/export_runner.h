// The export commands after their option dialogs: Export Song and Export All as one object
// that both front ends drive. It asks the confirmation or the export-again question, walks
// the playlist with the skip rule, names each target, refuses a target that would replace a
// source file or another song's output (the song is marked failed, the rest go on), runs one
// ExportJob per song, writes the level and tag the job found back to the entry, sets the
// marks, switches to WAV after an encoder failure, and restores selected_index at the end.
//
// Threads and ownership
// - The "runner thread" constructs the runner, calls export_song() or export_all() and reads
//   the report: the window's GUI thread, the CLI's main thread. The records in the context
//   and the host must outlive that call, and nothing else may touch the playlist, the
//   processor or the options while it runs (the window stays in its modal dialogs).
// - cancel(), cancel_requested() and export_in_progress() may be called from any thread.
// - With jobs == 1 (the window) the songs run one after another with the context's own
//   Processor. ask_export_again, confirm, song_starting, run_song and song_done are called on
//   the runner thread. run_song decides where the job runs: the default runs it right there;
//   the window calls job.start(), shows its modal dialog until job_finished, then job.join().
// - With jobs > 1 (the CLI's batch export) songs run on that many worker threads, each with
//   its own copy of the Processor taken before every song, so the bytes never depend on the
//   number of jobs. song_starting and song_done then come from the workers one at a time;
//   run_song and the job_* calls come from the workers concurrently. The host must not read
//   the playlist until the run returns (the workers write marks and levels into it).
// - The job_* calls always come from the thread that runs the job (the dialog's worker).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/processor.h"
#include "export/export_job.h"
#include "export/export_options.h"
#include "export/loudness.h"
#include "export/temp_folder.h"
#include "sources/playlist.h"
#include "text/language.h"

namespace zv {

// The message boxes and the export-again dialog of the two commands.
inline constexpr const char* TEXT_CONFIRM_CAPTION = "確認";
inline constexpr const char* TEXT_CONFIRM_EXPORT_SONG =
    "登録されたファイル[ %s ]から\nファイル[ %s ]を作成します。\n\nよろしいですか？";
inline constexpr const char* TEXT_CONFIRM_EXPORT_BESIDE_SOURCES =
    "元のファイルと同じフォルダにファイルを出力します。\n\nよろしいですか？";
inline constexpr const char* TEXT_CONFIRM_EXPORT_TO_FOLDER =
    "フォルダ[ %s ]にファイルを出力します。\n\nよろしいですか？";
inline constexpr const char* TEXT_ORIGINAL_FOLDER = "( Original Folder )";

// The panel's time display while an export runs: " %d/%d" with the row being exported
// (counting from 0) and the song count.
std::string export_time_text(int selected_index, int song_count);

// The answers of the export-again dialog, valued as its buttons' results.
enum class ExportAgainAnswer { Cancel = 0, ExportAll = 1, ExceptExported = 2 };

// A song is about to be exported.
struct SongStart {
    int index = 0;       // its row: scroll it into view and repaint; it is selected_index now
    int song_count = 0;  // with index, the time display (export_time_text)
    int position = 0;    // 1 for the first song this run exports, ...
    int planned = 0;     // ... of this many (skipped entries not counted)
    std::string source;
    std::string output;  // the file it will be written to
};

enum class SongOutcome {
    Exported,   // output written (a cancelled song's partial file counts as Cancelled)
    Cancelled,  // the user cancelled it; its mark is unchanged
    Failed,     // the job failed: marked MARK_FAILED, reason says why
    Refused     // not started: its target would replace a source or another song's output
};

struct SongReport {
    int index = 0;
    SongOutcome outcome = SongOutcome::Failed;
    std::string source;
    std::string output;            // the file written (Exported) or meant to be written
    std::string reason;            // Failed and Refused: why, without the source path
    bool switched_to_wav = false;  // its encoder failure turned MP3 output off for the rest
    std::string encoder_output;    // what an external encoder printed, for the log
    // Exported: the loudness of the file written (ExportJobResult::loudness).
    std::optional<LoudnessFigures> loudness;
};

struct ExportRunReport {
    // Why the command did not start at all (no song, an affix that is not a plain name part).
    std::string refusal;
    bool cancelled = false;         // a question was cancelled, or the user cancelled a song
    std::vector<SongReport> songs;  // in the order the songs ended
    int count(SongOutcome outcome) const;
};

// What the runner works on: the program's one playlist, processor and option records, and
// its private temp folder.
struct ExportContext {
    Playlist& playlist;
    Processor& processor;
    ExportOptions& options;  // output_mp3 turns 0 after an encoder failure; a "zel_" affix
    const EncoderSettings& encoder;
    const ThrottleSettings& throttle;  // read live by the jobs; the dialog writes it
    TempFolder& temp;
};

struct ExportRunnerConfig {
    int jobs = 1;                           // songs exported at once; > 1 only without a window
    bool keep_cancelled_output = false;     // ExportJobInputs::keep_cancelled_output
    int encoder_timeout_seconds = 0;        // 0: the external encoder may take as long as it needs
    Language language = Language::English;  // of the refusals the runner words itself
    // The machine's cores (0: as many as it has). Each of the songs running at once gets an
    // equal share; a song with two or more runs its stages on threads of their own.
    int cores = 0;
    bool inline_stages = false;  // every song runs its stages on one thread, whatever its share
};

// What the front end shows and answers. Every method has a harmless default except the two
// questions.
class ExportRunnerHost {
public:
    virtual ~ExportRunnerHost() = default;
    // Export All, when some entries are marked exported: the folder or TEXT_ORIGINAL_FOLDER.
    virtual ExportAgainAnswer ask_export_again(const std::string& folder_text) = 0;
    // A confirmation with caption TEXT_CONFIRM_CAPTION, OK and Cancel: true on OK.
    virtual bool confirm(const std::string& text) = 0;
    virtual void song_starting(const SongStart& start) { (void)start; }
    // Runs the job and returns when it has finished: job.run() here, or job.start(), the
    // modal dialog, job.join(). The dialog's Cancel may call job.cancel() or cancel() below.
    virtual void run_song(ExportJob& job) { job.run(); }
    virtual void song_done(const SongReport& report) { (void)report; }
    // The job's dialog texts (1001, 1002, 1016, 1032), progress and end, for row `index`.
    virtual void job_text(int index, int control_id, const std::string& text) {
        (void)index, (void)control_id, (void)text;
    }
    virtual void job_progress_range(int index, int max) { (void)index, (void)max; }
    virtual void job_step(int index) { (void)index; }
    // A block was processed: job.meters() holds its meters.
    virtual void job_block_done(int index, const ExportJob& job) { (void)index, (void)job; }
    // The job's last call (the end message).
    virtual void job_finished(int index, const ExportJobResult& result) {
        (void)index, (void)result;
    }
};

class ExportRunner {
public:
    ExportRunner(ExportContext context, ExportRunnerHost& host, ExportRunnerConfig config = {})
        : ctx_(context), host_(host), config_(config) {}
    ExportRunner(const ExportRunner&) = delete;
    ExportRunner& operator=(const ExportRunner&) = delete;

    // Export Song for the entry at selected_index to the chosen path (the save dialog's): the
    // confirmation, then one job. The mark changes only when the song fails.
    ExportRunReport export_song(const std::string& chosen_path);

    // Export All into folder (ignored when options.save_to_source_folder is set): the
    // export-again question or the confirmation, then the loop over the playlist.
    ExportRunReport export_all(const std::string& folder);

    // Stops the run: the running job(s) are cancelled and no further song starts.
    void cancel();
    bool cancel_requested() const { return stop_.load(std::memory_order_relaxed); }
    // True from the first song's start to the end of the loop (the panel reads it).
    bool export_in_progress() const { return in_progress_.load(std::memory_order_relaxed); }

private:
    struct Plan;
    struct Prepared;
    ExportRunReport run(const std::vector<int>& rows, bool export_all, const std::string& folder,
                        const std::string& single_target);
    bool prepare(Plan& plan, int row, Prepared& song);
    void export_one(Plan& plan, Prepared& song, Processor& processor, int slot);
    void finish(Plan& plan, SongReport report, const ExportJob* job, const ExportJobResult* r);

    ExportContext ctx_;
    ExportRunnerHost& host_;
    ExportRunnerConfig config_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> in_progress_{false};
    std::mutex mutex_;                // the playlist, options and plan while workers run
    std::mutex host_mutex_;           // song_starting and song_done one at a time
    std::vector<ExportJob*> active_;  // jobs running now, for cancel()
    int cores_per_job_ = 1;           // set before the workers start
};

}  // namespace zv
