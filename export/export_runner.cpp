#include "export/export_runner.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "export/export_rules.h"
#include "export/export_stages.h"
#include "export/file_ops.h"
#include "sources/replace_file.h"

namespace zv {
namespace {

constexpr Message MSG_NO_SONG_SELECTED{"no song is selected", "曲が選択されていません"};
constexpr Message MSG_PLAYLIST_EMPTY{"the playlist is empty", "プレイリストが空です"};
constexpr Message MSG_AFFIX_NOT_PLAIN{
    "the name affix \"%s\" is not a plain part of a file name (no \"/\", no \"..\")",
    "ファイル名の付加文字列 \"%s\" はファイル名の一部として使えません (\"/\" や \"..\" は不可)"};
constexpr Message MSG_NO_FOLDER{"no folder is chosen", "出力フォルダが選ばれていません"};
constexpr Message MSG_REPLACES_ITSELF{"its output %s would replace the song itself",
                                      "出力 %s が元の曲を置き換えてしまいます"};
constexpr Message MSG_REPLACES_SOURCE{"its output %s would replace the song %s",
                                      "出力 %s が曲 %s を置き換えてしまいます"};
constexpr Message MSG_SAME_OUTPUT{"its output %s is also the output of %s",
                                  "出力 %s は %s の出力と同じです"};

std::string fill(const char* format, const std::string& a, const std::string& b = {}) {
    const int n = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str());
    std::string text(static_cast<size_t>(std::max(n, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, format, a.c_str(), b.c_str());
    return text;
}

template <size_t N>
std::string text_of(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), field.size()));
}

// Two spellings of one file compare equal: the folders are resolved as far as they exist.
std::string canonical_key(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    std::filesystem::path c = std::filesystem::weakly_canonical(p, ec);
    return ec ? p.lexically_normal().string() : c.string();
}

using FileId = std::pair<dev_t, ino_t>;

bool file_id(const std::string& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

// Forwards one job's reports to the host with the row they belong to.
class SongObserver final : public ExportObserver {
public:
    SongObserver(ExportRunnerHost& host, int index) : host_(host), index_(index) {}
    void attach(const ExportJob* job) { job_ = job; }
    void set_text(int control_id, const std::string& text) override {
        host_.job_text(index_, control_id, text);
    }
    void set_progress_range(int max) override { host_.job_progress_range(index_, max); }
    void step_progress() override { host_.job_step(index_); }
    void block_done() override {
        if (job_ != nullptr)
            host_.job_block_done(index_, *job_);
    }
    void finished(const ExportJobResult& result) override { host_.job_finished(index_, result); }

private:
    ExportRunnerHost& host_;
    int index_;
    const ExportJob* job_ = nullptr;
};

}  // namespace

std::string export_time_text(int selected_index, int song_count) {
    char text[32];
    std::snprintf(text, sizeof text, " %d/%d", selected_index, song_count);
    return text;
}

int ExportRunReport::count(SongOutcome outcome) const {
    return static_cast<int>(std::count_if(
        songs.begin(), songs.end(), [&](const SongReport& s) { return s.outcome == outcome; }));
}

// One run's shared state, guarded by the runner's mutex once workers run.
struct ExportRunner::Plan {
    std::vector<int> rows;
    size_t next = 0;
    bool export_all = false;
    std::string folder;
    std::string single_target;  // Export Song: the chosen path
    std::map<FileId, std::string> sources;
    std::map<std::string, std::string> claimed;  // output key -> the source that writes it
    std::set<std::string> cleaned_folders;
    int position = 0;
    ExportRunReport report;
};

struct ExportRunner::Prepared {
    int index = 0;
    SongEntry entry;
    Id3v1Tag tag;
    ExportOptions options;
    std::string target;  // handed to the job
    std::string output;  // the file it writes
    std::string refusal;
    SongStart start;
};

ExportRunReport ExportRunner::export_song(const std::string& chosen_path) {
    Playlist& pl = ctx_.playlist;
    ExportRunReport report;
    if (pl.song_count <= 0 || pl.selected_index < 0 || pl.selected_index >= pl.song_count) {
        report.refusal = text(MSG_NO_SONG_SELECTED, config_.language);
        return report;
    }
    ctx_.processor.params.test_channels = 1.0;
    const std::string source(song_path(pl.entries[static_cast<size_t>(pl.selected_index)]));
    if (!host_.confirm(fill(TEXT_CONFIRM_EXPORT_SONG, source, chosen_path))) {
        report.cancelled = true;
        return report;
    }
    return run({pl.selected_index}, false, {}, chosen_path);
}

