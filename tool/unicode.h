#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Decodes the UTF-8 sequence at text[at] and moves at past it; malformed input
// yields U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& at);

// The same text in UTF-16, as a Windows console takes it.
std::u16string toUtf16(std::string_view utf8);
