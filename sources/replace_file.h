// The one way the program writes a file the user asked for (settings and parameter files,
// playlist files, exported songs): so that the target holds either its old content or the
// whole new one, never half a file.
//
// - The bytes go to a short hidden part file in the target's folder (".zvpart-PID-XXXXXX": it
//   never contains the target's name, so a target name of 255 bytes works), are flushed to
//   the disk and renamed over the target; the folder is flushed too.
// - A target that exists and is not a regular file (a folder, a FIFO, a device, a socket), or
//   a link to one, is refused: renaming over it would replace a device such as /dev/null.
// - A symbolic link is written through: the file it points to is replaced, the link stays.
// - A replaced file keeps its permission bits (and its owner and group where the process may
//   keep them); a new file gets 0666 less the umask.
// - On any failure nothing is left behind and the target is untouched; the messages name the
//   target, never the temporary file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv {

// The part files' names: this prefix, the writing process's id, "-" and six characters. The
// clean-up at start finds a crashed run's leftovers by it.
inline constexpr const char* PART_FILE_PREFIX = ".zvpart-";

class FileReplacer {
public:
    FileReplacer() = default;
    ~FileReplacer();  // abandons an uncommitted file
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Checks the target and creates the temporary file; false with error() set when the
    // target may not be replaced or the folder cannot be written.
    bool begin(const std::string& target);
    // As begin, with `finished` (a file of ours, written whole in a folder only we write)
    // renamed to the temporary name rather than copied: when it is on the target folder's file
    // system and ends up as a file created there would (the folder gives no group, ACL, label
    // or other attribute of its own). False with error() empty when it cannot be moved (begin
    // and a copy then), with error() set when the target may not be replaced. After it, only
    // commit or abandon: the file is already whole.
    bool adopt(const std::string& target, const std::string& finished);
    // Appends bytes; false with error() set when the write fails (a full disk).
    bool write(const void* data, size_t size);
    // Flushes, sets the mode and renames the file over the target; false with error() set.
    bool commit();
    // Removes the temporary file (nothing happens to the target).
    void abandon();

    // The descriptor of the temporary file, for callers that copy into it themselves.
    int fd() const { return fd_; }
    // The file that will be replaced: the target, or the file a link points to.
    const std::string& destination() const { return destination_; }
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what, int error_number);
    // Resolves the target's links and refuses one that is not a regular file; takes the mode,
    // owner and group of a file to be replaced.
    bool check_target(const std::string& target);
    std::string part_stem() const;

    std::string target_;       // as the caller named it, for messages
    std::string destination_;  // links resolved
    std::string temp_;
    int fd_ = -1;
    bool replacing_ = false;
    mode_t mode_ = 0;  // the replaced file's permission bits (0 for a new file)
    uid_t owner_ = 0;
    gid_t group_ = 0;
    std::string error_;
};

// Whether a file written as `finished` is on the file system of target's folder (links
// followed), and that folder gives a file created in it nothing of its own: then adopt can move
// it into place rather than copy it.
bool may_move_into_place(const std::string& finished, const std::string& target);

// Replaces target with the bytes; false with error set (and the target untouched).
bool write_file_replacing(const std::string& target, std::span<const uint8_t> bytes,
                          std::string& error);

// The file a path leads to after following symbolic links (the path itself when it is not a
// link); a dangling link leads to the file it would create. Empty with errno set when the
// links loop or cannot be read.
std::string follow_links(const std::string& path);

// Whether a name in a folder is one of our temporary files, and whose: the process id it
// carries. The clean-up at start removes those whose process is gone.
bool parse_part_file_name(const std::string& name, pid_t& pid);
// Removes the temporary files in folder that a process of ours left when it died (their
// process is gone and they belong to this user). Returns how many were removed.
int remove_stale_part_files(const std::string& folder);

}  // namespace zv
