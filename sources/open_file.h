// The one way the program opens a file it reads: songs (probe, peak scan, export, playback),
// settings and parameter files, playlist files. Only regular files are opened, and the open
// never blocks: a FIFO or a device named like a song or a preset would otherwise hang the
// caller for ever (or read an endless device).
#pragma once

#include <cstdint>
#include <string>

namespace zv {

// What a path names, for the messages about files of the wrong kind.
enum class FileKind { Missing, Regular, Folder, Fifo, CharDevice, BlockDevice, Socket, Other };

struct OpenFailure {
    int error_number = 0;               // errno of the failed call; 0 for a file of the wrong kind
    FileKind kind = FileKind::Regular;  // what the path names when it is not a regular file
    // A short English reason: "No such file or directory", "a FIFO, not a regular file".
    std::string text() const;
};

// Opens path for reading: non-blocking for the open itself, then only when the descriptor
// names a regular file is it kept (links are followed), with blocking reads and close-on-exec
// (it must not leak into an external encoder). Returns the descriptor, or -1 with `why` filled
// in (and errno set: the call's, or EINVAL for a file of the wrong kind).
int open_regular_file(const std::string& path, OpenFailure& why, uint64_t* size = nullptr);

// The kind of file a path names (links followed); Missing when it cannot be examined.
FileKind file_kind(const std::string& path);
// "a folder", "a FIFO", "a character device", ...
const char* file_kind_text(FileKind kind);

// The result of reading a whole span: what came, and whether the end was an error.
struct ReadOutcome {
    size_t bytes = 0;  // bytes read
    int error = 0;     // errno of a failed read; 0 when the file simply ended
};
// Reads until n bytes came, the file ended or a read failed (EINTR is retried).
ReadOutcome read_fully(int fd, void* dst, size_t n);

}  // namespace zv
