#include "cli/sound_messages.h"

namespace zv::cli {

// The one place the commands choose; the routing itself belongs to the playback library,
// which decides where the libraries' handlers send their messages.
void show_sound_library_messages(bool show) {
    (void)show;
}

}  // namespace zv::cli
