#include "settings/program_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

bool temp_clean_left_alone(const TempCleanResult& r) {
    return r.outcome != TempCleanOutcome::Cleaned && r.outcome != TempCleanOutcome::Missing;
}

TempCleanResult clean_temp_folder(const std::filesystem::path& folder) {
    TempCleanResult r;
    // O_NOFOLLOW refuses a link in the last place; O_DIRECTORY anything but a folder.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        r.error = errno;
        switch (errno) {
            case ENOENT:
                r.outcome = TempCleanOutcome::Missing;
                break;
            case ELOOP:
            case ENOTDIR: {
                // Linux answers a link with ENOTDIR when O_DIRECTORY is given too.
                struct stat st {};
                const bool link = ::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
                r.outcome = link ? TempCleanOutcome::Link : TempCleanOutcome::NotAFolder;
                break;
            }
            default:
                r.outcome = TempCleanOutcome::Unreadable;
                break;
        }
        return r;
    }
    struct stat self {};
    if (::fstat(fd, &self) != 0 || self.st_uid != ::geteuid()) {
        r.error = errno;
        r.outcome = TempCleanOutcome::NotOwned;
        ::close(fd);
        return r;
    }
    DIR* dir = ::fdopendir(fd);  // owns fd from here
    if (dir == nullptr) {
        r.error = errno;
        r.outcome = TempCleanOutcome::Unreadable;
        ::close(fd);
        return r;
    }
    // Names first, so the listing is not changed while it is read.
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    const int listing_error = errno;
    r.outcome = TempCleanOutcome::Cleaned;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        // unlinkat without AT_REMOVEDIR never removes a folder and never follows a link, so an
        // entry swapped after this look is at worst left alone.
        if ((S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) &&
            ::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) {
            ++r.removed;
        }
    }
    ::closedir(dir);
    if (listing_error != 0) {
        r.outcome = TempCleanOutcome::Unreadable;
        r.error = listing_error;
    }
    return r;
}

}  // namespace zv
