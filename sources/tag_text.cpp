#include "sources/tag_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "sources/text_cut.h"

namespace zv {
namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF are not valid).
size_t utf8_sequence_length(std::string_view s, size_t i, uint32_t* code_point = nullptr) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    uint8_t b0 = byte(i);
    size_t len;
    uint32_t cp;
    uint32_t min;
    if (b0 < 0x80) {
        if (code_point != nullptr) {
            *code_point = b0;
        }
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    if (code_point != nullptr) {
        *code_point = cp;
    }
    return len;
}

bool is_cp932_lead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Converts with iconv; false when the input holds a sequence the source encoding lacks.
bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[256];
    bool ok = true;
    while (src_left > 0) {
        char* dst = buf;
        size_t dst_left = sizeof buf;
        size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (ok) {
        char* dst = buf;
        size_t dst_left = sizeof buf;
        iconv(cd, nullptr, nullptr, &dst, &dst_left);
        out.append(buf, static_cast<size_t>(dst - buf));
    }
    iconv_close(cd);
    return ok;
}

std::string latin1_to_utf8(std::string_view in) {
    std::string out;
    out.reserve(in.size() * 2);
    for (char c : in) {
        auto b = static_cast<uint8_t>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::string_view field_bytes(const uint8_t* field, size_t n) {
    const char* p = reinterpret_cast<const char*>(field);
    size_t len = 0;
    while (len < n && p[len] != '\0') {
        ++len;
    }
    return {p, len};
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        size_t len = utf8_sequence_length(bytes, i);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

bool is_valid_cp932(std::string_view bytes) {
    std::string ignored;
    return convert("UTF-8", "CP932", bytes, ignored);
}

TagEncoding detect_tag_encoding(std::string_view bytes) {
    if (is_valid_utf8(bytes)) {
        return TagEncoding::Utf8;
    }
    if (is_valid_cp932(bytes)) {
        return TagEncoding::Cp932;
    }
    return TagEncoding::Latin1;
}

std::string tag_bytes_to_utf8(std::string_view bytes, TagEncoding encoding) {
    std::string out;
    switch (encoding) {
        case TagEncoding::Utf8:
            return std::string(bytes);
        case TagEncoding::Cp932:
            if (convert("UTF-8", "CP932", bytes, out)) {
                return out;
            }
            break;
        case TagEncoding::Latin1:
            break;
    }
    return latin1_to_utf8(bytes);
}

std::string tag_field_display_text(const uint8_t* field, size_t n) {
    std::string_view bytes = field_bytes(field, n);
    return tag_bytes_to_utf8(bytes, detect_tag_encoding(bytes));
}

std::string utf8_to_tag_encoding(std::string_view utf8, TagEncoding encoding) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        size_t len = utf8_sequence_length(utf8, i, &cp);
        if (len == 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        std::string_view ch = utf8.substr(i, len);
        i += len;
        switch (encoding) {
            case TagEncoding::Utf8:
                out.append(ch);
                break;
            case TagEncoding::Latin1:
                out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
                break;
            case TagEncoding::Cp932: {
                std::string one;
                if (cp < 0x80) {
                    out.push_back(static_cast<char>(cp));
                } else if (convert("CP932", "UTF-8", ch, one) && !one.empty()) {
                    out.append(one);
                } else {
                    out.push_back('?');
                }
                break;
            }
        }
    }
    return out;
}

std::string_view cut_at_width(std::string_view bytes, TagEncoding encoding, size_t width) {
    if (bytes.size() <= width) {
        return bytes;
    }
    size_t end = 0;
    switch (encoding) {
        case TagEncoding::Latin1:
            end = width;
            break;
        case TagEncoding::Utf8:
            end = utf8_cut_length(bytes, width);
            break;
        case TagEncoding::Cp932:
            for (size_t i = 0; i < width;) {
                size_t len = is_cp932_lead(static_cast<uint8_t>(bytes[i])) ? 2 : 1;
                if (i + len > width) {
                    break;
                }
                i += len;
                end = i;
            }
            break;
    }
    return bytes.substr(0, end);
}

std::string escape_tag_field(const uint8_t* field, size_t n) {
    std::string out;
    for (char c : field_bytes(field, n)) {
        auto b = static_cast<uint8_t>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out.push_back(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            out.append(hex);
        }
    }
    return out;
}

}  // namespace zv
