// The state file and parameter files: one 1899-byte little-endian format holding the
// processor parameters and the export, encoder, throttle and device settings.
//
// The state file (zvmp3.prf in the start folder) is read at start-up and written at exit;
// parameter files (*.zv3, the user presets among them) are written and read on request. The
// reader leaves name_affix, noise_gate and the gate thresholds alone for parameter files.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "settings/program_state.h"

namespace zv {

constexpr std::size_t SETTINGS_FILE_BYTES = 1899;
constexpr char SETTINGS_MAGIC[] = "ZEL0ERSP";  // stored without its terminator
constexpr std::size_t SETTINGS_MAGIC_BYTES = 8;

enum class SettingsFileKind { State, Parameters };

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
// and sets test_channels to 1.0. Does not recompute derived values. On a magic mismatch
// calls beep and changes nothing.
LoadResult decode_settings(ProgramState& s, std::span<const uint8_t> bytes, SettingsFileKind kind,
                           const BeepHook& beep);

// decode_settings followed by the derived-value recompute (release setting, bass EQ design,
// final low-pass) that a load always ends with, except after a magic mismatch.
LoadResult load_settings_bytes(ProgramState& s, std::span<const uint8_t> bytes,
                               SettingsFileKind kind, const BeepHook& beep);

// Loads a file. Only a regular file is opened (a FIFO or a device is Missing, and the open never
// blocks). A file that cannot be opened or read changes nothing, but the derived values are
// still recomputed; error, when given, then says why ("No such file or directory", "a FIFO,
// not a regular file", "read error: Input/output error").
LoadResult load_settings_file(ProgramState& s, const std::filesystem::path& path,
                              SettingsFileKind kind, const BeepHook& beep,
                              std::string* error = nullptr);

// Writes the file through a temporary name in its folder (replace_file.h: a target that is not
// a regular file is refused, a link is written through, the mode is kept); on failure the old
// file is untouched.
SaveResult save_settings_file(ProgramState& s, const std::filesystem::path& path);

// The recompute that follows every load: apply_release_setting, design_bass_eq (left channel
// designed, right channel copied) and apply_final_lpf.
void recompute_derived_values(Processor& p);

}  // namespace zv
