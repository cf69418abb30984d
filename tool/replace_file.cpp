// Replacing a file through a temporary one beside it, on every console system.
//
// A temporary (".output.sav.PID-N.tmp") is in one of these states:
//   - created: made under a name that did not exist, so no other run writes it;
//   - written, synced and closed: all of its bytes are on the disk;
//   - moved over the file: it is the file now, and nothing is left to remove;
//   - removed by its own run, after any failure before the move.
// What would end the run from outside waits from before it is created until it is
// moved or removed. So only a kill that cannot wait (SIGKILL, End task, a power cut)
// leaves a temporary behind. It is never the save, and no run removes another's: like
// git's stale locks, it is left for the player, whom the guides tell it is safe to delete.
#include "replace_file.h"

#include <cstdio>

#include "replace_steps.h"

namespace {

constexpr int kTemporaryNameAttempts = 100;

// The temporary file that becomes the named file: beside it, unlike any name a user
// gives, and hidden where a leading dot hides (".output.sav.1234-0.tmp").
std::string temporaryName(const char* name, unsigned long processId, int attempt) {
    char formatted[64];
    std::snprintf(formatted, sizeof formatted, ".%s.%lu-%d.tmp", name, processId, attempt);
    return formatted;
}

FileHandle createTemporary(const char* name, std::string& temporary) {
    const unsigned long self = currentProcessId();
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = temporaryName(name, self, attempt);
        bool nameTaken = false;
        const FileHandle file = createExclusive(temporary, nameTaken);
        if (file != kNoFile || !nameTaken) {
            return file;
        }
    }
    return kNoFile;
}

bool writeThroughTemporary(const char* name, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    const FileHandle file = createTemporary(name, temporary);
    if (file == kNoFile) {
        return false;
    }
    const bool written = writeWhole(file, bytes) && syncFile(file);
    const bool closed = closeFile(file);
    if (written && closed && moveIntoPlace(temporary, name)) {
        return true;
    }
    removeFile(temporary);
    return false;
}

}  // namespace

bool replaceFile(const char* name, std::span<const std::uint8_t> bytes) {
    holdTermination();
    const bool replaced = writeThroughTemporary(name, bytes);
    releaseTermination();
    return replaced;
}
