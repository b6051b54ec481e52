// The language of the program's messages: English, or Japanese when the locale asks for it.
// Each message is one Message with both texts, defined beside the code that shows it.
#pragma once

#include <string>

namespace zv {

enum class Language { English, Japanese };

// The locale's language as the C library picks the messages category: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty decides; Japanese when it starts with "ja".
Language language_from_environment();

// The same rule on given values (empty for unset), for tests.
Language language_from_locale(const char* lc_all, const char* lc_messages, const char* lang);

struct Message {
    const char* en;
    const char* ja;
};

inline const char* text(const Message& m, Language language) {
    return language == Language::Japanese ? m.ja : m.en;
}

// The message with each "%s" replaced by the next argument, in order.
std::string format(const Message& m, Language language, const std::string& a = {},
                   const std::string& b = {}, const std::string& c = {});

}  // namespace zv
