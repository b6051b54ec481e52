// The user's manual as shipped: both pages link each other, every picture and page they
// name is there, and the shortcut tables list the window's shortcuts with their menu items.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "ui/menus.h"

namespace zv {
namespace {

const std::filesystem::path HELP = std::filesystem::path(ZV_SOURCE_DIR) / "resources" / "help";

std::string read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text between <!--NAME--> and <!--/NAME-->.
std::string marked(const std::string& page, const std::string& name) {
    const std::string open = "<!--" + name + "-->";
    const size_t from = page.find(open);
    const size_t to = page.find("<!--/" + name + "-->");
    if (from == std::string::npos || to == std::string::npos || to < from) {
        return {};
    }
    return page.substr(from + open.size(), to - from - open.size());
}

TEST(Manual, PagesPicturesAndLinksAreThere) {
    for (const char* name : {"index.html", "index_en.html"}) {
        SCOPED_TRACE(name);
        const std::string page = read(HELP / name);
        ASSERT_FALSE(page.empty());
        const std::regex reference(R"re((?:src|href)="([^"#:]+)(?:#[^"]*)?")re");
        int local = 0;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
             it != std::sregex_iterator(); ++it) {
            const std::string target = (*it)[1];
            if (target.empty()) {
                continue;
            }
            ++local;
            EXPECT_TRUE(std::filesystem::is_regular_file(HELP / target)) << target;
        }
        EXPECT_GE(local, 4);  // the other page, the style sheet and both pictures
        EXPECT_EQ(page.find("<!--SHORTCUTS_"), page.rfind("<!--SHORTCUTS_"));  // filled once
    }
}

TEST(Manual, ShortcutTablesListTheWindowsShortcuts) {
    const std::string ja = marked(read(HELP / "index.html"), "SHORTCUTS_JA");
    const std::string en = marked(read(HELP / "index_en.html"), "SHORTCUTS_EN");
    ASSERT_FALSE(ja.empty());
    ASSERT_FALSE(en.empty());
    for (const CommandShortcut& s : command_shortcuts()) {
        const std::string keys = std::string("<tr><td>") + s.keys + "</td><td>";
        EXPECT_NE(ja.find(keys + menu_caption(s.command).toStdString() + "</td></tr>"),
                  std::string::npos)
            << s.keys;
        EXPECT_NE(en.find(keys), std::string::npos) << s.keys;
    }
    // One row per shortcut and one for F10.
    const auto rows = [](const std::string& t) {
        size_t n = 0;
        for (size_t at = t.find("<tr>"); at != std::string::npos; at = t.find("<tr>", at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(rows(ja), command_shortcuts().size() + 1);
    EXPECT_EQ(rows(en), command_shortcuts().size() + 1);
}

}  // namespace
}  // namespace zv
