// The program's folders below the directory it was started from: the state file, the user
// presets in users/ and the temp folder tempwav/. Also the run's id for temp file names.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace zv {

constexpr int USER_PRESET_COUNT = 3;
constexpr char STATE_FILE_NAME[] = "zvmp3.prf";
constexpr char USERS_FOLDER_NAME[] = "users";
constexpr char TEMP_FOLDER_NAME[] = "tempwav";

struct ProgramFolders {
    std::filesystem::path start_folder;  // the current directory at start-up
    std::string run_id;                  // eight decimal digits
};

// Eight digits from the seconds since 1970, modulo 100000000.
std::string make_run_id(std::time_t now);

// start_folder from the current directory (empty when it cannot be had), run_id from now.
ProgramFolders make_program_folders();

std::filesystem::path state_file_path(const ProgramFolders& f);
std::filesystem::path users_folder_path(const ProgramFolders& f);
// n is 1..USER_PRESET_COUNT: users/user_preset_N.zv3.
std::filesystem::path user_preset_path(const ProgramFolders& f, int n);
std::filesystem::path temp_folder_path(const ProgramFolders& f);

// Creates users/ when it does not exist; true when it exists afterwards.
bool ensure_users_folder(const ProgramFolders& f);

// Deletes every entry of folder that is not a directory; sub-folders and the folder itself
// stay. A missing folder and deletion failures are ignored. Returns the number deleted.
int clean_temp_folder(const std::filesystem::path& folder);

}  // namespace zv
