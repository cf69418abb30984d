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

bool isNamedKey(std::uint16_t key) {
    // Escape normally carries its character, but some consoles send it bare.
    return key == kEscape || (key >= kPageUp && key <= kDown) || key == kInsert || key == kDelete ||
           (key >= kF1 && key <= kF12);
}

}  // namespace

bool endsKeyWait(const ConsoleEvent& event) {
    return event.isKey && event.keyDown && (event.character != 0 || isNamedKey(event.virtualKey));
}
