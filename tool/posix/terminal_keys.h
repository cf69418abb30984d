#pragma once

#include <span>

// How the terminal's characters are told complete: by UTF-8's rule, where the lead byte
// says how many bytes follow and a byte that cannot continue the character ends it
// early, or by the locale's own multibyte encoding.
enum class TerminalEncoding { Utf8, LocaleMultibyte };

// True once the bytes read so far make up one whole key as a terminal sends it;
// false while more bytes of that key may still follow. A character key is whole by
// the terminal's encoding. A lone Escape stays incomplete: only a pause after it tells
// it apart from the start of a sequence.
bool isWholeKey(std::span<const unsigned char> bytes,
                TerminalEncoding encoding = TerminalEncoding::Utf8);
