#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The operating system's side of reading the save and replacing the output.
// Nothing here prints; every call reports through its return value.

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens an existing file for reading. Fails for a folder, and never blocks on a
// FIFO or takes a terminal as the controlling one.
FileHandle openForReading(const char* name);

// The length of an open regular file; -1 for anything else or when it cannot be measured.
std::int64_t fileLength(FileHandle file);

// Reads until the buffer is full, the file ends or a read fails; returns the bytes read.
std::size_t readUpTo(FileHandle file, std::span<std::uint8_t> buffer);

void closeFile(FileHandle file);

// Replaces the file of that name in the current folder with exactly these bytes, or
// leaves it as it was and returns false. No partly written file is ever left behind.
bool replaceFile(const char* name, std::span<const std::uint8_t> bytes);
