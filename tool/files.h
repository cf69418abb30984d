#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The operating system's side of the files: the small steps that reading the save and
// replacing the output are made of (the order they go in is in replace_file.cpp).
// Nothing here prints; every call reports through its return value.

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

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
    bool operator==(const FileIdentity&) const = default;
};

// Opens an existing file for reading. Fails for a folder, and never blocks on a
// FIFO or takes a terminal as the controlling one.
FileHandle openForReading(const char* name);

// The length of an open regular file; -1 for anything else or when it cannot be measured.
std::int64_t fileLength(FileHandle file);

// Reads from that offset until the buffer is full, the file ends or a read fails;
// returns the bytes read.
std::size_t readAt(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> buffer);

FileIdentity identityOf(FileHandle file);

// The file that the name itself is, a symbolic link not followed; unknown when there is none.
FileIdentity identityOfName(const char* name);

bool closeFile(FileHandle file);

// Creates a new file of that name in the current folder for writing, never opening one
// that exists, and holds it so that no other run takes it for a leftover. Returns
// kNoFile when it cannot, with nameTaken set when that is because the name exists.
FileHandle createExclusive(const std::string& name, bool& nameTaken);

// Writes every byte, through partial writes; false once a write fails.
bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes);

// Returns once the file's bytes are on the disk.
bool syncFile(FileHandle file);

// Whether a file must be closed before it can be renamed, rather than held until it is
// in place.
bool closeBeforeRename();

// Renames the file over the target, which it replaces whole if it exists.
bool renameOver(const std::string& from, const char* to);

// Makes the renames in the current folder durable, where the system can.
void syncFolder();

void removeFile(const std::string& name);

// The names in the current folder that begin so.
std::vector<std::string> namesStartingWith(const std::string& prefix);

unsigned long currentProcessId();

// Whether a process of that number runs here; one that may not be looked at does.
bool processAlive(unsigned long processId);

// Removes the file of that name if it is a plain file that nobody holds.
void removeIfUnheld(const std::string& name);

// Between these two, whatever would end the run from outside (a signal, a console
// event) waits, so that the new file is either in place or removed first; it then ends
// the run on release, before anything else happens.
void holdTermination();
void releaseTermination();
