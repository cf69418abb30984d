#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "child_process.h"

// Kovalt.exe, the Windows build of the tool, run under Wine.

// Empty when Kovalt.exe was built and Wine is here to run it; otherwise why not.
std::string wineUnavailable();

// For a fixture's SetUp: skips the test where it cannot run, unless KOVALT_REQUIRE_WINE
// is set (CI sets it), where that is a failure.
inline void requireWine() {
    const std::string missing = wineUnavailable();
    if (missing.empty()) {
        return;
    }
    if (std::getenv("KOVALT_REQUIRE_WINE") != nullptr) {
        FAIL() << missing;
    }
    GTEST_SKIP() << missing;
}

// The setup's command and environment made to run Kovalt.exe under Wine.
ChildSetup underWine(ChildSetup setup);

// The same, but started by Wine's cmd after it has set the console to code page 932.
ChildSetup underWineFromCodePage932(ChildSetup setup);
