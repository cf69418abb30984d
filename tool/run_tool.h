#pragma once

// The whole run, from banner to key wait; returns the exit status (0 done, 1 failed).
int runTool();

// Shows the key prompt and waits for one key.
void waitForKey();
