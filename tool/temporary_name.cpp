#include "temporary_name.h"

#include <cstdio>

std::string temporaryName(const char* name, unsigned long processId, int attempt) {
    char formatted[64];
    std::snprintf(formatted, sizeof formatted, ".%s.%lu-%d.tmp", name, processId, attempt);
    return formatted;
}
