#include "sources/text_cut.h"

namespace zv {

std::size_t utf8_cut_length(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) {
        return text.size();
    }
    std::size_t len = max_bytes;
    // Back off over continuation bytes so the byte after the cut starts a character.
    while (len > 0 && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80) {
        --len;
    }
    return len;
}

}  // namespace zv
