#pragma once

#include <string>

// How many names the file replacement tries before it gives up.
inline constexpr int kTemporaryNameAttempts = 100;

// The temporary file that becomes the named file: beside it, unlike any name a user
// gives, and hidden where a leading dot hides (".output.sav.1234-0.tmp").
std::string temporaryName(const char* name, unsigned long processId, int attempt);
