#include "console_keys.h"

namespace {

// Windows virtual-key codes; the values are fixed by the system.
constexpr std::uint16_t kEscape = 0x1B;
constexpr std::uint16_t kPageUp = 0x21;  // then Page Down, End, Home and the four arrows
constexpr std::uint16_t kDown = 0x28;
constexpr std::uint16_t kInsert = 0x2D;
constexpr std::uint16_t kDelete = 0x2E;
constexpr std::uint16_t kF1 = 0x70;
constexpr std::uint16_t kF12 = 0x7B;

// A letter typed while the input method composes arrives as VK_PROCESSKEY, its text
// only once committed (as a key with no virtual key). The keys of a Japanese keyboard
// that switch input modes (半角/全角, 変換, 無変換, カタカナ/ひらがな, 英数) and the
// input method's own keys toggle, as Caps Lock does.
constexpr std::uint16_t kProcessKey = 0xE5;
constexpr std::uint16_t kKana = 0x15;  // to VK_MODECHANGE, Escape apart
constexpr std::uint16_t kModeChange = 0x1F;
constexpr std::uint16_t kOemAttn = 0xF0;  // 英数, to VK_OEM_BACKTAB
constexpr std::uint16_t kOemBacktab = 0xF5;

bool isInputModeKey(std::uint16_t key) {
    return key == kProcessKey || (key >= kKana && key <= kModeChange && key != kEscape) ||
           (key >= kOemAttn && key <= kOemBacktab);
}

bool isNamedKey(std::uint16_t key) {
    // Escape normally carries its character, but some consoles send it bare.
    return key == kEscape || (key >= kPageUp && key <= kDown) || key == kInsert || key == kDelete ||
           (key >= kF1 && key <= kF12);
}

}  // namespace

bool endsKeyWait(const ConsoleEvent& event) {
    return event.isKey && event.keyDown && !isInputModeKey(event.virtualKey) &&
           (event.character != 0 || isNamedKey(event.virtualKey));
}
