// Small file operations of the export: whole-file copies, extension rules, chunk-id tests
// and the final placement of a finished file at its target.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "sources/riff_chunks.h"  // same_chunk_id, shared with the readers

namespace zv {

constexpr int COPY_PIECE_BYTES = 65536;

// Why a copy failed: on which side, and the system's error number; or that it was stopped.
struct CopyError {
    bool reading = true;  // false: opening or writing the destination failed
    int err = 0;
    bool stopped = false;  // stop() said so; err is 0
};

// Copies a whole file in 65536-byte pieces; a read-only destination is made writable first.
// Returns false when either file cannot be opened or a read or write fails (a partly written
// destination is removed); why says which side failed. Only a regular file is read: a FIFO
// or a device named as a source fails at once instead of blocking. stop (when given) is asked
// before every piece, so a cancel during the copy of a large file ends it at once (false,
// why.stopped, the partial copy removed).
bool copy_file(const std::string& source, const std::string& destination, CopyError* why = nullptr,
               const std::function<bool()>& stop = {});

// A write error that means the disk is full.
bool is_disk_full(int err);

// Cuts the path at its last "." wherever it is (also inside a folder name); a path without
// "." is returned unchanged.
std::string strip_extension(std::string_view path);

// True when the path is longer than 4 characters and ends in ext (".wav"), any case.
bool has_extension_ci(std::string_view path, std::string_view ext);

// The MP3 path the encoder writes for a WAV path: a final ".wav" or ".mp3" (any case, only in
// a path longer than 4 characters) is cut, then ".mp3" is appended.
std::string mp3_path_for(std::string_view wav_path);

// Checks before any work that target can be written, by the shared writer's rules
// (sources/replace_file.h): its folder exists and takes a new file, and an existing target
// (or the file a link names) is a regular file, never a FIFO, a device or a folder. False
// with error naming what is wrong.
bool check_write_target(const std::string& target, std::string& error);

// Moves a finished file to target: renamed (on the same file system, where the result is the
// file a create in the target's folder would make) or copied to a fresh hidden name in the
// target's folder, then renamed over the target, so the target is either the old file or the
// whole new one. A link is written through (the file it names is replaced, the link stays); a
// replaced file keeps its permission bits; a target that is not a regular file is refused.
// The finished file may be gone afterwards, whether or not the move succeeded. On failure
// nothing new is left in the target folder and error says why.
bool place_file(const std::string& finished, const std::string& target, std::string& error);

// True when the process with this id is gone (a live process of another user counts as
// alive).
bool process_is_gone(long pid);

// Removes a file if it exists; quiet about files that are already gone.
void remove_file(const std::string& path);

// The folder part of a path ("." when it has no "/").
std::string folder_of(std::string_view path);

}  // namespace zv
