#include "ui/dialogs/export_commands.h"

#include <QObject>
#include <QStringList>

#include "settings/encoder_trust.h"
#include "settings/text_field.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/export_again_dialog.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/export_progress_dialog.h"
#include "ui/dialogs/file_dialogs.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
namespace {

// The runner's host in the window. The job_* calls come from the progress dialog's worker;
// they go to the dialog of the song that runs, which queues them to the GUI thread. That
// dialog is set before its job starts and cleared after the job has been joined, so the
// worker never sees it change.
class WindowExportHost final : public ExportRunnerHost {
public:
    explicit WindowExportHost(ExportCommandContext& c) : c_(c) {}

    ExportAgainAnswer ask_export_again(const std::string& folder_text) override {
        ExportAgainDialog dialog(c_.options.save_to_source_folder != 0, folder_text, c_.parent);
        switch (c_.host.exec(dialog)) {
            case EXPORT_AGAIN_ALL:
                return ExportAgainAnswer::ExportAll;
            case EXPORT_AGAIN_NEW_ONLY:
                return ExportAgainAnswer::ExceptExported;
            default:
                return ExportAgainAnswer::Cancel;
        }
    }

    bool confirm(const std::string& text) override {
        return is_yes(c_.host.show(c_.parent, confirm_message(from_utf8(text))));
    }

    void song_starting(const SongStart& start) override {
        output_ = start.output;
        if (c_.set_in_progress) {
            c_.set_in_progress(true);  // the panel's time display shows the row from now on
        }
        if (c_.song_starting) {
            c_.song_starting(start);
        }
    }

    void run_song(ExportJob& job) override {
        ExportProgressDialog dialog(job, c_.processor, c_.throttle, c_.host, c_.parent);
        if (c_.block_processed) {
            QObject::connect(&dialog, &ExportProgressDialog::block_processed, &dialog,
                             [this, &dialog] { c_.block_processed(dialog.meters()); });
        }
        dialog_ = &dialog;
        c_.host.exec(dialog);
        if (dialog.job_ended() && dialog.job_result().end == ExportEnd::Cancelled) {
            // The dialog's ending says what the Cancel did: nothing was written.
            dialog_ = nullptr;
            c_.host.show(c_.parent, export_cancelled_message(output_));
        }
        if (dialog.job_started() && !dialog.job_ended()) {
            // The modal loop was left before the job's end (the program quits): the song is
            // stopped and nothing of it written, and its calls are over before the dialog goes.
            job.cancel_and_discard();
            job.join();
            reset_processor_state(c_.processor);
        }
        if (!dialog.job_started()) {
            // A host that never showed the dialog: the song ends as cancelled, so the loop
            // stops and its mark stays.
            dialog_ = nullptr;
            job.cancel();
            job.run();
        }
        dialog_ = nullptr;
    }

    void song_done(const SongReport& report) override {
        if (report.outcome == SongOutcome::Failed || report.outcome == SongOutcome::Refused) {
            failed_.push_back(report);
        }
    }

    // Without a dialog (a song ended before one showed) the calls have nobody to tell.
    void job_text(int, int control_id, const std::string& text) override {
        if (dialog_ != nullptr) {
            dialog_->job_text(control_id, text);
        }
    }
    void job_progress_range(int, int max) override {
        if (dialog_ != nullptr) {
            dialog_->job_progress_range(max);
        }
    }
    void job_step(int) override {
        if (dialog_ != nullptr) {
            dialog_->job_step();
        }
    }
    void job_block_done(int, const ExportJob&) override {
        if (dialog_ != nullptr) {
            dialog_->job_block_done();
        }
    }
    void job_finished(int, const ExportJobResult& result) override {
        if (dialog_ != nullptr) {
            dialog_->job_finished(result);
        }
    }

