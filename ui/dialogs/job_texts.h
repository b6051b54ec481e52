// The progress lines of the export and peak dialogs, made from what their jobs report: the
// export's stage and processed time, the peak scan's song and percentage. The dialogs'
// own English texts, as the program has always shown them in both languages.
#pragma once

#include <QString>
#include <cstdint>

#include "export/export_facts.h"

namespace zv {

inline constexpr const char* EXPORT_DECODING_TEXT = "Converting to WAV format..";
inline constexpr const char* EXPORT_MEASURING_TEXT = "Searching max level for normalization..";
inline constexpr const char* EXPORT_ENCODING_TEXT = "Converting to MP3 format..";
inline constexpr const char* EXPORT_ENCODING_FLAC_TEXT = "Converting to FLAC format..";
inline constexpr const char* EXPORT_ENCODING_OPUS_TEXT = "Converting to Opus format..";
inline constexpr const char* EXPORT_ENCODING_EXTERNAL_TEXT =
    "Converting to MP3 format with EXT encoder..";
inline constexpr const char* PEAK_PROGRESS_TEXT = "song = %d, done = %d%%";

// The export dialog's status line; empty while the chain runs.
QString export_stage_text(ExportStage stage);
// "%02d:%02d" of the whole seconds processed so far (minutes not capped).
QString processed_time_text(uint64_t frames, int32_t sample_rate);
// "song = %d, done = %d%%" with the entry's index and the percentage.
QString peak_progress_text(int song, int percent);

}  // namespace zv
