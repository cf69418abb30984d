#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "files.h"
#include "temporary_name.h"
#include "terminating_signals.h"
#include "write_all.h"

namespace {

int descriptor(FileHandle file) { return static_cast<int>(file); }

// Creates a new file beside the target under a name no user file has: O_EXCL
// refuses to open anything that already exists, so nothing is ever clobbered.
int createTemporary(const char* name, std::string& temporary) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = temporaryName(name, static_cast<unsigned long>(getpid()), attempt);
        const int fd =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            // Held while it is written, so that no other run takes it for a leftover.
            flock(fd, LOCK_EX | LOCK_NB);
        }
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Makes the rename itself durable. Some file systems cannot sync a folder; that
// is no reason to report the already complete file as lost.
void syncCurrentFolder() {
    const int fd = open(".", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool processAlive(unsigned long processId) {
    if (processId == 0 || processId > static_cast<unsigned long>(INT_MAX)) {
        return false;
    }
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

// Removes the temporaries that runs killed while writing left behind: those whose run
// is gone and that nobody holds. Only plain files of exactly that form are touched.
void removeStaleTemporaries(const char* name) {
    DIR* folder = opendir(".");
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        const std::optional<unsigned long> owner = temporaryNameOwner(entry->d_name, name);
        if (!owner || processAlive(*owner)) {
            continue;
        }
        const int fd =
            open(entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat status {};
        if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlink(entry->d_name);
        }
        close(fd);
    }
    closedir(folder);
}

FileIdentity identityFrom(const struct stat& status) {
    return {true, static_cast<std::uint64_t>(status.st_dev),
            static_cast<std::uint64_t>(status.st_ino), static_cast<std::uint64_t>(status.st_nlink)};
}

bool writeReplacement(const char* name, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    const int fd = createTemporary(name, temporary);
    if (fd < 0) {
        return false;
    }
    bool written = writeAll(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), name) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    syncCurrentFolder();
    return true;
}

}  // namespace

FileHandle openForReading(const char* name) {
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return kNoFile;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        return kNoFile;
    }
    return fd;
}

std::int64_t fileLength(FileHandle file) {
    struct stat status {};
    if (fstat(descriptor(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(status.st_size);
}

std::size_t readUpTo(FileHandle file, std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t got = read(descriptor(file), buffer.data() + total, buffer.size() - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    return total;
}

FileIdentity identityOf(FileHandle file) {
    struct stat status {};
    return fstat(descriptor(file), &status) == 0 ? identityFrom(status) : FileIdentity{};
}

FileIdentity identityOfName(const char* name) {
    struct stat status {};
    return lstat(name, &status) == 0 ? identityFrom(status) : FileIdentity{};
}

void closeFile(FileHandle file) { close(descriptor(file)); }

bool replaceFile(const char* name, std::span<const std::uint8_t> bytes) {
    // A termination signal waits until the new file is either in place or removed,
    // and a file size limit fails the write instead of killing the process.
    const sigset_t terminating = terminatingSignals();
    sigset_t previousMask;
    sigprocmask(SIG_BLOCK, &terminating, &previousMask);
    struct sigaction ignore {};
    struct sigaction previousSizeAction {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previousSizeAction);

    removeStaleTemporaries(name);
    const bool replaced = writeReplacement(name, bytes);

    sigaction(SIGXFSZ, &previousSizeAction, nullptr);
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    return replaced;
}
