// The external MP3 encoder: a program of the user's choosing, started directly with an
// argument vector made from the parameter template (%1 the WAV path, %2 the MP3 path).
// No shell ever sees the paths.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zv {

// The parameter line, built as the encoder settings dialog describes it, may hold at most
// this many characters.
constexpr size_t ENCODER_PARAMS_MAX_LENGTH = 257;

// The parameter line as text: "%1" and "%2" become the paths in double quotes, "%" + blank
// keeps the blank, "%" + any other character drops both, a final "%" is dropped.
std::string build_encoder_param_line(std::string_view tmpl, std::string_view wav_path,
                                     std::string_view mp3_path);

// The same template as an argument vector: split at blanks outside double quotes (the quotes
// group words and are removed); the paths are inserted whole, whatever characters they hold.
std::vector<std::string> split_encoder_params(std::string_view tmpl, std::string_view wav_path,
                                              std::string_view mp3_path);

// After a cancel or the time limit the encoder gets SIGTERM, and SIGKILL this much later if
// it has not ended by then.
constexpr int ENCODER_KILL_GRACE_MS = 3000;
// What the encoder prints is kept for the caller's log, its last this many bytes.
constexpr size_t ENCODER_OUTPUT_KEEP_BYTES = 16384;

struct ExternalEncoderControl {
    std::function<bool()> cancelled;  // polled ten times a second; empty: never
    int timeout_seconds = 0;          // 0: wait as long as it takes
};

struct ExternalEncodeResult {
    bool ok = false;
    bool params_too_long = false;  // the line is longer than ENCODER_PARAMS_MAX_LENGTH
    bool cancelled = false;
    bool timed_out = false;
    std::string error;
    std::string output;  // its standard output and error, for the caller's log
};

// Checks the line's length and starts program with the split arguments (posix_spawn): in a
// process group of its own, with the default signal mask and dispositions, its standard input
// from /dev/null and its standard output and error collected for the log (never our own
// standard output). Waits for it, without a limit unless control sets one; a cancel or the
// time limit ends the whole group (SIGTERM, then SIGKILL after ENCODER_KILL_GRACE_MS).
// Demands exit status 0 and a non-empty MP3 file.
ExternalEncodeResult run_external_encoder(const std::string& program, std::string_view tmpl,
                                          const std::string& wav_path, const std::string& mp3_path,
                                          const ExternalEncoderControl& control = {});

}  // namespace zv
