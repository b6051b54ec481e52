#include "cli/playback_session.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/fact_texts.h"
#include "engine/factory_presets.h"
#include "settings/settings_file.h"

namespace zv::cli {
namespace {

double peak_db(double peak) {
    return peak <= 0.0 ? -99.9 : std::max(-99.9, 20.0 * std::log10(peak / 32767.0));
}

// The output peaks m are those of the blocks since the line before (or that line's, when no
// block came since).
void print_status(const AudioEngine& e, const MeterSnapshot& m, bool tty) {
    const double seconds =
        e.sample_rate > 0 ? static_cast<double>(e.played_bytes) / 4.0 / e.sample_rate : 0.0;
    const int whole = static_cast<int>(seconds);
    const Playlist& pl = *e.playlist;
    const int index = pl.current_index;
    std::fprintf(stderr, "%s[%d/%d] %02d:%02d.%d  out L %6.1f dB  R %6.1f dB  underflows %llu%s",
                 tty ? "\r" : "", index + 1, pl.song_count, whole / 60, whole % 60,
                 static_cast<int>((seconds - whole) * 10), peak_db(m.output_peak_l),
                 peak_db(m.output_peak_r),
                 static_cast<unsigned long long>(e.device->underflow_count()),
                 tty ? "\033[K" : "\n");
    std::fflush(stderr);
}

}  // namespace

void CliHost::device_open_failed(const DeviceError& error) {
    std::fprintf(stderr, "%s\n", device_error_text(error, language_).c_str());
}

LoopReport run_engine_loop(AudioEngine& e, CliHost& host, double max_seconds,
                           StopSignals& signals) {
    using Clock = std::chrono::steady_clock;
    const bool tty = isatty(STDERR_FILENO) != 0;
    const Clock::time_point begin = Clock::now();
    Clock::time_point last_status = begin;
    LoopReport report;
    bool stop_asked = false;
    MeterSnapshot shown;  // the loudest blocks since the line before
    while (engine_busy(e) || host.timer_armed(TIMER_NEXT_SONG)) {
        const bool signalled = host.run_once(e, 50, signals.fd());
        const Clock::time_point now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - begin).count();
        const int count = signalled ? signals.take() : 0;
        if (count > 0) {
            report.interrupted = true;
            host.kill_timer(TIMER_NEXT_SONG);
            if (stop_asked || count > 1) {
                stop_and_close(e);  // a second Ctrl-C does not wait for the queued blocks
                break;
            }
            stop_asked = true;
            request_stop(e);
        }
        if (max_seconds > 0.0 && elapsed >= max_seconds && !stop_asked) {
            stop_asked = true;
            host.kill_timer(TIMER_NEXT_SONG);
            request_stop(e);
        }
        const double since = std::chrono::duration<double>(now - last_status).count();
        if (engine_busy(e) && since >= (tty ? 0.1 : 1.0)) {
            e.meters.take(shown);  // nothing new since the last line: it stands
            print_status(e, shown, tty);
            last_status = now;
        }
    }
    if (tty) {
        std::fputc('\n', stderr);
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return report;
}

}  // namespace zv::cli
