#pragma once

// Keys as terminals send them, each byte of them, one key per entry.
struct TerminalKey {
    const char* name;
    const char* bytes;
    bool wholeOnlyAfterAPause = false;  // a lone Escape: the start of a sequence, or not
};

inline constexpr TerminalKey kTerminalKeys[] = {
    {"letter", "q"},
    {"Space", " "},
    {"Tab", "\t"},
    {"Enter", "\r"},
    {"Backspace", "\x7F"},
    {"Ctrl+C", "\x03"},
    {"Ctrl+Z", "\x1A"},
    {"Ctrl+S", "\x13"},
    {"Escape", "\x1B", true},
    {"cursor up", "\x1B[A"},
    {"cursor left, application mode", "\x1BOD"},
    {"F1", "\x1BOP"},
    {"F4", "\x1BOS"},
    {"F5", "\x1B[15~"},
    {"F12", "\x1B[24~"},
    {"Home", "\x1B[H"},
    {"Home, vt220", "\x1B[1~"},
    {"End", "\x1B[F"},
    {"End, vt220", "\x1B[4~"},
    {"Page Up", "\x1B[5~"},
    {"Page Down", "\x1B[6~"},
    {"Insert", "\x1B[2~"},
    {"Delete", "\x1B[3~"},
    {"Ctrl+Up", "\x1B[1;5A"},
    {"Shift+F1", "\x1B[1;2P"},
    {"Alt+F5", "\x1B[15;3~"},
    {"Ctrl+F1, SS3 form", "\x1BO5P"},
    {"Linux console F1", "\x1B[[A"},
    {"Linux console F5", "\x1B[[E"},
    {"e acute", "\xC3\xA9"},
    {"U+07FF, the last two-byte character", "\xDF\xBF"},
    {"devanagari a, U+0905", "\xE0\xA4\x85"},
    {"hiragana a", "\xE3\x81\x82"},
    {"fullwidth q, U+FF51", "\xEF\xBD\x91"},
    {"emoji", "\xF0\x9F\x98\x80"},
    {"Alt+x", "\x1Bx"},
    {"Alt+e acute", "\x1B\xC3\xA9"},
    {"Alt+cursor up", "\x1B\x1B[A"},
};
