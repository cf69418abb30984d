# Release builds of some of the tool's targets with another toolchain, beside a native
# build, each into a folder of its own in the binary dir.
include(ExternalProject)

# kovalt_add_cross_build(NAME FOLDER TOOLCHAIN TARGETS t... PRODUCTS file... [CMAKE_ARGS arg...])
function(kovalt_add_cross_build name folder toolchain)
    cmake_parse_arguments(PARSE_ARGV 3 cross "" "" "TARGETS;PRODUCTS;CMAKE_ARGS")
    ExternalProject_Add(${name}
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/${folder}
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}
            -DCMAKE_BUILD_TYPE=Release
            -DKOVALT_TESTS=OFF
            ${cross_CMAKE_ARGS}
        BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${cross_TARGETS}
        BUILD_BYPRODUCTS ${cross_PRODUCTS}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON)
endfunction()

# Kovalt.exe and other targets cross-built with MinGW-w64 into <binary dir>/windows:
# kovalt_add_windows_build(NAME TARGET...).
function(kovalt_add_windows_build name)
    set(products "")
    foreach(target IN LISTS ARGN)
        string(REPLACE "kovalt" "Kovalt" file ${target})
        list(APPEND products ${CMAKE_BINARY_DIR}/windows/${file}.exe)
    endforeach()
    kovalt_add_cross_build(${name} windows mingw-w64-x86_64.cmake TARGETS ${ARGN} PRODUCTS ${products})
endfunction()
