// The rules of the export commands that need no window: bitrate entries, Export All naming,
// skipping and marks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "export/export_options.h"

namespace zv {

enum class ExportCommand { ExportSong, ExportAll };

// The bitrate field as typed: not a number, below 32 or above 320 gives 128 (Export All) or
// 192 (Export a song); any other value rounds up to the first list value not below it.
int32_t bitrate_from_entry(std::string_view text, ExportCommand command);

// An affix is a plain part of a file name: no "/" and no ".." (an affix "../x_" would write
// outside the chosen folder), no zero byte.
bool is_plain_name_part(std::string_view affix);

// Export All beside the sources with an empty affix uses "zel_", so that no output ever
// overwrites its source.
std::string effective_name_affix(std::string_view affix, bool save_to_source_folder);

struct ExportAllNaming {
    std::string folder;  // ignored when save_to_source_folder
    std::string affix;
    bool affix_is_postfix = false;
    bool save_to_source_folder = false;
    bool output_mp3 = false;
};

// The target path handed to the export job for one source in Export All. In MP3 mode it ends
// in ".wav" (the job derives the MP3 name from it).
std::string export_all_target(std::string_view source_path, const ExportAllNaming& naming);

// Export a song in MP3 mode: a final ".wav" or ".mp3" (any case, path longer than 4
// characters) is cut and ".wav" appended.
std::string mp3_mode_target(std::string_view chosen_path);

// The file the job finally writes for a target: strip_extension + ".mp3" or ".wav".
std::string final_output_path(std::string_view target, bool output_mp3);
// The same for any format: strip_extension + ".wav", ".mp3", ".flac" or ".opus". FLAC and
// Opus targets are named as WAV ones are (the MP3 mode's ".wav" target is the MP3's alone).
std::string final_output_path(std::string_view target, ExportFormat format);

// The Opus bitrate field: a number of 12..256 kbit/s, else the default 128.
int32_t opus_bitrate_from_entry(std::string_view text);

// Export All with "Except exported files" skips exported and failed entries.
bool skip_entry(int32_t song_mark, bool skipping);

}  // namespace zv

namespace zv {

// A target whose file name has no "." gets ".wav" appended, so that the job's cut at the last
// "." (strip_extension) never lands in a folder name.
std::string with_name_extension(std::string_view target);

}  // namespace zv
