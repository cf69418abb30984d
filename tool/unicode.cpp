#include "unicode.h"

std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 1;
}

bool isUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

char32_t nextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    const std::size_t length = utf8Length(lead);
    if (length == 1) {
        return lead < 0x80 ? static_cast<char32_t>(lead) : U'\uFFFD';
    }
    // The lead byte holds the code point's top 7 - length bits.
    char32_t c = lead & (0x7F >> length);
    for (std::size_t trailing = 1; trailing < length; ++trailing) {
        if (at >= text.size() || !isUtf8Continuation(static_cast<unsigned char>(text[at]))) {
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
