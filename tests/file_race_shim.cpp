// Preloaded into the native tool to stage, without timing luck, what happens to files
// under a run:
//   KOVALT_RESIZE_AT_READ=N   savedata.sav becomes N bytes long just before its first read
//   KOVALT_REWRITE_AT_READ=N  the byte at offset N of savedata.sav changes in place then
//   KOVALT_SHORT_WRITES=N     each write to a temporary file writes at most N bytes
//   KOVALT_AT_FSYNC=kill      the first fsync, the temporary file's, kills the run
//   KOVALT_AT_FSYNC=PATH      the first fsync waits until the file PATH exists
//   KOVALT_AT_RENAME=PATH     the rename into place waits until the file PATH exists
//   KOVALT_PID=N              getpid says N, as in another PID namespace
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
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

void waitFor(const char* path) {
    while (access(path, F_OK) != 0) {
        usleep(1000);
    }
}

void rewriteInPlace(off_t offset) {
    const int fd = open("savedata.sav", O_RDWR);
    unsigned char byte = 0;
    if (fd < 0 || pread(fd, &byte, 1, offset) != 1) {
        std::abort();
    }
    byte ^= 0xFF;
    if (pwrite(fd, &byte, 1, offset) != 1 || close(fd) != 0) {
        std::abort();
    }
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    static bool done = false;
    const char* length = std::getenv("KOVALT_RESIZE_AT_READ");
    const char* offset = std::getenv("KOVALT_REWRITE_AT_READ");
    if ((length != nullptr || offset != nullptr) && !done && namedSo(fd, "/savedata.sav")) {
        done = true;
        if (offset != nullptr) {
            rewriteInPlace(std::atoll(offset));
        } else if (truncate("savedata.sav", std::atoll(length)) != 0) {
            std::abort();
        }
    }
    return next<ssize_t(int, void*, size_t)>("read")(fd, buffer, size);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t size) {
    const char* most = std::getenv("KOVALT_SHORT_WRITES");
    if (most != nullptr && namedSo(fd, ".tmp")) {
        size = std::min(size, static_cast<size_t>(std::atoll(most)));
    }
    return next<ssize_t(int, const void*, size_t)>("write")(fd, buffer, size);
}

extern "C" int fsync(int fd) {
    static bool done = false;
    const char* action = std::getenv("KOVALT_AT_FSYNC");
    if (action != nullptr && !done) {
        done = true;
        if (std::string(action) == "kill") {
            raise(SIGKILL);
        }
        waitFor(action);
    }
    return next<int(int)>("fsync")(fd);
}

extern "C" int rename(const char* from, const char* to) {
    if (const char* release = std::getenv("KOVALT_AT_RENAME")) {
        waitFor(release);
    }
    return next<int(const char*, const char*)>("rename")(from, to);
}

extern "C" pid_t getpid() {
    if (const char* pid = std::getenv("KOVALT_PID")) {
        return static_cast<pid_t>(std::atol(pid));
    }
    return static_cast<pid_t>(syscall(SYS_getpid));
}
