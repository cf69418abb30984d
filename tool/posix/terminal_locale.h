#pragma once

#include <span>
#include <string>
#include <string_view>

#include "terminal_keys.h"

// What the terminal's locale says about its text, read from the environment on first use.

// A catalogue text in the terminal's encoding: UTF-8 as it is, Shift_JIS from the tool's
// own encoder, any other codeset through iconv; Shift_JIS where iconv cannot convert.
std::string forTerminal(std::string_view utf8);

// The locale's own multibyte encoding where it has one; UTF-8 where the locale is
// single-byte or not installed.
TerminalEncoding terminalEncoding();

// True while the bytes, which start one character, may still be short of its end in the
// locale's multibyte encoding.
bool localeCharacterIncomplete(std::span<const unsigned char> bytes);
