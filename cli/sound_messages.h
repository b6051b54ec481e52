// Whether the sound libraries' own diagnostics (ALSA, JACK) reach the terminal. Without
// --verbose a machine without a sound card would print screens of them around our one line.
#pragma once

namespace zv::cli {

void show_sound_library_messages(bool show);

}  // namespace zv::cli
