#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The operating system's side of reading the save and replacing the output.
// Nothing here prints; every call reports through its return value.

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Which file a name or handle stands for, and how many names it has.
struct FileIdentity {
    bool known = false;
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t links = 0;
};

// Opens an existing file for reading. Fails for a folder, and never blocks on a
// FIFO or takes a terminal as the controlling one.
FileHandle openForReading(const char* name);

// The length of an open regular file; -1 for anything else or when it cannot be measured.
std::int64_t fileLength(FileHandle file);

// Reads until the buffer is full, the file ends or a read fails; returns the bytes read.
std::size_t readUpTo(FileHandle file, std::span<std::uint8_t> buffer);

FileIdentity identityOf(FileHandle file);

// The file that the name itself is, a symbolic link not followed; unknown when there is none.
FileIdentity identityOfName(const char* name);

void closeFile(FileHandle file);

// Replaces the file of that name in the current folder with exactly these bytes, or
// leaves it as it was and returns false. No partly written file is ever left behind,
// and the temporary files of earlier runs that were killed while writing are removed.
bool replaceFile(const char* name, std::span<const std::uint8_t> bytes);
