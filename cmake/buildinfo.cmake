# Writes the source revision and branch into buildinfo.h at every build; the file
# only changes (and triggers a rebuild) when the revision does.
set(TAMLO_REVISION "0000000000000000000000000000000000000000")
set(TAMLO_BRANCH "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse HEAD
        WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE rev
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0 AND rev MATCHES "^[0-9a-f]+$")
        set(TAMLO_REVISION ${rev})
    endif()
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --abbrev-ref HEAD
        WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE br
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0 AND NOT br STREQUAL "")
        set(TAMLO_BRANCH ${br})
    endif()
endif()
configure_file(${SOURCE_DIR}/app/buildinfo.h.in ${OUTPUT} @ONLY)
