#include "sources/natural_order.h"

#include <cstddef>

namespace zv {
namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_alnum(char c) {
    return is_digit(c) || is_alpha(c);
}

// The length of the name without its suffix: the longest tail made of parts like ".wav" or
// ".tar" (a dot, a letter or '~', then letters, digits or '~'), which may be the whole name
// (".hidden"), as coreutils 9.1 (Debian 12) cuts it.
size_t prefix_length(std::string_view s) {
    size_t prefix = 0;
    size_t i = 0;
    for (;;) {
        while (i + 1 < s.size() && s[i] == '.' && (is_alpha(s[i + 1]) || s[i + 1] == '~')) {
            for (i += 2; i < s.size() && (is_alnum(s[i]) || s[i] == '~'); ++i) {
            }
        }
        if (i >= s.size()) {
            return prefix;
        }
        ++i;
        prefix = i;
    }
}

// The weight of the character at pos among non-digits: the end of the text before everything
// but '~', '~' before that, letters before other characters.
int weight(std::string_view s, size_t pos) {
    if (pos == s.size()) {
        return -1;
    }
    const auto c = static_cast<unsigned char>(s[pos]);
    if (is_digit(static_cast<char>(c))) {
        return 0;
    }
    if (is_alpha(static_cast<char>(c))) {
        return c;
    }
    if (c == '~') {
        return -2;
    }
    return c + 256;
}

// Alternating runs of non-digits (by weight) and digits (by value, leading zeros ignored).
int compare_runs(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() || j < b.size()) {
        while ((i < a.size() && !is_digit(a[i])) || (j < b.size() && !is_digit(b[j]))) {
            const int wa = weight(a, i);
            const int wb = weight(b, j);
            if (wa != wb) {
                return wa - wb;
            }
            ++i;
            ++j;
        }
        while (i < a.size() && a[i] == '0') {
            ++i;
        }
        while (j < b.size() && b[j] == '0') {
            ++j;
        }
        int first_difference = 0;
        while (i < a.size() && j < b.size() && is_digit(a[i]) && is_digit(b[j])) {
            if (first_difference == 0) {
                first_difference = a[i] - b[j];
            }
            ++i;
            ++j;
        }
        if (i < a.size() && is_digit(a[i])) {
            return 1;  // a's number has more digits
        }
        if (j < b.size() && is_digit(b[j])) {
            return -1;
        }
        if (first_difference != 0) {
            return first_difference;
        }
    }
    return 0;
}

int version_compare(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) {
        return static_cast<int>(!a.empty()) - static_cast<int>(!b.empty());
    }
    // "." first, then "..", then other names starting with ".", then the rest.
    if (a[0] == '.' || b[0] == '.') {
        if (a[0] != '.') {
            return 1;
        }
        if (b[0] != '.') {
            return -1;
        }
        for (std::string_view special : {std::string_view("."), std::string_view("..")}) {
            if (a == special || b == special) {
                return static_cast<int>(a != special) - static_cast<int>(b != special);
            }
        }
    }
    const size_t pa = prefix_length(a);
    const size_t pb = prefix_length(b);
    const int r = compare_runs(a.substr(0, pa), b.substr(0, pb));
    if (r != 0 || (pa == a.size() && pb == b.size())) {
        return r;
    }
    return compare_runs(a, b);
}

}  // namespace

int natural_compare(std::string_view a, std::string_view b) {
    const int r = version_compare(a, b);
    if (r != 0) {
        return r < 0 ? -1 : 1;
    }
    const int c = a.compare(b);  // unsigned bytes
    return (c > 0) - (c < 0);
}

}  // namespace zv
