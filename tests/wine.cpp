#include "wine.h"

#include <algorithm>

namespace {

void addWineEnvironment(ChildSetup& setup) {
    setup.environment.insert(setup.environment.end(), {{"WINEPREFIX", KOVALT_WINE_PREFIX},
                                                       {"WINEDEBUG", "-all"},
                                                       {"WINEDLLOVERRIDES", "mscoree,mshtml="}});
}

// Wine shows the host's root as drive Z:.
std::string windowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

}  // namespace

std::string wineUnavailable() { return KOVALT_WINE_MISSING; }

ChildSetup underWine(ChildSetup setup) {
    setup.command = {KOVALT_WINE_PATH, KOVALT_EXE_PATH, "ignored-argument"};
    addWineEnvironment(setup);
    return setup;
}

ChildSetup underWineDriver(ChildSetup setup, const std::vector<std::string>& arguments) {
    setup.command = {KOVALT_WINE_PATH, KOVALT_DRIVER_PATH};
    setup.command.insert(setup.command.end(), arguments.begin(), arguments.end());
    setup.command.push_back(windowsPath(KOVALT_EXE_PATH));
    addWineEnvironment(setup);
    return setup;
}

ChildSetup underWineFromCodePage932(ChildSetup setup) {
    setup.command = {KOVALT_WINE_PATH, "cmd", "/c",
                     "chcp 932 >nul & " + windowsPath(KOVALT_EXE_PATH)};
    addWineEnvironment(setup);
    return setup;
}
