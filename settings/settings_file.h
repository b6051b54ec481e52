// The state file and parameter files: one 1899-byte little-endian format holding the
// processor parameters and the export, encoder, throttle and device settings.
//
// The state file (zvmp3.prf in the start folder) is read at start-up and written at exit;
// parameter files (*.zv3, the user presets among them) are written and read on request. The
// reader leaves name_affix, noise_gate and the gate thresholds alone for parameter files.
//
// Every load brings what the file holds within the bounds of the panel's controls
// (param_fields.h), so a damaged or hostile file cannot drive the chain to noise.
//
// Parameter files are presets that people share, and three of their fields can make an MP3
// export start a program: use_external_encoder, external_encoder_path and
// external_encoder_params. A parameter file loaded as SettingsFileKind::Parameters never changes
// them: the loader keeps the current values and reports what the file asked for
// (ExternalEncoderRequest), so the window can ask the user (showing the program and its
// arguments) and the command line can warn; accept_encoder_request then takes it. The state
// file and the user's own presets in users/ (SettingsFileKind::UserPreset) take them as before.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "settings/program_state.h"

namespace zv {

constexpr std::size_t SETTINGS_FILE_BYTES = 1899;
constexpr char SETTINGS_MAGIC[] = "ZEL0ERSP";  // stored without its terminator
constexpr std::size_t SETTINGS_MAGIC_BYTES = 8;

enum class SettingsFileKind {
    State,       // zvmp3.prf: every field
    UserPreset,  // users/user_preset_N.zv3: a parameter file's fields, the external encoder's too
    Parameters,  // any other parameter file: its fields, the external encoder's held back
};

// The external encoder's three fields as a parameter file holds them (the format's defaults,
// off and empty, for any the file is too short to hold).
struct ExternalEncoderRequest {
    int32_t use_external_encoder = 0;
    std::array<char, ENCODER_TEXT_BYTES> external_encoder_path{};
    // The argument template: %1 is the input WAV path, %2 the output MP3 path.
    std::array<char, ENCODER_TEXT_BYTES> external_encoder_params{};
};

// Takes a request that a load held back, after the user agreed (or with --trust-encoder).
void accept_encoder_request(EncoderSettings& encoder, const ExternalEncoderRequest& request);

enum class LoadResult {
    Loaded,    // the magic matched; fields the file holds were taken, the rest defaulted
    Missing,   // the file could not be opened; nothing changed
    BadMagic,  // not a settings file (or shorter than its magic); nothing changed
};

// Called when a file's magic does not match: the desktop program beeps, the command-line
// tool warns on stderr. May be empty.
using BeepHook = std::function<void()>;

struct SaveResult {
    bool ok = false;
    std::string error;  // why the file could not be written; the old file is intact
};

using SettingsBytes = std::array<uint8_t, SETTINGS_FILE_BYTES>;

// Serialises the current values in file order. bass_punch is set to 0.0 first (the stored
// value is always 0.0; its old meaning lives on in bass_attack_ms).
SettingsBytes encode_settings(ProgramState& s);

// Reads the fields that bytes hold, with the format's defaults for the fields past their end,
// brings them within their bounds and sets test_channels to 1.0. Does not recompute derived
// values. On a magic mismatch calls beep and changes nothing.
//
// held_back (may be null) is set, for SettingsFileKind::Parameters only, when the file holds
// external encoder fields that differ from the current ones, which it kept; it is emptied in
// every other case.
LoadResult decode_settings(ProgramState& s, std::span<const uint8_t> bytes, SettingsFileKind kind,
                           const BeepHook& beep,
                           std::optional<ExternalEncoderRequest>* held_back = nullptr);

// decode_settings followed by the derived-value recompute (release setting, bass EQ design,
// final low-pass) that a load always ends with, except after a magic mismatch.
LoadResult load_settings_bytes(ProgramState& s, std::span<const uint8_t> bytes,
                               SettingsFileKind kind, const BeepHook& beep,
                               std::optional<ExternalEncoderRequest>* held_back = nullptr);

// Loads a file. Only a regular file is opened (a FIFO or a device is Missing, and the open never
// blocks). A file that cannot be opened or read changes nothing, but the derived values are
// still recomputed; error, when given, then says why ("No such file or directory", "a FIFO,
// not a regular file", "read error: Input/output error").
LoadResult load_settings_file(ProgramState& s, const std::filesystem::path& path,
                              SettingsFileKind kind, const BeepHook& beep,
                              std::optional<ExternalEncoderRequest>* held_back = nullptr,
                              std::string* error = nullptr);

// Writes the file through a temporary name in its folder (replace_file.h: a target that is not
// a regular file is refused, a link is written through, the mode is kept); on failure the old
// file is untouched.
SaveResult save_settings_file(ProgramState& s, const std::filesystem::path& path);

// The recompute that follows every load: apply_release_setting, design_bass_eq (left channel
// designed, right channel copied) and apply_final_lpf.
void recompute_derived_values(Processor& p);

}  // namespace zv