ExportRunReport ExportRunner::export_all(const std::string& folder) {
    Playlist& pl = ctx_.playlist;
    ExportOptions& o = ctx_.options;
    ExportRunReport report;
    if (pl.song_count <= 0) {
        report.refusal = text(MSG_PLAYLIST_EMPTY, config_.language);
        return report;
    }
    const std::string affix = text_of(o.name_affix);
    if (!is_plain_name_part(affix)) {
        report.refusal = format(MSG_AFFIX_NOT_PLAIN, config_.language, affix);
        return report;
    }
    const bool beside = o.save_to_source_folder != 0;
    if (!beside && folder.empty()) {
        report.refusal = text(MSG_NO_FOLDER, config_.language);
        return report;
    }
    // Outputs beside their sources never overwrite them: an empty affix becomes "zel_" and
    // stays so.
    if (beside && affix.empty()) {
        const std::string zel = effective_name_affix(affix, true);
        o.name_affix.fill('\0');
        std::memcpy(o.name_affix.data(), zel.data(), zel.size());
    }
    ctx_.processor.params.test_channels = 1.0;

    bool skipping = false;
    const bool any_exported =
        std::any_of(pl.song_mark.begin(), pl.song_mark.begin() + pl.song_count,
                    [](int32_t m) { return m == MARK_EXPORTED; });
    if (any_exported) {
        switch (host_.ask_export_again(beside ? TEXT_ORIGINAL_FOLDER : folder)) {
            case ExportAgainAnswer::Cancel:
                report.cancelled = true;
                return report;
            case ExportAgainAnswer::ExceptExported:
                skipping = true;
                break;
            case ExportAgainAnswer::ExportAll:
                break;
        }
    } else {
        const std::string text = beside ? std::string(TEXT_CONFIRM_EXPORT_BESIDE_SOURCES)
                                        : fill(TEXT_CONFIRM_EXPORT_TO_FOLDER, folder);
        if (!host_.confirm(text)) {
            report.cancelled = true;
            return report;
        }
    }
    const int32_t remembered = pl.selected_index;
    std::vector<int> rows;
    for (int i = 0; i < pl.song_count; ++i) {
        if (!skip_entry(pl.song_mark[static_cast<size_t>(i)], skipping))
            rows.push_back(i);
    }
    report = run(rows, true, folder, {});
    pl.selected_index = remembered;
    return report;
}

void ExportRunner::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true, std::memory_order_relaxed);
    for (ExportJob* job : active_)
        job->cancel();
}

ExportRunReport ExportRunner::run(const std::vector<int>& rows, bool export_all,
                                  const std::string& folder, const std::string& single_target) {
    Plan plan;
    plan.rows = rows;
    plan.export_all = export_all;
    plan.folder = folder;
    plan.single_target = single_target;
    // Every song's source, exported or not, is safe from every target.
    const Playlist& pl = ctx_.playlist;
    for (int i = 0; i < pl.song_count; ++i) {
        const std::string source(song_path(pl.entries[static_cast<size_t>(i)]));
        FileId id;
        if (file_id(source, id))
            plan.sources.emplace(id, source);
    }

    in_progress_.store(true, std::memory_order_relaxed);
    const int workers =
        std::max(1, std::min<int>(config_.jobs, static_cast<int>(plan.rows.size())));
    const int cores = config_.cores > 0
                          ? config_.cores
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    cores_per_job_ = export_cores_per_job(cores, workers);
    if (config_.jobs <= 1) {
        enable_flush_denormals();  // this thread runs process_block from now on, as playback's
        Prepared song;
        while (prepare(plan, 0, song))
            export_one(plan, song, ctx_.processor, 0);
    } else {
        auto worker = [&](int slot) {
            enable_flush_denormals();
            auto processor = make_processor();
            Prepared song;
            while (prepare(plan, slot, song)) {
                *processor = ctx_.processor;
                export_one(plan, song, *processor, slot);
            }
        };
        std::vector<std::thread> threads;
        for (int w = 1; w < workers; ++w)
            threads.emplace_back(worker, w);
        worker(0);
        for (std::thread& t : threads)
            t.join();
    }
    in_progress_.store(false, std::memory_order_relaxed);
    if (stop_.load(std::memory_order_relaxed))
        plan.report.cancelled = true;
    return std::move(plan.report);
}

