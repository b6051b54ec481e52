// The export's working files live in a private folder (mode 0700, made with mkdtemp) that
// one owner object makes on first need and removes with everything in it when it is
// destroyed. Names inside it are fixed and predictable; nobody else can create them.
#pragma once

#include <mutex>
#include <string>

namespace zv {

// Eight decimal digits from the start time: seconds since 1970 modulo 100000000.
std::string make_run_id();

// Where private temp folders are made: $TMPDIR, else /tmp.
std::string temp_base_folder();

// Private temp folders are named TEMP_FOLDER_PREFIX + the owner's process id + "-XXXXXX", so
// that one left by a process that died can be told from one in use.
inline constexpr const char* TEMP_FOLDER_PREFIX = "zvmp3-";

// Removes, with everything in them, the private temp folders in base whose process is gone:
// only folders with our prefix and a process id, owned by this user. The export and peak
// commands run it at start, the desktop program at start-up. Returns how many were removed.
int remove_stale_temp_folders(const std::string& base = temp_base_folder());

class TempFolder {
public:
    explicit TempFolder(std::string run_id);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& run_id() const { return run_id_; }
    // The folder the private one is made in, for messages ("the temporary folder /tmp is full").
    std::string base() const { return base_; }
    // Makes the folder on the first call (any thread); empty when it cannot be made.
    std::string path();
    // A private sub-folder per concurrent job, so that each job keeps the fixed names.
    std::string job_path(int slot);

private:
    std::string run_id_;
    std::string base_;
    std::mutex mutex_;
    std::string path_;
    bool tried_ = false;
};

// The working files of one export job inside a folder.
struct TempPaths {
    std::string input_copy;       // "$$temp_zel_" + id + ".wav"
    std::string mp3_source_copy;  // "$$temp_zel_src_" + id + ".mp3"
    std::string processed_wav;    // "$$temp_zel_dst_" + id + ".wav"
    std::string processed_mp3;    // "$$temp_zel_dst_" + id + ".mp3"
    std::string processed_flac;   // "$$temp_zel_dst_" + id + ".flac"
    std::string processed_opus;   // "$$temp_zel_dst_" + id + ".opus"
};
TempPaths make_temp_paths(const std::string& folder, const std::string& run_id);

}  // namespace zv
