#include "export/temp_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "export/file_ops.h"

namespace zv {

std::string make_run_id() {
    char text[16];
    std::snprintf(text, sizeof text, "%08d",
                  static_cast<int>(static_cast<long long>(std::time(nullptr)) % 100000000));
    return text;
}

std::string temp_base_folder() {
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
}

int remove_stale_temp_folders(const std::string& base) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(base.c_str()), ::closedir);
    if (!dir)
        return 0;
    const size_t prefix = std::strlen(TEMP_FOLDER_PREFIX);
    int removed = 0;
    while (const dirent* e = ::readdir(dir.get())) {
        if (std::strncmp(e->d_name, TEMP_FOLDER_PREFIX, prefix) != 0)
            continue;
        char* end = nullptr;
        long pid = std::strtol(e->d_name + prefix, &end, 10);
        if (end == e->d_name + prefix || *end != '-' || pid == ::getpid())
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || !process_is_gone(pid))
            continue;
        std::error_code ec;
        if (std::filesystem::remove_all(base + "/" + e->d_name, ec) > 0 && !ec)
            ++removed;
    }
    return removed;
}

TempFolder::TempFolder(std::string run_id)
    : run_id_(std::move(run_id)), base_(temp_base_folder()) {}

TempFolder::~TempFolder() {
    if (path_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::path() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tried_) {
        tried_ = true;
        std::string pattern = base_ + "/" + TEMP_FOLDER_PREFIX +
                              std::to_string(static_cast<long>(::getpid())) + "-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) != nullptr)
            path_ = name.data();  // mkdtemp gives 0700
    }
    return path_;
}

std::string TempFolder::job_path(int slot) {
    std::string root = path();
    if (root.empty())
        return root;
    std::string sub = root + "/job" + std::to_string(slot);
    if (::mkdir(sub.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return sub;
}

TempPaths make_temp_paths(const std::string& folder, const std::string& run_id) {
    TempPaths t;
    t.input_copy = folder + "/$$temp_zel_" + run_id + ".wav";
    t.mp3_source_copy = folder + "/$$temp_zel_src_" + run_id + ".mp3";
    t.processed_wav = folder + "/$$temp_zel_dst_" + run_id + ".wav";
    t.processed_mp3 = folder + "/$$temp_zel_dst_" + run_id + ".mp3";
    t.processed_flac = folder + "/$$temp_zel_dst_" + run_id + ".flac";
    t.processed_opus = folder + "/$$temp_zel_dst_" + run_id + ".opus";
    return t;
}

}  // namespace zv
