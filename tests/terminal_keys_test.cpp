#include <gtest/gtest.h>

#include <string>

#include "posix/terminal_keys.h"
#include "terminal_key_list.h"

namespace {

bool whole(const std::string& bytes) {
    return isWholeKey({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

// Every key is complete exactly at its last byte: the reader stops there, neither
// leaving a byte behind nor taking one of the next key.
TEST(TerminalKeys, EachKeyIsWholeAtItsLastByteAndNotBefore) {
    for (const TerminalKey& entry : kTerminalKeys) {
        const std::string key = entry.bytes;
        if (key == "\x1B") {
            continue;  // a lone Escape waits for the pause
        }
        for (std::size_t length = 1; length < key.size(); ++length) {
            EXPECT_FALSE(whole(key.substr(0, length)))
                << "prefix of " << length << " of " << entry.name;
        }
        EXPECT_TRUE(whole(key)) << entry.name;
    }
}

TEST(TerminalKeys, LoneEscapeAwaitsThePause) {
    EXPECT_FALSE(whole("\x1B"));
    EXPECT_FALSE(whole(""));
}

TEST(TerminalKeys, ByteThatCannotContinueEndsTheKey) {
    EXPECT_TRUE(whole("\xE3\x41"));    // broken UTF-8
    EXPECT_TRUE(whole("\x1B[1\x03"));  // control byte inside a sequence
    EXPECT_TRUE(whole("\x80"));        // stray continuation byte
}

}  // namespace
