#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "files.h"
#include "terminating_signals.h"
#include "write_all.h"

namespace {

int descriptor(FileHandle file) { return static_cast<int>(file); }

std::int64_t nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Linux and macOS name the status-change and modification times differently.
#ifdef __APPLE__
const struct timespec& changeTime(const struct stat& status) { return status.st_ctimespec; }
const struct timespec& writeTime(const struct stat& status) { return status.st_mtimespec; }
#else
const struct timespec& changeTime(const struct stat& status) { return status.st_ctim; }
const struct timespec& writeTime(const struct stat& status) { return status.st_mtim; }
#endif

FileIdentity identityFrom(const struct stat& status) {
    return {true,
            static_cast<std::uint64_t>(status.st_dev),
            0,
            static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_nlink),
            nanoseconds(changeTime(status)),
            nanoseconds(writeTime(status))};
}

// What the hold on termination put aside, to be put back on release.
sigset_t gMaskBeforeHold;
struct sigaction gFileSizeActionBeforeHold {};

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

std::size_t readAt(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t got = pread(descriptor(file), buffer.data() + total, buffer.size() - total,
                                  static_cast<off_t>(offset + total));
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

bool closeFile(FileHandle file) { return close(descriptor(file)) == 0; }

FileHandle createExclusive(const std::string& name, bool& nameTaken) {
    // O_EXCL opens nothing that exists, a symbolic link included.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        nameTaken = errno == EEXIST;
        return kNoFile;
    }
    // An advisory lock: the runs of this tool honour it, and it ends with the run.
    flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

bool writeFile(FileHandle file, std::span<const std::uint8_t> bytes) {
    return writeAll(descriptor(file), bytes);
}

bool syncFile(FileHandle file) { return fsync(descriptor(file)) == 0; }

// The lock goes with the last descriptor: held until the file is in place, it keeps a
// run in another PID namespace, to which this run's number means nothing, off it.
bool closeBeforeRename() { return false; }

bool renameOver(const std::string& from, const char* to) { return rename(from.c_str(), to) == 0; }

// Some file systems cannot sync a folder; that is no reason to report the already
// complete file as lost.
void syncFolder() {
    const int fd = open(".", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

void removeFile(const std::string& name) { unlink(name.c_str()); }

std::vector<std::string> namesStartingWith(const std::string& prefix) {
    std::vector<std::string> names;
    DIR* folder = opendir(".");
    if (folder == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(folder)) {
        if (std::string_view(entry->d_name).starts_with(prefix)) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(folder);
    return names;
}

unsigned long currentProcessId() { return static_cast<unsigned long>(getpid()); }

bool processAlive(unsigned long processId) {
    if (processId == 0 || processId > static_cast<unsigned long>(INT_MAX)) {
        return false;
    }
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

void removeIfUnheld(const std::string& name) {
    const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
        unlink(name.c_str());
    }
    close(fd);
}

void holdTermination() {
    // The signals that end a run wait, and a file size limit fails the write instead
    // of killing the process.
    const sigset_t terminating = terminatingSignals();
    sigprocmask(SIG_BLOCK, &terminating, &gMaskBeforeHold);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &gFileSizeActionBeforeHold);
}

void releaseTermination() {
    sigaction(SIGXFSZ, &gFileSizeActionBeforeHold, nullptr);
    sigprocmask(SIG_SETMASK, &gMaskBeforeHold, nullptr);
}
