#include "settings/program_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace zv {

std::string make_run_id(std::time_t now) {
    const long long id = static_cast<long long>(now) % 100000000LL;
    char text[16];
    std::snprintf(text, sizeof text, "%08lld", id < 0 ? -id : id);
    return text;
}

std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

std::filesystem::path default_program_folder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / PROGRAM_FOLDER_NAME;
    }
    return std::filesystem::path(home_folder()) / ".config" / PROGRAM_FOLDER_NAME;
}

std::filesystem::path choose_program_folder(const std::filesystem::path& folder_option,
                                            const std::filesystem::path& current_dir) {
    if (!folder_option.empty()) {
        return folder_option.is_absolute() ? folder_option : current_dir / folder_option;
    }
    std::error_code ec;
    if (!current_dir.empty() &&
        std::filesystem::is_regular_file(current_dir / STATE_FILE_NAME, ec)) {
        return current_dir;
    }
    return default_program_folder();
}

bool prepare_program_folder(const std::filesystem::path& folder, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
        error = "cannot use '" + folder.string() + "' as the program folder" +
                (ec ? ": " + ec.message() : std::string(": not a folder"));
        return false;
    }
    return true;
}

ProgramFolders make_program_folders() {
    std::error_code ec;
    return make_program_folders(std::filesystem::current_path(ec));
}

ProgramFolders make_program_folders(std::filesystem::path folder) {
    ProgramFolders f;
    f.start_folder = std::move(folder);
    f.run_id = make_run_id(std::time(nullptr));
    return f;
}

std::filesystem::path state_file_path(const ProgramFolders& f) {
    return f.start_folder / STATE_FILE_NAME;
}

std::filesystem::path users_folder_path(const ProgramFolders& f) {
    return f.start_folder / USERS_FOLDER_NAME;
}

std::filesystem::path user_preset_path(const ProgramFolders& f, int n) {
    return users_folder_path(f) / ("user_preset_" + std::to_string(n) + ".zv3");
}

std::filesystem::path temp_folder_path(const ProgramFolders& f) {
    return f.start_folder / TEMP_FOLDER_NAME;
}

std::filesystem::path ini_file_path(const ProgramFolders& f) {
    return f.start_folder / INI_FILE_NAME;
}

bool ensure_users_folder(const ProgramFolders& f) {
    std::error_code ec;
    std::filesystem::create_directory(users_folder_path(f), ec);
    return std::filesystem::is_directory(users_folder_path(f), ec);
}

int clean_temp_folder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) {
        return 0;
    }
    // Collected first, so the listing is not changed while it is being read.
    std::vector<std::filesystem::path> doomed;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            break;
        }
        std::error_code entry_ec;
        // A symbolic link is removed itself; what it points to is never followed.
        if (it->is_symlink(entry_ec) || !it->is_directory(entry_ec)) {
            doomed.push_back(it->path());
        }
    }
    int deleted = 0;
    for (const std::filesystem::path& path : doomed) {
        std::error_code entry_ec;
        if (std::filesystem::remove(path, entry_ec)) {
            ++deleted;
        }
    }
    return deleted;
}

}  // namespace zv
