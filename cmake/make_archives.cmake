# Makes the two release archives from the built programs and the web page, the same
# bytes from any clone of one commit: every member dated at the commit
# (SOURCE_DATE_EPOCH where it is set), members in sorted order, no owner, fixed modes.
# Beside them it puts the page, Kovalt.html, and SHA256SUMS over the three, which the
# release page publishes. Run by the archives target:
#   cmake -DVERSION= -DSOURCE_DIR= -DKOVALT= -DKOVALT_EXE= -DKOVALT_PAGE= -DOUTPUT_DIR=
#         -P make_archives.cmake
cmake_minimum_required(VERSION 3.25)

foreach(tool zip tar gzip touch)
    find_program(${tool}_PROGRAM ${tool} REQUIRED)
endforeach()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${SOURCE_DIR}
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
        set(epoch 0)
    endif()
endif()
# A zip cannot hold a time before 1980.
if(epoch LESS 315532800)
    set(epoch 315532800)
endif()

# A text for the archive: the version filled in; for Windows with CR LF line ends, and
# where it holds Japanese, a byte-order mark, so that any Notepad from Windows 7 on
# reads it as UTF-8.
function(stage_text source destination windows bom)
    file(READ ${source} text)
    set(PROJECT_VERSION ${VERSION})
    string(CONFIGURE "${text}" text @ONLY)
    if(windows)
        string(REPLACE "\n" "\r\n" text "${text}")
    endif()
    if(bom)
        string(ASCII 239 187 191 mark)
        set(text "${mark}${text}")
    endif()
    file(WRITE ${destination} "${text}")
endfunction()

# SHA256SUMS over the named files of the folder, every other one where none are named,
# in the form sha256sum -c reads.
function(write_sums folder line_end)
    set(names ${ARGN})
    if(NOT names)
        file(GLOB names RELATIVE ${folder} ${folder}/*)
    endif()
    list(SORT names)
    set(sums "")
    foreach(name IN LISTS names)
        file(SHA256 ${folder}/${name} sum)
        string(APPEND sums "${sum}  ${name}${line_end}")
    endforeach()
    file(WRITE ${folder}/SHA256SUMS "${sums}")
endfunction()

function(fix_modes_and_times folder)
    file(GLOB_RECURSE files ${folder}/*)
    file(CHMOD_RECURSE ${folder} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
         DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                               WORLD_READ WORLD_EXECUTE)
    execute_process(COMMAND ${touch_PROGRAM} -d @${epoch} ${files} ${folder} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

set(stage ${OUTPUT_DIR}/stage)
file(REMOVE_RECURSE ${stage})

# Windows: the files at the zip's top, so that Extract All gives one folder.
set(windows_name kovalt-${VERSION}-windows-x64)
set(windows ${stage}/${windows_name})
file(MAKE_DIRECTORY ${windows})
file(COPY_FILE ${KOVALT_EXE} ${windows}/Kovalt.exe)
file(COPY_FILE ${KOVALT_PAGE} ${windows}/Kovalt.html)
stage_text(${SOURCE_DIR}/docs/guide-ja.txt ${windows}/guide-ja.txt ON ON)
stage_text(${SOURCE_DIR}/docs/guide-en.txt ${windows}/guide-en.txt ON ON)
stage_text(${SOURCE_DIR}/LICENSE ${windows}/LICENSE.txt ON OFF)
write_sums(${windows} "\r\n")
fix_modes_and_times(${windows})
file(REMOVE ${OUTPUT_DIR}/${windows_name}.zip)
file(GLOB members RELATIVE ${windows} ${windows}/*)
list(SORT members)
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
                        ${zip_PROGRAM} -X -D -9 -q ${OUTPUT_DIR}/${windows_name}.zip ${members}
                WORKING_DIRECTORY ${windows} COMMAND_ERROR_IS_FATAL ANY)

# Linux: one folder at the top of the archive, as a tarball has it.
set(linux_name kovalt-${VERSION}-linux-x86_64)
set(linux ${stage}/${linux_name})
file(MAKE_DIRECTORY ${linux})
file(COPY_FILE ${KOVALT} ${linux}/kovalt)
file(COPY_FILE ${KOVALT_PAGE} ${linux}/Kovalt.html)
stage_text(${SOURCE_DIR}/docs/guide-ja.txt ${linux}/guide-ja.txt OFF OFF)
stage_text(${SOURCE_DIR}/docs/guide-en.txt ${linux}/guide-en.txt OFF OFF)
file(COPY_FILE ${SOURCE_DIR}/LICENSE ${linux}/LICENSE)
write_sums(${linux} "\n")
fix_modes_and_times(${linux})
file(CHMOD ${linux}/kovalt PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
           GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
execute_process(COMMAND ${tar_PROGRAM} --sort=name --owner=0 --group=0 --numeric-owner
                        --mtime=@${epoch} --format=gnu -cf - ${linux_name}
                COMMAND ${gzip_PROGRAM} -9 -n
                WORKING_DIRECTORY ${stage}
                OUTPUT_FILE ${OUTPUT_DIR}/${linux_name}.tar.gz
                COMMAND_ERROR_IS_FATAL ANY)

# Beside the archives, as a release page publishes them: a sum inside an archive only
# tells a damaged download, as whoever could swap the archive could swap it too.
file(COPY_FILE ${KOVALT_PAGE} ${OUTPUT_DIR}/Kovalt.html)
write_sums(${OUTPUT_DIR} "\n" ${windows_name}.zip ${linux_name}.tar.gz Kovalt.html)

message(STATUS "Release: ${OUTPUT_DIR}/${windows_name}.zip, ${OUTPUT_DIR}/${linux_name}.tar.gz, "
               "${OUTPUT_DIR}/Kovalt.html and their SHA256SUMS")
