#include <gtest/gtest.h>

#include <string>

#include "terminal_keys.h"

namespace {

bool whole(const std::string& bytes) {
    return isWholeKey({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

// Every key is complete exactly at its last byte: the reader stops there, neither
// leaving a byte behind nor taking one of the next key.
TEST(TerminalKeys, EachKeyIsWholeAtItsLastByteAndNotBefore) {
    const std::string keys[] = {
        "a", "\r", "\x03", "\x7F", " ", "\t",
        "\x1B[A", "\x1B[D", "\x1BOA", "\x1BOP", "\x1BOS",       // cursor keys, F1, F4
        "\x1B[15~", "\x1B[24~", "\x1B[2~", "\x1B[3~",            // F5, F12, Insert, Delete
        "\x1B[H", "\x1B[F", "\x1B[1~", "\x1B[4~", "\x1B[5~", "\x1B[6~",
        "\x1B[1;5A", "\x1B[1;2P", "\x1B[15;3~", "\x1BO5P",       // modified keys
        "\x1B[[A", "\x1B[[E",                                    // Linux console F1, F5
        "\xC3\xA9", "\xE3\x81\x82", "\xF0\x9F\x98\x80",          // é, あ, an emoji
        "\x1Bx", "\x1B\xC3\xA9", "\x1B\x1B[A",                   // with Alt
    };
    for (const std::string& key : keys) {
        for (std::size_t length = 1; length < key.size(); ++length) {
            EXPECT_FALSE(whole(key.substr(0, length))) << "prefix of " << length << " of key "
                                                       << testing::PrintToString(key);
        }
        EXPECT_TRUE(whole(key)) << testing::PrintToString(key);
    }
}

TEST(TerminalKeys, LoneEscapeAwaitsThePause) {
    EXPECT_FALSE(whole("\x1B"));
    EXPECT_FALSE(whole(""));
}

TEST(TerminalKeys, ByteThatCannotContinueEndsTheKey) {
    EXPECT_TRUE(whole("\xE3" "a"));       // broken UTF-8
    EXPECT_TRUE(whole("\x1B[1\x03"));     // control byte inside a sequence
    EXPECT_TRUE(whole("\x80"));           // stray continuation byte
}

}  // namespace
