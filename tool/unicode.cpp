#include "unicode.h"

char32_t nextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    int trailing = 0;
    char32_t c = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        c = lead & 0x07;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        trailing = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        trailing = 1;
        c = lead & 0x1F;
    } else if (lead >= 0x80) {
        return U'\uFFFD';
    }
    for (; trailing > 0; --trailing) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
            return U'\uFFFD';
        }
        c = (c << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    return c;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char32_t c = nextCodePoint(utf8, at);
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            const char32_t above = c - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (above >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (above & 0x3FF)));
        }
    }
    return out;
}
