#include "ui/dialogs/peak_command.h"

#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/peak_dialog.h"

namespace zv {

bool get_peak_level(Playlist& playlist, bool engine_idle, DialogHost& host, QWidget* parent) {
    if (!engine_idle || playlist.song_count <= 0) {
        return false;
    }
    PeakDialog dialog(playlist, parent);
    host.exec(dialog);
    return true;
}

}  // namespace zv
