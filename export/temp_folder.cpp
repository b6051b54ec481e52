#include "export/temp_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace zv {

std::string make_run_id() {
    char text[16];
    std::snprintf(text, sizeof text, "%08d",
                  static_cast<int>(static_cast<long long>(std::time(nullptr)) % 100000000));
    return text;
}

TempFolder::TempFolder(std::string run_id) : run_id_(std::move(run_id)) {}

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
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zvmp3-XXXXXX";
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
    return t;
}

}  // namespace zv
