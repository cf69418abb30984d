#pragma once

#include <cstdint>

// An open file as both seams pass it: a descriptor, or a Windows handle.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Closes what either seam opened; false when the close reports a failure (a write that
// the system had deferred). Each system defines it beside its input side.
bool closeFile(FileHandle file);
