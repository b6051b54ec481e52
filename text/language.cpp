#include "text/language.h"

#include <cstdlib>
#include <cstring>

namespace zv {

Language language_from_locale(const char* lc_all, const char* lc_messages, const char* lang) {
    for (const char* value : {lc_all, lc_messages, lang}) {
        if (value != nullptr && *value != '\0')
            return std::strncmp(value, "ja", 2) == 0 ? Language::Japanese : Language::English;
    }
    return Language::English;
}

Language language_from_environment() {
    return language_from_locale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                std::getenv("LANG"));
}

std::string format(const Message& m, Language language, const std::string& a, const std::string& b,
                   const std::string& c) {
    const std::string* args[] = {&a, &b, &c};
    std::string out;
    size_t next = 0;
    for (const char* p = text(m, language); *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's' && next < 3) {
            out += *args[next++];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace zv
