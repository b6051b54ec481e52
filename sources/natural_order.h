// The order in which a folder's songs enter the list: names compared as `ls -v` and
// `sort -V` compare them, so track2 comes before track10 and 01.wav..12.wav stay in order.
// Runs of digits compare by their value; a name's suffix (".wav", ".tar.gz") is compared
// last; names starting with "." come first. Names that compare equal this way ("a1" and
// "a01") are ordered by their bytes, so the order never depends on how a folder was read.
#pragma once

#include <string_view>

namespace zv {

// <0, 0 or >0 as name a orders before, the same as, or after name b. 0 only for equal names.
int natural_compare(std::string_view a, std::string_view b);

inline bool natural_less(std::string_view a, std::string_view b) {
    return natural_compare(a, b) < 0;
}

}  // namespace zv
