#include "console.h"
#include "run_tool.h"

// Arguments are ignored: the tool always works on the save in the current folder.
int main() {
    startConsole();
    return runTool();
}
