#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "file_errors.h"
#include "replace_steps.h"
#include "terminating_signals.h"
#include "write_all.h"

namespace {

// What the hold on termination put aside, to be put back on release.
sigset_t gMaskBeforeHold;
struct sigaction gFileSizeActionBeforeHold {};

}  // namespace

FileHandle createExclusive(const std::string& name, bool& nameTaken) {
    // O_EXCL opens nothing that exists, a symbolic link included.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    nameTaken = fd < 0 && nameTakenByErrno(errno);
    return fd < 0 ? kNoFile : fd;
}

bool writeWhole(FileHandle file, std::span<const std::uint8_t> bytes) {
    return writeAll(static_cast<int>(file), bytes);
}

bool syncFile(FileHandle file) { return fsync(static_cast<int>(file)) == 0; }

// Some file systems cannot sync a folder; that is no reason to report the already
// complete file as lost.
bool moveIntoPlace(const std::string& from, const char* to) {
    if (rename(from.c_str(), to) != 0) {
        return false;
    }
    const int folder = open(".", O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

void removeFile(const std::string& name) { unlink(name.c_str()); }

unsigned long currentProcessId() { return static_cast<unsigned long>(getpid()); }

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
