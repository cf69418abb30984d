#pragma once

#include <string>
#include <string_view>

#include "terminal_keys.h"

// What the terminal's locale says about its text, read from the environment on first use.

// A catalogue text in the terminal's encoding: UTF-8 as it is, Shift_JIS from the tool's
// own encoder, any other codeset through iconv; Shift_JIS where iconv cannot convert.
std::string forTerminal(std::string_view utf8);

// How the terminal's characters are told complete: by the locale's own multibyte
// encoding, or by UTF-8's rule where the locale is single-byte or not installed.
CharacterIncomplete terminalCharacterRule();
