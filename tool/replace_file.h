#pragma once

#include <cstdint>
#include <span>

// Replaces the file of that name in the current folder with exactly these bytes, or
// leaves it as it was and returns false. No partly written file is ever left under
// that name.
bool replaceFile(const char* name, std::span<const std::uint8_t> bytes);
