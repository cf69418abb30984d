#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "console.h"
#include "shift_jis.h"
#include "terminal_keys.h"
#include "terminating_signals.h"

namespace {

// How long to wait for the next byte of a key before taking what came as the whole
// key; it is what tells a lone Escape from the start of an escape sequence.
constexpr int kKeyByteGapMs = 100;

bool gStdoutIsTerminal = false;
bool gTerminalIsUtf8 = false;

// The console device, opened on the first wait and kept until the process ends.
int gConsole = -1;
bool gConsoleOpened = false;

// What the signal handler puts back; set before the handler is installed.
struct termios gSavedSettings {};

struct sigaction gPreviousActions[std::size(kTerminatingSignals)]{};

void keepStandardDescriptorsOpen() {
    // Were 0, 1 or 2 closed, files opened later would take their numbers and stray
    // output could land in them.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            open("/dev/null", O_RDWR);
        }
    }
}

int consoleDevice() {
    if (!gConsoleOpened) {
        gConsoleOpened = true;
        gConsole = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    return gConsole;
}

extern "C" void restoreAndDie(int signal) {
    tcsetattr(gConsole, TCSANOW, &gSavedSettings);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(signal, &standard, nullptr);
    // Still blocked inside this handler: delivered, and fatal, as soon as it returns.
    raise(signal);
}

void catchTerminatingSignals() {
    struct sigaction restore {};
    restore.sa_handler = restoreAndDie;
    sigemptyset(&restore.sa_mask);
    for (const int signal : kTerminatingSignals) {
        sigaddset(&restore.sa_mask, signal);
    }
    for (std::size_t i = 0; i < std::size(kTerminatingSignals); ++i) {
        sigaction(kTerminatingSignals[i], nullptr, &gPreviousActions[i]);
        // A signal the parent chose to ignore stays ignored.
        if (gPreviousActions[i].sa_handler != SIG_IGN) {
            sigaction(kTerminatingSignals[i], &restore, nullptr);
        }
    }
}

void releaseTerminatingSignals() {
    for (std::size_t i = 0; i < std::size(kTerminatingSignals); ++i) {
        sigaction(kTerminatingSignals[i], &gPreviousActions[i], nullptr);
    }
}

struct termios rawSettings(struct termios settings) {
    // Bytes arrive one by one, unechoed, and Ctrl+C, Ctrl+Z, Ctrl+S, Ctrl+Q, Ctrl+V
    // and Enter reach the tool as the characters they are.
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    settings.c_iflag &=
        ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
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
    unsigned char key[32];
    std::size_t count = 0;
    if (!readByte(fd, key[count])) {
        return;
    }
    ++count;
    while (count < sizeof key && !isWholeKey({key, count})) {
        if (!nextByteArrives(fd) || !readByte(fd, key[count])) {
            return;
        }
        ++count;
    }
}

bool namesUtf8(std::string name) {
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
}

bool localeIsUtf8() {
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        return namesUtf8(nl_langinfo(CODESET));
    }
    // A locale that is named but not installed here (ja_JP.UTF-8 on a minimal system)
    // still tells how the terminal shows text.
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* name = std::getenv(variable);
        if (name != nullptr && *name != '\0') {
            return namesUtf8(name);
        }
    }
    return false;
}

}  // namespace

void startConsole() {
    keepStandardDescriptorsOpen();
    // A reader that went away must not kill the run: output failures are ignored.
    signal(SIGPIPE, SIG_IGN);
    gStdoutIsTerminal = isatty(STDOUT_FILENO) == 1;
    gTerminalIsUtf8 = gStdoutIsTerminal && localeIsUtf8();
}

void printText(std::string_view utf8) {
    if (gTerminalIsUtf8) {
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    } else {
        const std::string shiftJis = toShiftJis(utf8);
        std::fwrite(shiftJis.data(), 1, shiftJis.size(), stdout);
    }
    if (gStdoutIsTerminal) {
        std::fflush(stdout);
    }
}

void readKeyPress() {
    // Should a signal end the wait, a redirected dialogue is already out.
    std::fflush(stdout);
    const int fd = consoleDevice();
    if (fd < 0 || tcgetattr(fd, &gSavedSettings) != 0) {
        return;
    }
    // The handlers go in first, so no moment in raw mode is left uncovered. TCSANOW,
    // not TCSAFLUSH: keys pressed while the tool worked are kept and end the wait.
    catchTerminatingSignals();
    const struct termios raw = rawSettings(gSavedSettings);
    if (tcsetattr(fd, TCSANOW, &raw) == 0) {
        readOneKey(fd);
        tcsetattr(fd, TCSANOW, &gSavedSettings);
    }
    releaseTerminatingSignals();
}