    const std::vector<SongReport>& failed() const { return failed_; }

private:
    ExportCommandContext& c_;
    ExportProgressDialog* dialog_ = nullptr;
    std::string output_;  // the file the song being exported would be written to
    std::vector<SongReport> failed_;
};

// The format keys of the INI file: read before the option dialogs, written after their OK.
void store_format_keys(ExportCommandContext& c) {
    std::string error;
    if (!write_export_format_keys(c.ini, c.options, c.encoder, error)) {
        c.host.show(c.parent, ini_write_failed_message(c.ini.file().string(), error));
    }
}

// The option dialog of a command, with what the INI file says "not MP3" means.
bool run_options_dialog(ExportCommandContext& c, ExportCommand command) {
    read_export_format_keys(c.ini, c.options, c.encoder);
    ExportOptionsDialog options(command, c.options, c.encoder, c.host, c.parent);
    if (c.host.exec(options) != QDialog::Accepted) {
        return false;
    }
    store_format_keys(c);
    return true;
}

ExportRunnerConfig window_config() {
    ExportRunnerConfig config;
    config.jobs = 1;  // the window's own processor, one song at a time
    // A cancelled song leaves nothing: a short file under the target's name would pass for a
    // finished export.
    config.keep_cancelled_output = false;
    config.language = window_text_language();  // the runner's refusals, as the window speaks
    return config;
}

// An external encoder runs only once its program and parameter line are confirmed in this
// program folder: one that came with the state file or a user preset is asked about first,
// showing both; without a yes the export uses the built-in encoder (and keeps it).
void check_external_encoder(ExportCommandContext& c) {
    if (c.options.output_mp3 == 0 || !encoder_needs_confirmation(c.ini, c.encoder)) {
        return;
    }
    const BoxMessage question = encoder_not_confirmed_message(
        text_of(c.encoder.external_encoder_path), text_of(c.encoder.external_encoder_params));
    if (!is_yes(c.host.show(c.parent, question))) {
        c.encoder.use_external_encoder = 0;
        return;
    }
    std::string error;
    if (!confirm_encoder(c.ini, c.encoder, error)) {
        c.host.show(c.parent, ini_write_failed_message(c.ini.file().string(), error));
    }
}

// Runs one command through the runner and tells what went wrong.
template <typename Run>
bool run_export(ExportCommandContext& c, bool all, Run run) {
    WindowExportHost window_host(c);
    ExportRunner runner(
        ExportContext{c.playlist, c.processor, c.options, c.encoder, c.throttle, c.temp},
        window_host, window_config());
    const ExportRunReport report = run(runner);
    for (const SongReport& r : report.songs) {
        if (r.switched_to_wav) {
            store_format_keys(c);  // the INI file says WAV too, as the options now do
            break;
        }
    }
    if (c.set_in_progress) {
        c.set_in_progress(false);
    }
    if (c.run_ended) {
        c.run_ended();
    }
    if (!report.refusal.empty()) {
        c.host.show(c.parent, error_message(from_utf8(report.refusal)));
        return false;
    }
    const std::vector<SongReport>& failed = window_host.failed();
    auto why = [](const SongReport& r) {
        return r.switched_to_wav
                   ? r.reason + "\n" + message_text(TEXT_SWITCHED_TO_WAV).toStdString()
                   : r.reason;
    };
    if (!all && !failed.empty()) {
        c.host.show(c.parent, export_failed_message(failed[0].source, why(failed[0])));
    } else if (all && !failed.empty()) {
        QStringList lines;
        for (const SongReport& r : failed) {
            lines << from_utf8(r.source) + QStringLiteral(": ") + from_utf8(why(r));
        }
        c.host.show(c.parent, export_all_failed_message(lines.join(QLatin1Char('\n'))));
    }
    if (all) {
        QStringList lines;
        for (const SongReport& r : report.songs) {
            if (r.outcome == SongOutcome::Exported && r.loudness) {
                lines << from_utf8(r.output) + QStringLiteral(": ") +
                             from_utf8(loudness_text(*r.loudness));
            }
        }
        if (!lines.isEmpty()) {
            c.host.show(c.parent, export_all_loudness_message(lines));
        }
    }
    return !report.songs.empty();
}

}  // namespace

bool export_song_command(ExportCommandContext& c, bool engine_idle) {
    const Playlist& pl = c.playlist;
    if (!engine_idle || pl.song_count <= 0 || pl.selected_index < 0 ||
        pl.selected_index >= pl.song_count) {
        return false;
    }
    if (!run_options_dialog(c, ExportCommand::ExportSong)) {
        return false;
    }
    const std::optional<std::string> target =
        choose_export_file(c.host, c.ini, export_format(c.options), c.parent);
    if (!target) {
        return false;
    }
    check_external_encoder(c);
    return run_export(c, false,
                      [&target](ExportRunner& runner) { return runner.export_song(*target); });
}

bool export_all_command(ExportCommandContext& c, bool engine_idle) {
    if (!engine_idle || c.playlist.song_count <= 0) {
        return false;
    }
    if (!run_options_dialog(c, ExportCommand::ExportAll)) {
        return false;
    }
    std::string folder;
    if (c.options.save_to_source_folder == 0) {
        const std::optional<std::string> chosen =
            browse_for_folder(c.host, c.ini, c.parent, SELECT_FOLDER_TITLE);
        if (!chosen) {
            return false;
        }
        folder = *chosen;
    }
    check_external_encoder(c);
    return run_export(c, true,
                      [&folder](ExportRunner& runner) { return runner.export_all(folder); });
}

}  // namespace zv