// Takes the next song of the plan, names its target and checks the guards. False when the
// plan is done or the run was stopped.
bool ExportRunner::prepare(Plan& plan, int /*slot*/, Prepared& song) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_.load(std::memory_order_relaxed) || plan.next >= plan.rows.size())
        return false;
    Playlist& pl = ctx_.playlist;
    const int i = plan.rows[plan.next++];
    song = Prepared{};
    song.index = i;
    song.entry = pl.entries[static_cast<size_t>(i)];
    song.tag = pl.tags[static_cast<size_t>(i)];
    song.options = ctx_.options;  // the format of this song: WAV once an encoder failed
    const ExportFormat output_format = export_format(song.options);
    const bool mp3 = output_format == ExportFormat::Mp3;
    const std::string source(song_path(song.entry));

    std::string target;
    if (plan.export_all) {
        ExportAllNaming naming{plan.folder, text_of(song.options.name_affix),
                               song.options.affix_is_postfix != 0,
                               song.options.save_to_source_folder != 0, false};
        target = export_all_target(source, naming);
    } else {
        target = plan.single_target;
    }
    // A name without "." gets one, so the job's cut at the last "." never lands in a folder.
    target = with_name_extension(target);
    song.target = mp3 ? mp3_mode_target(target) : target;
    song.output = final_output_path(song.target, output_format);

    // The file a write would replace: links followed (a loop is left to the job to report).
    std::string written = follow_links(song.output);
    if (written.empty())
        written = song.output;
    const std::string key = canonical_key(written);
    FileId id;
    if (file_id(song.output, id)) {
        auto it = plan.sources.find(id);
        if (it != plan.sources.end()) {
            song.refusal =
                it->second == source
                    ? format(MSG_REPLACES_ITSELF, config_.language, song.output)
                    : format(MSG_REPLACES_SOURCE, config_.language, song.output, it->second);
        }
    }
    if (song.refusal.empty()) {
        auto [it, fresh] = plan.claimed.emplace(key, source);
        if (!fresh)
            song.refusal = format(MSG_SAME_OUTPUT, config_.language, song.output, it->second);
    }
    if (song.refusal.empty()) {
        // Part files a crashed run left beside earlier outputs go before we add our own.
        const std::string folder = folder_of(written);
        if (plan.cleaned_folders.insert(folder).second)
            remove_stale_part_files(folder);
    }
    pl.selected_index = i;
    song.start = SongStart{
        i, pl.song_count, ++plan.position, static_cast<int>(plan.rows.size()), source, song.output};
    return true;
}

void ExportRunner::export_one(Plan& plan, Prepared& song, Processor& processor, int slot) {
    {
        std::lock_guard<std::mutex> lock(host_mutex_);
        host_.song_starting(song.start);
    }
    SongReport report;
    report.index = song.index;
    report.source = song.start.source;
    report.output = song.output;
    if (!song.refusal.empty()) {
        report.outcome = SongOutcome::Refused;
        report.reason = song.refusal;
        finish(plan, std::move(report), nullptr, nullptr);
        return;
    }
    ExportJobInputs in;
    in.entry = song.entry;
    in.tag = song.tag;
    in.target_path = song.target;
    in.options = song.options;
    in.encoder = ctx_.encoder;
    in.temp_folder = ctx_.temp.job_path(slot);
    in.temp_base = ctx_.temp.base();
    in.run_id = ctx_.temp.run_id();
    in.keep_cancelled_output = config_.keep_cancelled_output;
    in.encoder_timeout_seconds = config_.encoder_timeout_seconds;
    in.cores = config_.inline_stages ? 1 : cores_per_job_;

    SongObserver observer(host_, song.index);
    // The job only reads the throttle settings; the dialog writes them meanwhile.
    ExportJob job(std::move(in), processor, observer, &ctx_.throttle);
    observer.attach(&job);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_.load(std::memory_order_relaxed))
            job.cancel();
        active_.push_back(&job);
    }
    host_.run_song(job);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        active_.erase(std::find(active_.begin(), active_.end(), &job));
    }
    const ExportJobResult& r = job.result();
    switch (r.end) {
        case ExportEnd::Completed:
            report.outcome = SongOutcome::Exported;
            report.output = r.output_path;
            report.loudness = r.loudness;
            break;
        case ExportEnd::Cancelled:
            report.outcome = SongOutcome::Cancelled;
            break;
        case ExportEnd::Failed:
            report.outcome = SongOutcome::Failed;
            report.reason = r.failure;
            break;
    }
    report.encoder_output = r.encoder_output;
    finish(plan, std::move(report), &job, &r);
}

// Writes a song's end back to the playlist and the options and tells the host.
void ExportRunner::finish(Plan& plan, SongReport report, const ExportJob* job,
                          const ExportJobResult* r) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Playlist& pl = ctx_.playlist;
        const size_t i = static_cast<size_t>(report.index);
        int32_t& mark = pl.song_mark[i];
        if (r == nullptr) {
            mark = MARK_FAILED;  // refused
        } else {
            pl.entries[i].peak_level = r->peak_level;
            pl.tags[i] = r->tag;
            if (job->cancel_requested()) {
                // As a dialog that ends with "cancelled": the loop stops.
                stop_.store(true, std::memory_order_relaxed);
                for (ExportJob* other : active_)
                    other->cancel();
            }
            // The mark says what happened to the file: a song cancelled before its file was
            // placed keeps its mark; one whose file was written just before a late cancel is
            // exported all the same.
            mark = mark_after_export(mark, r->end, plan.export_all);
            if (r->encoder_failed && ctx_.options.output_mp3 != 0) {
                set_export_format(ctx_.options, ExportFormat::Wav);
                report.switched_to_wav = true;
            }
        }
        plan.report.songs.push_back(report);
    }
    std::lock_guard<std::mutex> lock(host_mutex_);
    host_.song_done(report);
}

}  // namespace zv
