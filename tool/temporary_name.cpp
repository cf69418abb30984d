#include "temporary_name.h"

#include <charconv>
#include <cstdio>

namespace {

bool takeNumber(std::string_view& text, unsigned long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{}) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
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
    unsigned long processId = 0;
    unsigned long attempt = 0;
    if (take(candidate, ".") && take(candidate, name) && take(candidate, ".") &&
        takeNumber(candidate, processId) && take(candidate, "-") &&
        takeNumber(candidate, attempt) && candidate == ".tmp") {
        return processId;
    }
    return std::nullopt;
}
