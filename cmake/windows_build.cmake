# Kovalt.exe, cross-built with MinGW-w64 in Release beside a native build, into
# <binary dir>/windows: kovalt_add_windows_build(NAME TARGET...).
include(ExternalProject)

function(kovalt_add_windows_build name)
    set(products "")
    foreach(target IN LISTS ARGN)
        string(REPLACE "kovalt" "Kovalt" file ${target})
        list(APPEND products ${CMAKE_BINARY_DIR}/windows/${file}.exe)
    endforeach()
    ExternalProject_Add(${name}
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/windows
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
            -DCMAKE_BUILD_TYPE=Release
            -DKOVALT_TESTS=OFF
        BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${ARGN}
        BUILD_BYPRODUCTS ${products}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON)
endfunction()
