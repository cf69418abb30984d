#pragma once

#include <signal.h>

// The signals that end a run from outside: each asynchronous signal whose default
// action ends the process and that a process can catch. Replacing the output holds
// them off until it is done.
sigset_t terminatingSignals();

// Those, and the ones a fault raises, which kill can send too (SIGSEGV, SIGABRT and
// the like), and SIGXFSZ: every signal that ends the process and can be caught. The
// key wait puts the terminal back before any of them ends the run.
sigset_t fatalSignals();
