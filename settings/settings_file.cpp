#include "settings/settings_file.h"

#include <unistd.h>

#include <cstring>
#include <vector>

#include "sources/open_file.h"
#include "sources/replace_file.h"

namespace zv {

void recompute_derived_values(Processor& p) {
    apply_release_setting(p);
    design_bass_eq(p);
    apply_final_lpf(p);
}

void accept_encoder_request(EncoderSettings& encoder, const ExternalEncoderRequest& request) {
    encoder.use_external_encoder = request.use_external_encoder;
    encoder.external_encoder_path = request.external_encoder_path;
    encoder.external_encoder_params = request.external_encoder_params;
}

LoadResult load_settings_bytes(ProgramState& s, std::span<const uint8_t> bytes,
                               SettingsFileKind kind, const BeepHook& beep,
                               std::optional<ExternalEncoderRequest>* held_back) {
    const LoadResult result = decode_settings(s, bytes, kind, beep, held_back);
    if (result != LoadResult::BadMagic) {
        recompute_derived_values(s.processor);
    }
    return result;
}

LoadResult load_settings_file(ProgramState& s, const std::filesystem::path& path,
                              SettingsFileKind kind, const BeepHook& beep,
                              std::optional<ExternalEncoderRequest>* held_back,
                              std::string* error) {
    if (held_back != nullptr) {
        held_back->reset();
    }
    // Regular files only, never blocking: a FIFO or a device given as a parameter file
    // would otherwise hang the program or feed it endless bytes.
    OpenFailure why;
    const int fd = open_regular_file(path.string(), why);
    if (fd < 0) {
        if (error != nullptr) {
            *error = why.text();
        }
        recompute_derived_values(s.processor);
        return LoadResult::Missing;
    }
    // Nothing past the format's length is ever read. A read that fails part-way is not a
    // short file of an earlier version: nothing of it is taken.
    std::vector<uint8_t> bytes(SETTINGS_FILE_BYTES);
    const ReadOutcome got = read_fully(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (got.error != 0) {
        if (error != nullptr) {
            *error = std::string("read error: ") + std::strerror(got.error);
        }
        recompute_derived_values(s.processor);
        return LoadResult::Missing;
    }
    bytes.resize(got.bytes);
    return load_settings_bytes(s, bytes, kind, beep, held_back);
}

SaveResult save_settings_file(ProgramState& s, const std::filesystem::path& path) {
    const SettingsBytes bytes = encode_settings(s);
    SaveResult result;
    result.ok = write_file_replacing(path.string(), bytes, result.error);
    return result;
}

}  // namespace zv
