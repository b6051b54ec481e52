#include "settings/program_folders.h"

#include <cstdio>
#include <system_error>
#include <vector>

namespace zv {

std::string make_run_id(std::time_t now) {
    const long long id = static_cast<long long>(now) % 100000000LL;
    char text[16];
    std::snprintf(text, sizeof text, "%08lld", id < 0 ? -id : id);
    return text;
}

ProgramFolders make_program_folders() {
    ProgramFolders f;
    std::error_code ec;
    f.start_folder = std::filesystem::current_path(ec);
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
