#pragma once

#include <string>
#include <vector>

#include "child_process.h"
#include "requirements.h"

// Kovalt.exe, the Windows build of the tool, run under Wine.

// Empty when Kovalt.exe was built and Wine is here to run it; otherwise why not.
std::string wineUnavailable();

// For a fixture's SetUp: skips the test where it cannot run.
inline void requireWine() {
    if (const std::string missing = wineUnavailable(); !missing.empty()) {
        requireOrSkip(missing);
    }
}

// The setup's command and environment made to run Kovalt.exe under Wine.
ChildSetup underWine(ChildSetup setup);

// The console driver, which starts Kovalt.exe itself, with these arguments.
ChildSetup underWineDriver(ChildSetup setup, const std::vector<std::string>& arguments);

// The same, but started by Wine's cmd after it has set the console to code page 932.
ChildSetup underWineFromCodePage932(ChildSetup setup);
