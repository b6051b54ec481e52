// What zvmp3-cli play and onair share: the processor's set-up from a preset or a parameter
// file, Ctrl-C handling and the owner loop with its status line.
#pragma once

#include <string>

#include "cli/cli_args.h"
#include "playback/audio_engine.h"
#include "playback/poll_loop.h"

namespace zv::cli {

// Start-up values, then a parameter file and/or a factory preset. False with a message.
bool setup_processor(Processor& p, DeviceSettings& devices, const std::string& params_path,
                     int preset_id, std::string& error);

// Prints the device's messages on stderr.
class CliHost : public PollLoopHost {
public:
    void show_message(const std::string& caption, const std::string& text) override;
};

// SIGINT and SIGTERM write to an eventfd that the loop watches; the first asks for a stop,
// the second closes at once. Returns the fd (-1 when it could not be made).
int install_stop_signals();

struct LoopReport {
    bool interrupted = false;
    double seconds = 0.0;
};

// Runs the owner loop until the engine is idle with no song timer armed, or until
// max_seconds (0: no limit) have passed, when it asks for a stop and lets the blocks drain.
// Refreshes one status line on stderr: in place on a terminal, once a second otherwise.
LoopReport run_engine_loop(AudioEngine& e, CliHost& host, double max_seconds, int stop_fd);

}  // namespace zv::cli
