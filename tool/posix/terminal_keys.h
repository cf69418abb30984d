#pragma once

#include <span>

// True while the bytes, which start one character, may still be short of its end.
using CharacterIncomplete = bool (*)(std::span<const unsigned char> bytes);

// UTF-8's rule: the lead byte says how many bytes follow, and a byte that cannot
// continue the character ends it early.
bool utf8CharacterIncomplete(std::span<const unsigned char> bytes);

// True once the bytes read so far make up one whole key as a terminal sends it;
// false while more bytes of that key may still follow. A character key is whole by
// the terminal's own encoding, given as the rule. A lone Escape stays incomplete:
// only a pause after it tells it apart from the start of a sequence.
bool isWholeKey(std::span<const unsigned char> bytes,
                CharacterIncomplete characterIncomplete = utf8CharacterIncomplete);
