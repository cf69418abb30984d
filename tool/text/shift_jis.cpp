#include "shift_jis.h"

#include <cstdint>

#include "unicode.h"

namespace {

struct KanjiCode {
    char16_t codePoint;
    std::uint16_t shiftJis;
};

constexpr KanjiCode kKanji[] = {
    {u'見', 0x8CA9}, {u'大', 0x91E5}, {u'過', 0x89DF}, {u'違', 0x88E1}, {u'読', 0x93C7},
    {u'込', 0x8D9E}, {u'正', 0x90B3}, {u'確', 0x8A6D}, {u'認', 0x9446}, {u'間', 0x8AD4},
    {u'変', 0x95CF}, {u'更', 0x8D58}, {u'再', 0x8DC4}, {u'計', 0x8C76}, {u'算', 0x8E5A},
    {u'出', 0x8F6F}, {u'力', 0x97CD}, {u'終', 0x8F49}, {u'了', 0x97B9}, {u'何', 0x89BD},
    {u'押', 0x899F}, {u'下', 0x89BA}, {u'ー', 0x815B},
};

// Returns 0 for a code point outside what the catalogue needs.
std::uint16_t doubleByteCode(char32_t c) {
    if (c >= U'ぁ' && c <= U'ん') {
        return static_cast<std::uint16_t>(0x829F + (c - U'ぁ'));
    }
    // Katakana skip the lead byte's 0x7F trail, which Shift_JIS never uses.
    if (c >= U'ァ' && c <= U'ミ') {
        return static_cast<std::uint16_t>(0x8340 + (c - U'ァ'));
    }
    if (c >= U'ム' && c <= U'ヶ') {
        return static_cast<std::uint16_t>(0x8380 + (c - U'ム'));
    }
    for (const KanjiCode& kanji : kKanji) {
        if (kanji.codePoint == c) {
            return kanji.shiftJis;
        }
    }
    return 0;
}

}  // namespace

std::string toShiftJis(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char32_t c = nextCodePoint(utf8, at);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (const std::uint16_t code = doubleByteCode(c); code != 0) {
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        } else {
            out.push_back('?');
        }
    }
    return out;
}
