#include <gtest/gtest.h>

#include "cp932.h"
#include "messages.h"
#include "text/shift_jis.h"
#include "windows/utf16.h"

namespace {

std::string utf8Of(char32_t c) {
    std::string s;
    if (c < 0x800) {
        s += static_cast<char>(0xC0 | c >> 6);
    } else {
        s += static_cast<char>(0xE0 | c >> 12);
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    }
    s += static_cast<char>(0x80 | (c & 0x3F));
    return s;
}

TEST(ShiftJis, EveryMessageMatchesAnIndependentEncoder) {
    for (int id = 0; id < MESSAGE_COUNT; ++id) {
        const std::string_view text = messageText(static_cast<MessageId>(id));
        EXPECT_EQ(toShiftJis(text), cp932ByIconv(text)) << "message " << id << ": " << text;
    }
}

TEST(ShiftJis, WholeKanaRangesMatchAnIndependentEncoder) {
    std::string kana;
    for (char32_t c = U'ぁ'; c <= U'ん'; ++c) {
        kana += utf8Of(c);
    }
    for (char32_t c = U'ァ'; c <= U'ヶ'; ++c) {
        kana += utf8Of(c);
    }
    EXPECT_EQ(toShiftJis(kana), cp932ByIconv(kana));
}

// Both encoders on every length of sequence, and on what has no place in their table or
// is malformed: Shift_JIS gives a question mark, UTF-16 the replacement character.
TEST(Encoders, EveryLengthOfSequenceUnmappedAndMalformedInput) {
    const struct {
        const char* what;
        std::string utf8;
        std::string shiftJis;
        std::u16string utf16;
    } rows[] = {
        {"one to four bytes", "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", "a?\x82\xA0?",
         u"a\u00E9\u3042\U0001F600"},
        {"cut short", "\xE3\x81", "?", u"\uFFFD"},
        {"a byte that starts nothing",
         "\xFF"
         "b",
         "?b", u"\uFFFDb"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(toShiftJis(row.utf8), row.shiftJis) << row.what;
        EXPECT_EQ(toUtf16(row.utf8), row.utf16) << row.what;
    }
}

TEST(Messages, LengthReplacesThePlaceholderInFull) {
    EXPECT_EQ(messageWithLength(MSG_TOO_LARGE, 4294967297),
              "Error: ファイルが大き過ぎです (4294967297)\n");
    EXPECT_EQ(messageWithLength(MSG_WRONG_SIZE, -1), "Error: ファイルサイズが違います (-1)\n");
}

}  // namespace
