#pragma once

// The key wait's raw mode, and the signals that must not leave the terminal in it.

// Switches the terminal to raw mode; false, with nothing changed, when it cannot.
// Until leaveRawMode, a signal that ends the process puts the terminal's settings
// back first, and a stop puts them back while the run is stopped.
bool enterRawMode(int terminal);

// Puts the terminal's settings back as enterRawMode found them.
void leaveRawMode();
