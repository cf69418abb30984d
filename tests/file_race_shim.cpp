// Preloaded into the native tool to stage, without timing luck, what happens to files
// under a run:
//   KOVALT_STORE_AT_READ=N    the byte at offset N of savedata.sav changes just after its
//                             first read, through a shared mapping, as an emulator's store:
//                             neither the length nor the times change; where the run
//                             holds a lease, the open for it breaks the lease instead,
//                             and stores nothing
//   KOVALT_LEASE_ERROR=E      a lease is refused with errno E, as where leases cannot be had
//   KOVALT_FAIL_READ_AFTER=N  reads of savedata.sav fail (EIO) past its first N bytes
//   KOVALT_SHORT_WRITES=N     each write to a temporary file writes at most N bytes
//   KOVALT_RAISE_AT_FSYNC=S   the first fsync, the temporary file's, raises signal S
//   KOVALT_FAIL_FOLDER_SYNC   a folder's fsync fails, as on file systems that cannot
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>

namespace {

template <typename Function>
Function* next(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

bool namedSo(int fd, const char* ending) {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 && std::string(target, static_cast<std::size_t>(length)).ends_with(ending);
}

// The open is another program's, which a lease would keep waiting: this one cannot wait
// for itself, so it is told at once, stores nothing, and the lease is broken all the same.
void storeThroughMapping(off_t offset) {
    const int fd = open("savedata.sav", O_RDWR | O_NONBLOCK);
    if (fd < 0 && errno != EWOULDBLOCK) {
        std::abort();
    }
    if (fd < 0) {
        return;
    }
    const auto length = static_cast<size_t>(offset) + 1;
    void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
        std::abort();
    }
    static_cast<unsigned char*>(mapped)[offset] ^= 0xFF;
    munmap(mapped, length);
    close(fd);
}

long long setting(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? -1 : std::atoll(value);
}

}  // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
    static bool done = false;
    const auto forward = next<ssize_t(int, void*, size_t, off_t)>("pread");
    if (!namedSo(fd, "/savedata.sav")) {
        return forward(fd, buffer, size, offset);
    }
    const bool first = !done;
    done = true;
    if (const long long most = setting("KOVALT_FAIL_READ_AFTER"); most >= 0) {
        if (offset >= most) {
            errno = EIO;
            return -1;
        }
        size = std::min(size, static_cast<size_t>(most - offset));
    }
    const ssize_t got = forward(fd, buffer, size, offset);
    if (first && setting("KOVALT_STORE_AT_READ") >= 0) {
        storeThroughMapping(setting("KOVALT_STORE_AT_READ"));
    }
    return got;
}

extern "C" int fcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    const auto argument = va_arg(arguments, unsigned long);
    va_end(arguments);
    if (command == F_SETLEASE && argument != F_UNLCK && setting("KOVALT_LEASE_ERROR") >= 0) {
        errno = static_cast<int>(setting("KOVALT_LEASE_ERROR"));
        return -1;
    }
    return next<int(int, int, ...)>("fcntl")(fd, command, argument);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t size) {
    const char* most = std::getenv("KOVALT_SHORT_WRITES");
    if (most != nullptr && namedSo(fd, ".tmp")) {
        size = std::min(size, static_cast<size_t>(std::atoll(most)));
    }
    return next<ssize_t(int, const void*, size_t)>("write")(fd, buffer, size);
}

extern "C" int fsync(int fd) {
    static bool raised = false;
    if (const long long signal = setting("KOVALT_RAISE_AT_FSYNC"); signal > 0 && !raised) {
        raised = true;
        raise(static_cast<int>(signal));
    }
    struct stat status {};
    if (std::getenv("KOVALT_FAIL_FOLDER_SYNC") != nullptr && fstat(fd, &status) == 0 &&
        S_ISDIR(status.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    return next<int(int)>("fsync")(fd);
}
