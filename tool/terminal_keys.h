#pragma once

#include <span>

// True once the bytes read so far make up one whole key as a terminal sends it;
// false while more bytes of that key may still follow. A lone Escape stays
// incomplete: only a pause after it tells it apart from the start of a sequence.
bool isWholeKey(std::span<const unsigned char> bytes);
