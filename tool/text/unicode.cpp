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
