#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "console.h"
#include "raw_mode.h"
#include "terminal_keys.h"
#include "terminal_locale.h"
#include "text/shift_jis.h"
#include "write_all.h"

namespace {

// How long to wait for the next byte of a key before taking what came as the whole
// key; it is what tells a lone Escape from the start of an escape sequence.
constexpr int kKeyByteGapMs = 100;

bool gStdoutIsTerminal = false;

// The terminal (/dev/tty), opened on the first wait and kept until the process ends.
int gTerminal = -1;
bool gTerminalOpened = false;

void keepStandardDescriptorsOpen() {
    // Were 0, 1 or 2 closed, files opened later would take their numbers and stray
    // output could land in them.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            open("/dev/null", O_RDWR);
        }
    }
}

int terminalDevice() {
    if (!gTerminalOpened) {
        gTerminalOpened = true;
        gTerminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    return gTerminal;
}

bool readByte(int fd, unsigned char& byte) {
    for (;;) {
        const ssize_t got = read(fd, &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got == 1;
    }
}

bool nextByteArrives(int fd) {
    struct pollfd ready {};
    ready.fd = fd;
    ready.events = POLLIN;
    return poll(&ready, 1, kKeyByteGapMs) == 1 && (ready.revents & POLLIN) != 0;
}

// Reads exactly one key, all of its bytes, so that none is left over for the shell;
// keys typed after it stay unread.
void readOneKey(int fd) {
    const TerminalEncoding encoding = terminalEncoding();
    unsigned char key[32];
    std::size_t count = 0;
    if (!readByte(fd, key[count])) {
        return;
    }
    ++count;
    while (count < sizeof key && !isWholeKey({key, count}, encoding)) {
        if (!nextByteArrives(fd) || !readByte(fd, key[count])) {
            return;
        }
        ++count;
    }
}

}  // namespace

void startConsole() {
    keepStandardDescriptorsOpen();
    // A reader that went away must not kill the run: output failures are ignored.
    signal(SIGPIPE, SIG_IGN);
    gStdoutIsTerminal = isatty(STDOUT_FILENO) == 1;
}

void printText(MessageId, std::string_view utf8) {
    const std::string bytes = gStdoutIsTerminal ? forTerminal(utf8) : toShiftJis(utf8);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    // Each message at once, so that a log shows how far a run got, whatever ends it.
    std::fflush(stdout);
}

void readKeyPress(std::string_view prompt) {
    const int fd = terminalDevice();
    if (fd < 0 || isatty(fd) != 1) {
        return;
    }
    // With standard output in a file, the prompt shows on the terminal all the same.
    if (!gStdoutIsTerminal) {
        const std::string shown = forTerminal(prompt);
        writeAll(fd, {reinterpret_cast<const std::uint8_t*>(shown.data()), shown.size()});
    }
    if (enterRawMode(fd)) {
        readOneKey(fd);
        leaveRawMode();
    }
}
