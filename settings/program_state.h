// What the state and parameter files carry: the processor with its parameter set and the
// option records that export and playback own. The file layer writes into these explicitly;
// their owner (the desktop program, the command-line tool, a test) keeps them alive.
#pragma once

#include <memory>

#include "engine/processor.h"
#include "export/export_options.h"
#include "playback/device_settings.h"

namespace zv {

struct ProgramState {
    Processor& processor;
    ExportOptions& export_options;
    EncoderSettings& encoder;
    ThrottleSettings& throttle;
    DeviceSettings& devices;
};

// One owner of every record, for programs and tests that have no other home for them.
struct OwnedProgramState {
    std::unique_ptr<Processor> processor = make_processor();
    ExportOptions export_options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
    DeviceSettings devices;

    ProgramState view() {
        return ProgramState{*processor, export_options, encoder, throttle, devices};
    }
};

}  // namespace zv
