#pragma once

#include <string>
#include <string_view>

// Encodes UTF-8 text as Shift_JIS (code page 932). Only ASCII, kana, the long
// vowel mark and the kanji of the message catalogue are known; anything else
// becomes '?'.
std::string toShiftJis(std::string_view utf8);
