#pragma once

#include <signal.h>

// The signals that end a run from outside: each asynchronous signal whose default
// action ends the process and that a process can catch. The key wait restores the
// terminal before dying of them, and replacing the output holds them off until it is done.
sigset_t terminatingSignals();
