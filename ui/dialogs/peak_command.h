// Get Peak Level (menu 320): measures every WAV song of the list under the peak dialog.
#pragma once

#include "sources/playlist.h"

class QWidget;

namespace zv {

class DialogHost;

// Runs the peak dialog when the player is idle and the list has songs; true when it ran
// (the window then redraws the list). Levels measured before a cancel stay.
bool get_peak_level(Playlist& playlist, bool engine_idle, DialogHost& host, QWidget* parent);

}  // namespace zv
