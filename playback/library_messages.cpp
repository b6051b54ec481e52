#include "playback/library_messages.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace zv {
namespace {

// The libraries call their handlers without a context pointer, from whichever thread meets
// the problem, so the switch is one process-wide flag.
std::atomic<bool> g_verbose{false};

extern "C" void alsa_message(const char* file, int line, const char* function, int err,
                             const char* fmt, ...) {
    if (!g_verbose.load(std::memory_order_relaxed)) {
        return;
    }
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    // The layout of ALSA's own default handler.
    std::fprintf(stderr, "ALSA lib %s:%d:(%s) %s%s%s\n", file, line, function, text,
                 err != 0 ? ": " : "", err != 0 ? snd_strerror(err) : "");
}

extern "C" void jack_message(const char* text) {
    if (g_verbose.load(std::memory_order_relaxed)) {
        std::fprintf(stderr, "%s\n", text);
    }
}

}  // namespace

void install_sound_library_handlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(&alsa_message);
        jack_set_error_function(&jack_message);
        jack_set_info_function(&jack_message);
    });
}

void set_sound_library_messages(bool verbose) {
    g_verbose.store(verbose, std::memory_order_relaxed);
}

bool sound_library_messages() {
    return g_verbose.load(std::memory_order_relaxed);
}

}  // namespace zv
