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
        for (std::size_t length = 1; length < key.size(); ++length) {
            EXPECT_FALSE(whole(key.substr(0, length)))
                << "prefix of " << length << " of " << entry.name;
        }
        EXPECT_EQ(whole(key), !entry.wholeOnlyAfterAPause) << entry.name;
    }
}

TEST(TerminalKeys, ByteThatCannotContinueEndsTheKey) {
    EXPECT_FALSE(whole(""));           // none yet
    EXPECT_TRUE(whole("\xE3\x41"));    // broken UTF-8
    EXPECT_TRUE(whole("\x1B[1\x03"));  // control byte inside a sequence
    EXPECT_TRUE(whole("\x80"));        // stray continuation byte
}

}  // namespace
