#include "cli/cli_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_messages.h"
#include "text/language.h"

namespace zv::cli {
namespace {

constexpr OptionRow OPTIONS[] = {
    {1, "--jobs", 'j', ArgKind::Value},
    {2, "--output", 'o', ArgKind::Path},
    {3, "--quiet", 'q', ArgKind::Flag},
};

ParsedArgs parse(std::vector<std::string> args) {
    args.insert(args.begin(), "export");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return parse_args(static_cast<int>(argv.size()), argv.data(), OPTIONS);
}

TEST(CliArgs, EverySpellingGivesTheSameOptionInOrder) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"-j", "1", "a.wav"},
                                                                  {"-j1", "a.wav"},
                                                                  {"--jobs", "1", "a.wav"},
                                                                  {"--jobs=1", "a.wav"}}) {
        ParsedArgs p = parse(args);
        ASSERT_EQ(p.error, nullptr) << args[0];
        ASSERT_EQ(p.args.size(), 2u);
        EXPECT_EQ(p.args[0].id, 1);
        EXPECT_EQ(p.args[0].value, "1");
        EXPECT_EQ(p.args[1].id, OPERAND);
        EXPECT_EQ(p.args[1].value, "a.wav");
    }
    ParsedArgs p = parse({"-q", "--", "-o", "-", "--help"});
    ASSERT_EQ(p.error, nullptr);
    ASSERT_EQ(p.args.size(), 4u);
    EXPECT_EQ(p.args[1].value, "-o") << "after -- everything is an operand";
    EXPECT_EQ(p.args[2].value, "-");
    EXPECT_FALSE(p.help);
    p = parse({"-v", "--help"});
    EXPECT_TRUE(p.verbose);
    EXPECT_TRUE(p.help);
}

TEST(CliArgs, UsageErrorsNameTheOption) {
    struct Case {
        std::vector<std::string> args;
        const Message* error;
        const char* arg;
    } cases[] = {
        {{"--bogus"}, &MSG_UNKNOWN_OPTION, "--bogus"},
        {{"-x"}, &MSG_UNKNOWN_OPTION, "-x"},
        {{"--quiet=yes"}, &MSG_TAKES_NO_VALUE, "--quiet"},
        {{"-qq"}, &MSG_TAKES_NO_VALUE, "-q"},
        {{"--jobs"}, &MSG_NEEDS_VALUE, "--jobs"},
        {{"-o"}, &MSG_NEEDS_FILE, "-o"},
        {{"-o", ""}, &MSG_EMPTY_PATH, "-o"},
        {{"--output="}, &MSG_EMPTY_PATH, "--output"},
    };
    for (const Case& c : cases) {
        ParsedArgs p = parse(c.args);
        EXPECT_EQ(p.error, c.error) << c.args[0];
        EXPECT_EQ(p.error_arg, c.arg);
    }
}

TEST(CliArgs, TsvFieldsEscapeWhatWouldBreakALine) {
    EXPECT_EQ(tsv_field("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(tsv_field("plain name.wav"), "plain name.wav");
}

TEST(MessageLanguage, TheFirstSetLocaleVariableDecides) {
    EXPECT_EQ(language_from_locale(nullptr, nullptr, nullptr), Language::English);
    EXPECT_EQ(language_from_locale(nullptr, nullptr, "ja_JP.UTF-8"), Language::Japanese);
    EXPECT_EQ(language_from_locale("C", nullptr, "ja_JP.UTF-8"), Language::English);
    EXPECT_EQ(language_from_locale("", "ja_JP.eucJP", "en_US"), Language::Japanese);
    EXPECT_EQ(language_from_locale(nullptr, "", "ja"), Language::Japanese);
    const Message m{"%s of %s", "%s / %s"};
    EXPECT_EQ(format(m, Language::English, "1", "2"), "1 of 2");
    EXPECT_EQ(format(m, Language::Japanese, "1", "2"), "1 / 2");
}

}  // namespace
}  // namespace zv::cli
