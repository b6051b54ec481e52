// The external MP3 encoder: a program of the user's choosing, started directly with an
// argument vector made from the parameter template (%1 the WAV path, %2 the MP3 path).
// No shell ever sees the paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zv {

// The parameter line, built as the encoder settings dialog describes it, may hold at most
// this many characters.
constexpr size_t ENCODER_PARAMS_MAX_LENGTH = 257;
inline constexpr const char* ENCODER_PARAMS_ERROR_CAPTION = "外部MP3エンコーダ パラメータエラー";
inline constexpr const char* ENCODER_PARAMS_ERROR_TEXT =
    "パラメータの文字列が長すぎます。 (MAX LENGTH=260)";

// The parameter line as text: "%1" and "%2" become the paths in double quotes, "%" + blank
// keeps the blank, "%" + any other character drops both, a final "%" is dropped.
std::string build_encoder_param_line(std::string_view tmpl, std::string_view wav_path,
                                     std::string_view mp3_path);

// The same template as an argument vector: split at blanks outside double quotes (the quotes
// group words and are removed); the paths are inserted whole, whatever characters they hold.
std::vector<std::string> split_encoder_params(std::string_view tmpl, std::string_view wav_path,
                                              std::string_view mp3_path);

struct ExternalEncodeResult {
    bool ok = false;
    bool params_too_long = false;  // the dialog shows ENCODER_PARAMS_ERROR_TEXT
    std::string error;
};

// Checks the line's length, starts program with the split arguments (posix_spawn), waits for
// it without a time limit and demands exit status 0 and a non-empty MP3 file.
ExternalEncodeResult run_external_encoder(const std::string& program, std::string_view tmpl,
                                          const std::string& wav_path, const std::string& mp3_path);

}  // namespace zv
