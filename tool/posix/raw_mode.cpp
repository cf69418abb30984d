#include "raw_mode.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "terminating_signals.h"

namespace {

int gTerminal = -1;

// What the handlers put back and what they apply again; set before they are installed.
struct termios gSavedSettings {};
struct termios gRawSettings {};

// From the switch to raw mode until the wait is over: a run continued in the
// foreground goes back to raw mode.
volatile sig_atomic_t gWaitWantsRaw = 0;

// The signals the wait handles, and their dispositions before it.
sigset_t gHandled;
struct sigaction gPreviousActions[NSIG] {};

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

bool sameSettings(const struct termios& a, const struct termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

// Puts the saved settings back, but only over the wait's own raw ones: anything else
// is the doing of whoever has the terminal now, such as the shell once the run is in
// the background. Called with SIGTTOU blocked, so that a background run is not
// stopped by its own restore.
void restoreIfRaw() {
    struct termios now {};
    if (tcgetattr(gTerminal, &now) == 0 && sameSettings(now, gRawSettings)) {
        tcsetattr(gTerminal, TCSANOW, &gSavedSettings);
    }
}

extern "C" void restoreAndDie(int signal) {
    restoreIfRaw();
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(signal, &standard, nullptr);
    // Still blocked inside this handler: delivered, and fatal, as soon as it returns.
    // A real fault that raised it would fault again there; either way the default
    // action ends the process, with a core dump where it makes one.
    raise(signal);
}

// Ctrl+Z sent from elsewhere, a read or a change of settings from the background, or a
// stop signal sent as such: the terminal has its own settings while the run is stopped,
// and raw mode again once the run is continued in the foreground. Continued in the
// background, its next read stops it again.
extern "C" void restoreAndStop(int signal) {
    const int savedErrno = errno;
    restoreIfRaw();
    struct sigaction standard {};
    struct sigaction ours {};
    standard.sa_handler = SIG_DFL;
    sigaction(signal, &standard, &ours);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);  // stopped here until continued
    sigprocmask(SIG_BLOCK, &only, nullptr);
    sigaction(signal, &ours, nullptr);
    if (gWaitWantsRaw && tcgetpgrp(gTerminal) == getpgrp()) {
        tcsetattr(gTerminal, TCSANOW, &gRawSettings);
    }
    errno = savedErrno;
}

bool isStop(int signal) { return signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU; }

void catchSignals() {
    gHandled = fatalSignals();
    sigaddset(&gHandled, SIGTSTP);
    sigaddset(&gHandled, SIGTTIN);
    sigaddset(&gHandled, SIGTTOU);
    struct sigaction handler {};
    handler.sa_mask = gHandled;
    // A read or a change of settings that a stop interrupted starts again once the run
    // is continued: it stops again in the background, or goes on in the foreground.
    handler.sa_flags = SA_RESTART;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&gHandled, signal) != 1) {
            continue;
        }
        sigaction(signal, nullptr, &gPreviousActions[signal]);
        // A signal the parent chose to ignore stays ignored.
        if (gPreviousActions[signal].sa_handler != SIG_IGN) {
            handler.sa_handler = isStop(signal) ? restoreAndStop : restoreAndDie;
            sigaction(signal, &handler, nullptr);
        }
    }
}

void releaseSignals() {
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&gHandled, signal) == 1) {
            sigaction(signal, &gPreviousActions[signal], nullptr);
        }
    }
}

// The handled signals, SIGTTOU among them, wait while the state they read changes.
sigset_t holdSignals() {
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &gHandled, &previous);
    return previous;
}

}  // namespace

bool enterRawMode(int terminal) {
    if (tcgetattr(terminal, &gSavedSettings) != 0) {
        return false;
    }
    gTerminal = terminal;
    gRawSettings = rawSettings(gSavedSettings);
    // The handlers go in first, so no moment in raw mode is left uncovered. TCSANOW,
    // not TCSAFLUSH: keys pressed while the tool worked are kept and end the wait.
    catchSignals();
    gWaitWantsRaw = 1;
    if (tcsetattr(terminal, TCSANOW, &gRawSettings) != 0) {
        leaveRawMode();
        return false;
    }
    // What the terminal holds now is what the handlers compare with.
    struct termios applied {};
    if (tcgetattr(terminal, &applied) == 0) {
        const sigset_t previous = holdSignals();
        gRawSettings = applied;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
    }
    return true;
}

void leaveRawMode() {
    const sigset_t previous = holdSignals();
    gWaitWantsRaw = 0;
    restoreIfRaw();
    releaseSignals();
    // A signal that came meanwhile now acts as it did before the wait.
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}
