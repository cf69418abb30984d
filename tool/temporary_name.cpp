#include "temporary_name.h"

#include <charconv>
#include <cstdio>

namespace {

// Process numbers as either system gives them, up to a 32-bit DWORD on Windows.
constexpr unsigned long long kLargestProcessId = 0xFFFFFFFF;

// A number as the tool writes one: decimal digits with no leading zero, from low to high.
bool takeNumber(std::string_view& text, unsigned long long low, unsigned long long high,
                unsigned long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const auto digits = static_cast<std::size_t>(end - text.data());
    if (error != std::errc{} || (digits > 1 && text[0] == '0') || value < low || value > high) {
        return false;
    }
    text.remove_prefix(digits);
    return true;
}

bool take(std::string_view& text, std::string_view part) {
    if (!text.starts_with(part)) {
        return false;
    }
    text.remove_prefix(part.size());
    return true;
}

}  // namespace

std::string temporaryName(const char* name, unsigned long processId, int attempt) {
    char formatted[64];
    std::snprintf(formatted, sizeof formatted, ".%s.%lu-%d.tmp", name, processId, attempt);
    return formatted;
}

std::string temporaryNamePrefix(const char* name) {
    std::string prefix = ".";
    prefix += name;
    prefix += '.';
    return prefix;
}

std::optional<unsigned long> temporaryNameOwner(std::string_view candidate, const char* name) {
    unsigned long long processId = 0;
    unsigned long long attempt = 0;
    if (take(candidate, temporaryNamePrefix(name)) &&
        takeNumber(candidate, 1, kLargestProcessId, processId) && take(candidate, "-") &&
        takeNumber(candidate, 0, kTemporaryNameAttempts - 1, attempt) && candidate == ".tmp") {
        return static_cast<unsigned long>(processId);
    }
    return std::nullopt;
}
