// Export Song (menu 323) and Export All (324) as the window runs them: the option dialog, the
// save dialog or the folder chooser, then the core's export runner, whose questions (the
// confirmation, the export-again dialog) are asked through the DialogHost and whose songs
// each run under a modal export progress dialog, the job on the dialog's worker thread.
// Failures are told at the end, one message for the run; a refused start is told at once.
#pragma once

#include <functional>
#include <string>

#include "engine/meter_snapshot.h"
#include "engine/processor.h"
#include "export/export_options.h"
#include "export/export_runner.h"
#include "export/temp_folder.h"
#include "settings/ini_settings.h"
#include "sources/playlist.h"

class QWidget;

namespace zv {

class DialogHost;

struct ExportCommandContext {
    Playlist& playlist;
    Processor& processor;
    ExportOptions& options;
    EncoderSettings& encoder;
    ThrottleSettings& throttle;
    TempFolder& temp;
    const IniSettings& ini;
    DialogHost& host;
    QWidget* parent = nullptr;

    // The window's part, all on the GUI thread; any may be empty.
    // The run starts (true) and ends (false): the panel's time display and indicators.
    std::function<void(bool)> set_in_progress{};
    // A song is about to be exported: keep its row in view and repaint.
    std::function<void(const SongStart&)> song_starting{};
    // The export's blocks since the last call, gathered, for the panel's meters.
    std::function<void(const MeterSnapshot&)> block_processed{};
    // The run has ended: the playlist's marks, levels and tags may have changed.
    std::function<void()> run_ended{};
};

// Both run only while the player is idle and the list has a song to export (a selected one,
// for Export Song); false when refused or when the user cancelled before any song started.
bool export_song_command(ExportCommandContext& c, bool engine_idle);
bool export_all_command(ExportCommandContext& c, bool engine_idle);

}  // namespace zv
