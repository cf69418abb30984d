// Replacing a file through a temporary one beside it, on every system.
//
// A temporary (".output.sav.PID-N.tmp") is in one of these states:
//   - created: made under a name that did not exist, and held by its run, which alone
//     may write, rename or remove it (held until it is renamed, or on Windows, which
//     cannot rename a held file, until just before, when its run being alive guards it);
//   - written and synced: all of its bytes are on the disk;
//   - renamed over the file: it is the file now, and nothing is left to remove;
//   - removed by its own run, after any failure before the rename.
// What would end the run from outside waits from before it is created until it is
// renamed or removed. So only a kill that cannot wait (SIGKILL, a power cut) leaves a
// temporary behind, held by nobody and named after a run that is gone: the next run
// that writes in the folder removes it. A temporary whose run is alive, or that
// somebody holds, is never touched by another run.
#include "replace_file.h"

#include <optional>
#include <string>

#include "files.h"
#include "temporary_name.h"

namespace {

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

void removeStaleTemporaries(const char* name) {
    for (const std::string& candidate : namesStartingWith(temporaryNamePrefix(name))) {
        const std::optional<unsigned long> owner = temporaryNameOwner(candidate, name);
        if (owner && !processAlive(*owner)) {
            removeIfUnheld(candidate);
        }
    }
}

bool writeThroughTemporary(const char* name, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    const FileHandle file = createTemporary(name, temporary);
    if (file == kNoFile) {
        return false;
    }
    bool ready = writeFile(file, bytes) && syncFile(file);
    // Where a held file cannot be renamed, its run being alive guards it from here on.
    const bool closedFirst = closeBeforeRename();
    if (closedFirst) {
        ready = closeFile(file) && ready;
    }
    const bool renamed = ready && renameOver(temporary, name);
    if (!renamed) {
        removeFile(temporary);
    }
    // Synced already, so closing can no longer change what is on the disk.
    if (!closedFirst) {
        closeFile(file);
    }
    if (renamed) {
        syncFolder();
    }
    return renamed;
}

}  // namespace

bool replaceFile(const char* name, std::span<const std::uint8_t> bytes) {
    holdTermination();
    removeStaleTemporaries(name);
    const bool replaced = writeThroughTemporary(name, bytes);
    releaseTermination();
    return replaced;
}
