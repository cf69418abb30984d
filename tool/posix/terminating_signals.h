#pragma once

#include <signal.h>

// The signals that end a run from outside: the key wait restores the terminal before
// dying of them, and replacing the output holds them off until it is done.
inline constexpr int kTerminatingSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
