#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "input_file.h"

namespace {

int descriptor(FileHandle file) { return static_cast<int>(file); }

// What SIGIO did before a lease was taken, to be put back when it is let go.
struct sigaction gSigioBefore;

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
    return {.known = true,
            .volume = static_cast<std::uint64_t>(status.st_dev),
            .fileHigh = 0,
            .fileLow = static_cast<std::uint64_t>(status.st_ino),
            .links = static_cast<std::uint64_t>(status.st_nlink),
            .created = nanoseconds(changeTime(status)),
            .written = nanoseconds(writeTime(status))};
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

std::size_t readAt(FileHandle file, ReadPass, std::uint64_t offset,
                   std::span<std::uint8_t> buffer) {
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

// A read lease: the kernel grants it only while no process has the file open for writing
// (a writable shared mapping included), and one that opens it for writing while it is
// held waits until it is let go, breaking it. The break is announced by SIGIO, whose
// default would end the run; it is ignored meanwhile, and the lease itself is asked.
// Elsewhere (NFS, many FUSE mounts, another user's file, macOS) the two reads decide.
#ifdef F_SETLEASE
WriterHold holdOffWriters(FileHandle file) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGIO, &ignore, &gSigioBefore);
    if (fcntl(descriptor(file), F_SETLEASE, F_RDLCK) == 0) {
        return WriterHold::Held;
    }
    const int error = errno;
    sigaction(SIGIO, &gSigioBefore, nullptr);
    return error == EAGAIN ? WriterHold::WriterOpen : WriterHold::Unavailable;
}

bool releaseWriters(FileHandle file) {
    // A lease that a writer broke reports what it is being broken to.
    const bool kept = fcntl(descriptor(file), F_GETLEASE) == F_RDLCK;
    fcntl(descriptor(file), F_SETLEASE, F_UNLCK);
    sigaction(SIGIO, &gSigioBefore, nullptr);
    return kept;
}
#else
WriterHold holdOffWriters(FileHandle) { return WriterHold::Unavailable; }
bool releaseWriters(FileHandle) { return true; }
#endif

FileIdentity identityOf(FileHandle file) {
    struct stat status {};
    return fstat(descriptor(file), &status) == 0 ? identityFrom(status) : FileIdentity{};
}

FileIdentity identityOfName(const char* name) {
    struct stat status {};
    return lstat(name, &status) == 0 ? identityFrom(status) : FileIdentity{};
}

bool closeFile(FileHandle file) { return close(descriptor(file)) == 0; }
