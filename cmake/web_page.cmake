# The web edition: the tool compiled to WebAssembly behind the page's own seams, and one
# self-contained page that holds it, kovalt.html in the binary dir.
# The runtime's functions that the page and the seams' EM_JS call, exported by name:
# newer Emscriptens leave out of the runtime whatever is not, without a warning.
set(KOVALT_PAGE_RUNTIME HEAPU8 UTF8ToString)
list(JOIN KOVALT_PAGE_RUNTIME "," runtime)
add_executable(kovalt_page tool/web/main.cpp)
target_link_libraries(kovalt_page PRIVATE kovalt_tool)
target_link_options(kovalt_page PRIVATE
    --no-entry
    -sENVIRONMENT=web
    -sFILESYSTEM=0
    # No eval or new Function: the page's policy would refuse them.
    -sDYNAMIC_EXECUTION=0
    # The run allocates a few buffers: the small allocator keeps the page 7 KB lighter.
    -sMALLOC=emmalloc
    -sEXPORTED_FUNCTIONS=_kovaltRun,_kovaltCatalogue,_kovaltChooseFile,_kovaltReadInto,_kovaltChooseUnreadable,_kovaltReadLimit
    -sEXPORTED_RUNTIME_METHODS=${runtime})

find_program(KOVALT_PYTHON NAMES python3 NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# The markup takes the version; the style and the script are used as they stand.
configure_file(tool/web/page.html page.html @ONLY)
set(sources ${PROJECT_SOURCE_DIR}/tool/web/page.css ${PROJECT_SOURCE_DIR}/tool/web/page.js)
set(page ${CMAKE_BINARY_DIR}/kovalt.html)
add_custom_command(OUTPUT ${page}
    COMMAND ${KOVALT_PYTHON} ${PROJECT_SOURCE_DIR}/cmake/make_page.py
        ${CMAKE_BINARY_DIR}/page.html ${sources} $<TARGET_FILE:kovalt_page>
        $<TARGET_FILE_DIR:kovalt_page>/kovalt_page.wasm ${page} ${runtime}
    DEPENDS kovalt_page ${CMAKE_BINARY_DIR}/page.html ${sources} ${PROJECT_SOURCE_DIR}/cmake/make_page.py
    VERBATIM)
add_custom_target(page ALL DEPENDS ${page})
