// The sound libraries' own diagnostics: ALSA's error handler and JACK's error and info
// functions are routed through our handlers, which are silent unless messages are switched on
// (the command line's --verbose). Without them a machine without a sound card or a JACK server
// prints a hundred lines of library chatter around our own message.
#pragma once

namespace zv {

// Installs the handlers (once; later calls do nothing). PortAudioSession does this before it
// initialises PortAudio, so programs need not call it themselves.
void install_sound_library_handlers();

// Whether the libraries' messages are written to standard error. Off by default; may be called
// at any time, before or after the handlers are installed.
void set_sound_library_messages(bool verbose);
bool sound_library_messages();

}  // namespace zv
