// The core's facts in the command line's words (cli_messages.h), in the output's language.
#pragma once

#include <string>

#include "export/export_facts.h"
#include "playback/audio_device.h"
#include "playback/device_list.h"
#include "sources/playlist_file.h"
#include "text/language.h"

namespace zv::cli {

const Message& device_problem_message(DeviceProblem problem);
// Why a device would not open: the sound system's own text or ours, then the device's name
// on a line of its own when the failure names it.
std::string device_error_text(const DeviceError& error, Language language);
// Why a playlist file could not be opened or saved; empty for a success.
std::string playlist_file_error_text(const PlaylistFileResult& result, Language language);
std::string export_refusal_text(const ExportRefusal& refusal, Language language);
std::string target_clash_text(const TargetClash& clash, Language language);

}  // namespace zv::cli
