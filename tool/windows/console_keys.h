#pragma once

#include <cstdint>

// What the key wait needs of one Windows console input record.
struct ConsoleEvent {
    bool isKey = false;  // mouse, focus, menu and window-size events are not
    bool keyDown = false;
    std::uint16_t virtualKey = 0;
    char16_t character = 0;  // 0 when the key carries none
};

// True for a key press that ends the wait: one that carries a character, or a
// function, cursor or editing key. Releases, modifier and lock keys alone, keys
// with neither (Pause, Windows, menu) and non-key events leave the wait going.
bool endsKeyWait(const ConsoleEvent& event);
