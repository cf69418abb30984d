#include <gtest/gtest.h>

#include "windows/console_keys.h"

namespace {

ConsoleEvent keyDown(std::uint16_t virtualKey, char16_t character = 0) {
    return {true, true, virtualKey, character};
}

TEST(ConsoleKeys, KeysThatCarryACharacterEndTheWait) {
    const ConsoleEvent keys[] = {
        keyDown(0x41, u'a'),  keyDown(0x31, u'1'),  keyDown(0xBE, u'.'),
        keyDown(0x20, u' '),  keyDown(0x0D, u'\r'), keyDown(0x1B, u'\x1b'),
        keyDown(0x09, u'\t'), keyDown(0x08, u'\b'), keyDown(0x43, u'\x03'),  // Ctrl+C
        keyDown(0xE7, u'あ'),  // a character that the input method composed
        keyDown(0x00, u'漢'),  // text that the input method committed
    };
    for (const ConsoleEvent& key : keys) {
        EXPECT_TRUE(endsKeyWait(key)) << "virtual key " << key.virtualKey;
    }
}

TEST(ConsoleKeys, FunctionCursorAndEditingKeysEndTheWait) {
    for (std::uint16_t f = 0x70; f <= 0x7B; ++f) {  // F1 to F12
        EXPECT_TRUE(endsKeyWait(keyDown(f))) << "F" << f - 0x6F;
    }
    // Page Up, Page Down, End, Home, the four arrows, Insert, Delete; and Escape,
    // which some consoles deliver without its character.
    for (const std::uint16_t key :
         {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0x1B}) {
        EXPECT_TRUE(endsKeyWait(keyDown(key))) << "virtual key " << key;
    }
}

TEST(ConsoleKeys, ModifiersLocksAndKeysWithoutACharacterAreIgnored) {
    // Shift, Ctrl, Alt, both Shifts, Ctrls and Alts, Caps Lock, Num Lock, Scroll Lock,
    // Pause, both Windows keys, the menu key, F13 and a volume key.
    for (const std::uint16_t key : {0x10, 0x11, 0x12, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x14,
                                    0x90, 0x91, 0x13, 0x5B, 0x5C, 0x5D, 0x7C, 0xAF}) {
        EXPECT_FALSE(endsKeyWait(keyDown(key))) << "virtual key " << key;
    }
}

// VK_PROCESSKEY, bare or with the letter that began a composition, and a Japanese
// keyboard's mode keys: 半角/全角 (VK_KANJI, VK_OEM_AUTO, VK_OEM_ENLW), 変換, 無変換,
// カタカナ/ひらがな (VK_KANA, VK_OEM_COPY), 英数 (VK_OEM_ATTN), and VK_MODECHANGE.
TEST(ConsoleKeys, InputMethodAndModeKeysAreIgnored) {
    for (const std::uint16_t key : {0xE5, 0x19, 0xF3, 0xF4, 0x1C, 0x1D, 0x15, 0xF2, 0xF0, 0x1F}) {
        EXPECT_FALSE(endsKeyWait(keyDown(key))) << "virtual key " << key;
        EXPECT_FALSE(endsKeyWait(keyDown(key, u'a'))) << "virtual key " << key << " with a";
    }
}

TEST(ConsoleKeys, ReleasesAndOtherEventsAreIgnored) {
    EXPECT_FALSE(endsKeyWait({true, false, 0x41, u'a'}));  // the release of A
    EXPECT_FALSE(endsKeyWait({true, false, 0x26, 0}));     // the release of Up
    // Mouse, focus, menu and window events carry no key; their fields stay empty.
    EXPECT_FALSE(endsKeyWait(ConsoleEvent{}));
}

}  // namespace
