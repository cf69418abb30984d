#pragma once

#include <cstddef>

// How much of what a write call was asked to write (bytes, or a console's characters)
// is still to be written after it reported writing some. A report above what was asked
// counts as all of it: a Windows 10 console blocked by a selection reports double. A
// call that reports none leaves all of it, and a loop then gives up.
inline std::size_t leftToWrite(std::size_t asked, std::size_t reported) {
    return reported >= asked ? 0 : asked - reported;
}
