#pragma once

#include <string>
#include <string_view>

// The same text in UTF-16, as a Windows console takes it.
std::u16string toUtf16(std::string_view utf8);
