#include "settings/settings_file.h"

#include <cassert>
#include <fstream>
#include <vector>

#include "settings/atomic_file.h"

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
                              std::optional<ExternalEncoderRequest>* held_back) {
    if (held_back != nullptr) {
        held_back->reset();
    }
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec)) {
        recompute_derived_values(s.processor);
        return LoadResult::Missing;
    }
    // Nothing past the format's length is ever read.
    std::vector<uint8_t> bytes(SETTINGS_FILE_BYTES);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return load_settings_bytes(s, bytes, kind, beep, held_back);
}

SaveResult save_settings_file(ProgramState& s, const std::filesystem::path& path) {
    const SettingsBytes bytes = encode_settings(s);
    SaveResult result;
    result.ok = write_file_atomically(path, bytes, result.error);
    return result;
}

}  // namespace zv
