# Builds the Linux tool against the Debian 11 root that cmake/make_sysroot.sh makes, with
# its GCC 10 and glibc 2.31, so that the release starts on systems as old as that and
# older: it then asks for no C library newer than the oldest it uses.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KOVALT_LINUX_SYSROOT)
if(NOT EXISTS "${KOVALT_LINUX_SYSROOT}/usr/bin/g++-10")
    message(FATAL_ERROR "No Debian 11 root in '${KOVALT_LINUX_SYSROOT}': make one with "
                        "'bash cmake/make_sysroot.sh ${KOVALT_LINUX_SYSROOT}' (as root)")
endif()
set(CMAKE_SYSROOT ${KOVALT_LINUX_SYSROOT})
set(CMAKE_CXX_COMPILER ${KOVALT_LINUX_SYSROOT}/usr/bin/g++-10)
# The root's own binutils need libraries that only it has; the host's do the same work.
find_program(CMAKE_AR ar NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(CMAKE_RANLIB ranlib NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
