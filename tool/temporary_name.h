#pragma once

#include <optional>
#include <string>
#include <string_view>

// How many names the file replacement tries before it gives up.
inline constexpr int kTemporaryNameAttempts = 100;

// The temporary file that becomes the named file: beside it, unlike any name a user
// gives, and hidden where a leading dot hides (".output.sav.1234-0.tmp").
std::string temporaryName(const char* name, unsigned long processId, int attempt);

// What every one of those names begins with (".output.sav.").
std::string temporaryNamePrefix(const char* name);

// The process that wrote the candidate, when it is one of those temporary names exactly as
// the tool writes them: no leading zeros, a process number of 1 to 4,294,967,295, an
// attempt number below kTemporaryNameAttempts.
std::optional<unsigned long> temporaryNameOwner(std::string_view candidate, const char* name);
