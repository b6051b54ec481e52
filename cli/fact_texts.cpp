#include "cli/fact_texts.h"

#include "cli/cli_messages.h"

namespace zv::cli {

const Message& device_problem_message(DeviceProblem problem) {
    return problem == DeviceProblem::NoOutput ? MSG_NO_OUTPUT_DEVICE : MSG_NO_INPUT_DEVICE;
}

std::string device_error_text(const DeviceError& error, Language language) {
    std::string why;
    switch (error.failure) {
        case DeviceFailure::SystemError:
            why = error.system_text;
            break;
        case DeviceFailure::JackServerGone:
            why = text(MSG_JACK_SERVER_GONE, language);
            break;
        case DeviceFailure::JackPortsRefused:
            why = text(MSG_JACK_PORTS_REFUSED, language);
            break;
        case DeviceFailure::LiveNeedsOneSystem:
            why = text(MSG_LIVE_NEEDS_ONE_SYSTEM, language);
            break;
    }
    return error.device.empty() ? why : why + "\n" + error.device;
}

std::string playlist_file_error_text(const PlaylistFileResult& result, Language language) {
    switch (result.status) {
        case PlaylistFileStatus::ok:
            return {};
        case PlaylistFileStatus::engine_busy:
            return text(MSG_PLAYER_BUSY, language);
        case PlaylistFileStatus::cannot_open:
            return format(MSG_PLAYLIST_CANNOT_OPEN, language, playlist_file_reason(result));
        case PlaylistFileStatus::wrong_size:
            return format(MSG_NOT_A_PLAYLIST, language, std::to_string(PLAYLIST_FILE_BYTES));
        case PlaylistFileStatus::read_error:
            return format(MSG_PLAYLIST_READ_ERROR, language, playlist_file_reason(result));
        case PlaylistFileStatus::cannot_write:
            break;
    }
    return playlist_file_reason(result);
}

std::string export_refusal_text(const ExportRefusal& refusal, Language language) {
    switch (refusal.kind) {
        case ExportRefusalKind::NoSongSelected:
            return text(MSG_NO_SONG_SELECTED, language);
        case ExportRefusalKind::PlaylistEmpty:
            return text(MSG_PLAYLIST_EMPTY, language);
        case ExportRefusalKind::AffixNotPlain:
            return format(MSG_NAME_AFFIX_NOT_PLAIN, language, refusal.affix);
        case ExportRefusalKind::NoFolder:
            break;
    }
    return text(MSG_NO_FOLDER, language);
}

std::string target_clash_text(const TargetClash& clash, Language language) {
    switch (clash.kind) {
        case TargetClashKind::ReplacesItself:
            return format(MSG_REPLACES_ITSELF, language, clash.output);
        case TargetClashKind::ReplacesSource:
            return format(MSG_REPLACES_SOURCE, language, clash.output, clash.other);
        case TargetClashKind::SameOutput:
            break;
    }
    return format(MSG_SAME_OUTPUT, language, clash.output, clash.other);
}

}  // namespace zv::cli
