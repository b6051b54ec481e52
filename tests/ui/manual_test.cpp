// The user's manual as shipped: both pages link each other, every picture and page they
// name is there, the shortcut tables list the window's shortcuts with their menu items, and
// the English page names the menus as the English window shows them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
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

// Menu paths in the English page ("<i>File &gt; Save Playlist...</i>") are spelt as the English
// window shows them: every step is a caption of the English catalogue.
TEST(Manual, EnglishPageNamesTheMenusAsTheEnglishWindowDoes) {
    const std::string catalogue =
        read(std::filesystem::path(ZV_SOURCE_DIR) / "ui" / "i18n" / "zvmp3_en.ts");
    ASSERT_FALSE(catalogue.empty());
    const auto unescape = [](std::string t) {
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"&apos;", "'"},
                                       {"&quot;", "\""},
                                       {"&amp;", "&"}}) {
            for (size_t at = t.find(from); at != std::string::npos; at = t.find(from, at)) {
                t.replace(at, from.size(), to);
                at += to.size();
            }
        }
        return t;
    };
    std::set<std::string> captions;
    const std::regex translation(R"re(<translation[^>]*>([^<]*)</translation>)re");
    for (auto it = std::sregex_iterator(catalogue.begin(), catalogue.end(), translation);
         it != std::sregex_iterator(); ++it) {
        captions.insert(unescape((*it)[1]));
    }

    const std::string page = read(HELP / "index_en.html");
    const std::regex path(R"re(<i>([^<]*&gt;[^<]*)</i>)re");
    int paths = 0;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), path);
         it != std::sregex_iterator(); ++it) {
        ++paths;
        std::string rest = std::regex_replace((*it)[1].str(), std::regex(R"(\s+)"), " ");
        for (size_t cut = 0; cut != std::string::npos;) {
            cut = rest.find(" &gt; ");
            const std::string step = unescape(rest.substr(0, cut));
            EXPECT_TRUE(captions.contains(step)) << "\"" << step << "\" in " << (*it)[1];
            rest = cut == std::string::npos ? "" : rest.substr(cut + 6);
        }
    }
    EXPECT_GE(paths, 8);
}

}  // namespace
}  // namespace zv
