// Preloaded into the native tool to stage, without timing luck, what happens to files
// under a run:
//   KOVALT_RESIZE_AT_READ=N   savedata.sav becomes N bytes long just before its first read
//   KOVALT_AT_FSYNC=kill      the first fsync, the temporary file's, kills the run
//   KOVALT_AT_FSYNC=PATH      the first fsync waits until the file PATH exists
//   KOVALT_AT_RENAME=PATH     the rename into place waits until the file PATH exists
//   KOVALT_PID=N              getpid says N, as in another PID namespace
#include <dlfcn.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

template <typename Function>
Function* next(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

bool isTheSave(int fd) {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 &&
           std::string(target, static_cast<std::size_t>(length)).ends_with("/savedata.sav");
}

void waitFor(const char* path) {
    while (access(path, F_OK) != 0) {
        usleep(1000);
    }
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    static bool done = false;
    const char* length = std::getenv("KOVALT_RESIZE_AT_READ");
    if (length != nullptr && !done && isTheSave(fd)) {
        done = true;
        if (truncate("savedata.sav", std::atoll(length)) != 0) {
            std::abort();
        }
    }
    return next<ssize_t(int, void*, size_t)>("read")(fd, buffer, size);
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
