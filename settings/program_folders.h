// The program folder and what lives in it: the state file, the user presets in users/, the
// temp folder tempwav/ and the INI file. Also the run's id for temp file names.
//
// A program started from a desktop menu runs in the home folder, so the program folder is
// $XDG_CONFIG_HOME/zelvonicmp3/ (default ~/.config/zelvonicmp3/) unless the user names one
// (--folder DIR) or starts the program in a folder that already holds zvmp3.prf (a portable
// set-up).
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace zv {

constexpr int USER_PRESET_COUNT = 3;
constexpr char STATE_FILE_NAME[] = "zvmp3.prf";
constexpr char USERS_FOLDER_NAME[] = "users";
constexpr char TEMP_FOLDER_NAME[] = "tempwav";
constexpr char PROGRAM_FOLDER_NAME[] = "zelvonicmp3";
constexpr char INI_FILE_NAME[] = "zelmp3.ini";

struct ProgramFolders {
    std::filesystem::path start_folder;  // the program folder
    std::string run_id;                  // eight decimal digits
};

// The user's home folder: $HOME, else the password database's entry, else "/".
std::string home_folder();

// $XDG_CONFIG_HOME/zelvonicmp3 when that variable holds an absolute path, else
// $HOME/.config/zelvonicmp3.
std::filesystem::path default_program_folder();

// Which folder a start uses: the --folder option when given, else current_dir when it holds
// zvmp3.prf, else the default program folder. Relative options are taken from current_dir.
std::filesystem::path choose_program_folder(const std::filesystem::path& folder_option,
                                            const std::filesystem::path& current_dir);

// Makes the folder (and its parents) when it does not exist. False with error set when it
// cannot be made or is not a folder.
bool prepare_program_folder(const std::filesystem::path& folder, std::string& error);

// Eight digits from the seconds since 1970, modulo 100000000.
std::string make_run_id(std::time_t now);

// start_folder from the current directory (empty when it cannot be had), run_id from now.
ProgramFolders make_program_folders();
// The given folder, run_id from now.
ProgramFolders make_program_folders(std::filesystem::path folder);

std::filesystem::path state_file_path(const ProgramFolders& f);
std::filesystem::path users_folder_path(const ProgramFolders& f);
// n is 1..USER_PRESET_COUNT: users/user_preset_N.zv3.
std::filesystem::path user_preset_path(const ProgramFolders& f, int n);
std::filesystem::path temp_folder_path(const ProgramFolders& f);
std::filesystem::path ini_file_path(const ProgramFolders& f);  // zelmp3.ini

// Creates users/ when it does not exist; true when it exists afterwards.
bool ensure_users_folder(const ProgramFolders& f);

// Deletes every entry of folder that is not a directory; sub-folders and the folder itself
// stay. A missing folder and deletion failures are ignored. Returns the number deleted.
int clean_temp_folder(const std::filesystem::path& folder);

}  // namespace zv
