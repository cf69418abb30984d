#pragma once

#include <cstddef>
#include <string_view>

// Bytes taken by the UTF-8 character that this byte starts; 1 for ASCII and for any
// byte that cannot start one.
std::size_t utf8Length(unsigned char lead);

bool isUtf8Continuation(unsigned char byte);

// Decodes the UTF-8 sequence at text[at] and moves at past it; malformed input
// yields U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& at);
