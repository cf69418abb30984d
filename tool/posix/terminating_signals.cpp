#include "terminating_signals.h"

#include <initializer_list>

sigset_t terminatingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM,
                             SIGPROF, SIGXCPU}) {
        sigaddset(&signals, signal);
    }
    // Not every system has these, and where SIGIO has no SIGPOLL name its default is to
    // be discarded rather than to end the process.
#ifdef SIGPOLL
    sigaddset(&signals, SIGPOLL);
#endif
#ifdef SIGPWR
    sigaddset(&signals, SIGPWR);
#endif
#ifdef SIGSTKFLT
    sigaddset(&signals, SIGSTKFLT);
#endif
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        sigaddset(&signals, signal);
    }
#endif
    return signals;
}

sigset_t fatalSignals() {
    sigset_t signals = terminatingSignals();
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGXFSZ}) {
        sigaddset(&signals, signal);
    }
    return signals;
}
