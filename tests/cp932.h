#pragma once

#include <string>
#include <string_view>

// UTF-8 to code page 932 through the system's iconv: an encoder independent of the tool's.
std::string cp932ByIconv(std::string_view utf8);
