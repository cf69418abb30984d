#include <gtest/gtest.h>

#include "cp932.h"
#include "messages.h"
#include "text/shift_jis.h"

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

TEST(ShiftJis, UnknownOrMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(toShiftJis("a\xC3\xA9z"), "a?z");  // é has no place in the table
    EXPECT_EQ(toShiftJis("\xE3\x81"), "?");      // cut short
    EXPECT_EQ(toShiftJis("\xFF"
                         "b"),
              "?b");
}

TEST(Messages, LengthReplacesThePlaceholderInFull) {
    EXPECT_EQ(messageWithLength(MSG_TOO_LARGE, 4294967297),
              "Error: ファイルが大き過ぎです (4294967297)\n");
    EXPECT_EQ(messageWithLength(MSG_WRONG_SIZE, -1), "Error: ファイルサイズが違います (-1)\n");
}

}  // namespace
