#include "ui/manual.h"

namespace zv {

std::vector<std::filesystem::path> manual_candidates(const std::filesystem::path& program_folder,
                                                     const std::filesystem::path& program_dir) {
    const std::filesystem::path page = std::filesystem::path("help") / "index.html";
    std::vector<std::filesystem::path> places = {
        program_folder / page,
        program_dir / page,
        // An installed program: <prefix>/bin/zvmp3 and <prefix>/share/zvmp3/help.
        program_dir.parent_path() / "share" / "zvmp3" / page,
    };
#ifdef ZV_HELP_INSTALL_DIR
    places.push_back(std::filesystem::path(ZV_HELP_INSTALL_DIR) / "index.html");
#endif
#ifdef ZV_HELP_SOURCE_DIR
    places.push_back(std::filesystem::path(ZV_HELP_SOURCE_DIR) / "index.html");
#endif
    return places;
}

std::optional<std::filesystem::path> find_manual(const std::filesystem::path& program_folder,
                                                 const std::filesystem::path& program_dir) {
    for (const std::filesystem::path& p : manual_candidates(program_folder, program_dir)) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(p, ec)) {
            return p;
        }
    }
    return std::nullopt;
}

std::filesystem::path manual_page_for(const std::filesystem::path& index, Language language) {
    if (language == Language::English) {
        const std::filesystem::path english = index.parent_path() / "index_en.html";
        std::error_code ec;
        if (std::filesystem::is_regular_file(english, ec)) {
            return english;
        }
    }
    return index;
}

}  // namespace zv
