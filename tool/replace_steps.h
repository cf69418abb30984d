#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "file_handle.h"

// The system's side of replacing a file, in the steps that replace_file.cpp puts in
// order. Nothing here prints; every call reports through its return value.

// Creates a new file of that name in the current folder for writing, never opening one
// that exists. Returns kNoFile when it cannot, with nameTaken set when that is because
// the name exists.
FileHandle createExclusive(const std::string& name, bool& nameTaken);

// Writes every byte to the new file, through partial writes; false once a write fails.
bool writeWhole(FileHandle file, std::span<const std::uint8_t> bytes);

// Returns once the file's bytes are on the disk.
bool syncFile(FileHandle file);

// Renames the closed file over the target, which it replaces whole if it exists, and
// makes the rename durable where the system can.
bool moveIntoPlace(const std::string& from, const char* to);

void removeFile(const std::string& name);

unsigned long currentProcessId();

// Between these two, whatever would end the run from outside (a signal, a console
// event) waits, so that the new file is either in place or removed first; it then ends
// the run on release, before anything else happens.
void holdTermination();
void releaseTermination();
