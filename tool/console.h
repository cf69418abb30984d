#pragma once

#include <string_view>

#include "messages.h"

// The operating system's side of the console: the output encoding and the key wait.

// Readies standard output and the process's signal dispositions; call once, first.
void startConsole();

// Writes one catalogue text, given in UTF-8, to standard output in the encoding the
// console needs, and flushes it. The id is for the page, which explains each message;
// the consoles print the text alone.
void printText(MessageId id, std::string_view utf8);

// Blocks until one key is pressed on the console device itself, leaving the device's
// settings as they were. Returns at once when there is no console to read. When
// standard output does not reach the console, the prompt is shown there too.
void readKeyPress(std::string_view prompt);
