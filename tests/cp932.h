#pragma once

#include <string>
#include <string_view>

// UTF-8 to another encoding through the system's iconv: an encoder independent of the tool's.
std::string encodedByIconv(const char* codeset, std::string_view utf8);

inline std::string cp932ByIconv(std::string_view utf8) { return encodedByIconv("CP932", utf8); }
