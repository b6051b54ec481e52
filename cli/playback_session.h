// What zvmp3-cli play and onair share: the owner loop with its status line and its answer to
// Ctrl-C.
#pragma once

#include <string>

#include "cli/stop_signals.h"
#include "playback/audio_engine.h"
#include "playback/poll_loop.h"
#include "text/language.h"

namespace zv::cli {

// Prints the device's messages on stderr, in the output's language.
class CliHost : public PollLoopHost {
public:
    explicit CliHost(Language language) : language_(language) {}
    void device_open_failed(const DeviceError& error) override;

private:
    Language language_;
};

struct LoopReport {
    bool interrupted = false;
    double seconds = 0.0;
};

// Runs the owner loop until the engine is idle with no song timer armed, or until
// max_seconds (0: no limit) have passed, when it asks for a stop and lets the blocks drain.
// Ctrl-C or SIGTERM asks for the same stop; a second one closes at once. Refreshes one status
// line on stderr: in place on a terminal, once a second otherwise.
LoopReport run_engine_loop(AudioEngine& e, CliHost& host, double max_seconds, StopSignals& signals);

}  // namespace zv::cli
