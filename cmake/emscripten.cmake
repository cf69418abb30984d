# The web edition's build, with Debian's Emscripten. Its tools need Debian's own node
# modules (acorn), which a node of another build does not find by itself, and its own
# Python, whichever comes first on PATH: both are set here for configuring, and for
# every compile and link through a launcher.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

set(ENV{NODE_PATH} /usr/share/nodejs)
set(ENV{EMSDK_PYTHON} /usr/bin/python3)
set(CMAKE_CXX_COMPILER_LAUNCHER
    ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs EMSDK_PYTHON=/usr/bin/python3)
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_CXX_COMPILER_LAUNCHER})
