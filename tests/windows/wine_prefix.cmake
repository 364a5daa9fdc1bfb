# Makes the Wine prefix of the tests afresh: waits for a server of the old one
# to end by itself, removes it, and lets wineboot build a new one.
if(EXISTS ${PREFIX})
    execute_process(COMMAND ${WINESERVER} -w)
    file(REMOVE_RECURSE ${PREFIX})
endif()
execute_process(COMMAND ${WINE} wineboot --init RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0 OR NOT EXISTS ${PREFIX}/system.reg)
    message(FATAL_ERROR "wineboot could not make the prefix ${PREFIX} (exit code ${rc})")
endif()
