#include <emscripten.h>

#include "console.h"
#include "run_tool.h"

// The page's way in, as main is the console programs': once the page has handed over the
// chosen file, the whole run on it; returns the exit status, the page's verdict.
extern "C" EMSCRIPTEN_KEEPALIVE int kovaltRun() {
    startConsole();
    return runTool();
}
