#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "input_file.h"

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
