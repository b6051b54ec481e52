// The program folder and what lives in it: the state file, the user presets in users/, the
// temp folder tempwav/ and the INI file. Also the run's id for temp file names.
//
// A program started from a desktop menu runs in the home folder, so the program folder is
// $XDG_CONFIG_HOME/zelvonicmp3/ (default ~/.config/zelvonicmp3/) unless the user names one
// (--folder DIR, or --portable for the executable's folder). A folder never becomes the
// program folder because it holds a zvmp3.prf: a downloaded folder would otherwise bring its
// own state file (with an external encoder to run) and its own tempwav to empty.
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

// Which folder a start uses: the folder the user named (--folder, --portable) when given,
// else the default program folder, whatever the current folder holds. A relative name is
// taken from current_dir.
std::filesystem::path choose_program_folder(const std::filesystem::path& folder_option,
                                            const std::filesystem::path& current_dir);

// Makes the folder (and its parents) when it does not exist. False with error set when it
// cannot be made or is not a folder.
bool prepare_program_folder(const std::filesystem::path& folder, std::string& error);

// Eight digits from the seconds since 1970, modulo 100000000.
std::string make_run_id(std::time_t now);

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

// What emptying tempwav/ found. Anything but a real folder of this user is left alone.
enum class TempCleanOutcome {
    Cleaned,     // a folder of ours: its files and links were removed
    Missing,     // nothing there
    Link,        // a symbolic link: never followed
    NotAFolder,  // a file or another kind of entry
    NotOwned,    // a folder of another user
    Unreadable,  // could not be opened or listed (error says why)
};
struct TempCleanResult {
    TempCleanOutcome outcome = TempCleanOutcome::Missing;
    int removed = 0;
    int error = 0;  // errno, for Unreadable
};
// True when the user should hear of it: tempwav/ exists but was not ours to empty.
bool temp_clean_left_alone(const TempCleanResult& r);

// Empties tempwav/: in a real folder owned by this user, removes the regular files and the
// symbolic links themselves (never what they name); sub-folders and other entries stay. Works
// on the folder's own descriptor (opened without following a link), so a folder swapped for a
// link while it is cleaned cannot lead the removals elsewhere. Removal failures are ignored.
TempCleanResult clean_temp_folder(const std::filesystem::path& folder);

}  // namespace zv
