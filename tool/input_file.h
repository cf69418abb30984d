#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "file_handle.h"

// The system's side of reading the save: open, measure, read, look at, close.
// Nothing here prints; every call reports through its return value.

// Which file a name or handle stands for, how many names it has, and two times that
// change whenever the file does: its last write and its creation on Windows; on POSIX,
// which keeps no creation time, its last status change.
struct FileIdentity {
    bool known = false;
    std::uint64_t volume = 0;
    std::uint64_t fileHigh = 0;  // the file's number on its volume, 128 bits where
    std::uint64_t fileLow = 0;   // the system has that many
    std::uint64_t links = 0;
    std::int64_t created = 0;
    std::int64_t written = 0;
};

// Opens an existing file for reading. Fails for a folder, and never blocks on a
// FIFO or takes a terminal as the controlling one.
FileHandle openForReading(const char* name);

// The length of an open regular file; -1 for anything else or when it cannot be measured.
std::int64_t fileLength(FileHandle file);

// Whether other programs are kept from writing the open file while it is read.
enum class WriterHold {
    Held,         // none has it open for writing, and none can write it until let go
    WriterOpen,   // another program has it open for writing now, perhaps paused mid-write
    Unavailable,  // the system cannot tell here; only the reads themselves can
};

// Holds off writers until releaseWriters: a program that opens the file for writing
// meanwhile waits, and is told of at the release.
WriterHold holdOffWriters(FileHandle file);

// Lets writers in again, at once; false when one asked to open the file meanwhile.
bool releaseWriters(FileHandle file);

// The save is read twice, whole, and the two reads compared; where a system's reads are
// made before the run (the page's), each serves one of them.
enum class ReadPass { First, Second };

// Reads from that offset until the buffer is full, the file ends or a read fails;
// returns the bytes read.
std::size_t readAt(FileHandle file, ReadPass pass, std::uint64_t offset,
                   std::span<std::uint8_t> buffer);

FileIdentity identityOf(FileHandle file);

// The file that the name itself is, a symbolic link not followed; unknown when there is none.
FileIdentity identityOfName(const char* name);
