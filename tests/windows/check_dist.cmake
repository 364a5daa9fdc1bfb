# The zip of make dist: exactly the two programs and the README, and the console
# program, unpacked alone into an empty folder, plays.
if(NOT EXISTS ${ZIP})
    message(FATAL_ERROR "${ZIP} is missing: make dist writes it")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
string(REPLACE "\n" ";" entries "${listing}")
list(REMOVE_ITEM entries "")
list(SORT entries)
if(NOT rc EQUAL 0 OR NOT entries STREQUAL "README.txt;pbrain-tamlo.exe;tamlo.dll")
    message(FATAL_ERROR "${ZIP} holds [${entries}], not [README.txt;pbrain-tamlo.exe;tamlo.dll]")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK})
file(REMOVE ${WORK}/tamlo.dll ${WORK}/README.txt)
execute_process(COMMAND ${WINE} pbrain-tamlo.exe WORKING_DIRECTORY ${WORK}
    INPUT_FILE ${CMAKE_CURRENT_LIST_DIR}/dist_session.txt
    OUTPUT_VARIABLE output RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT output MATCHES "^OK\n(.*\n)?10,10\n$")
    message(FATAL_ERROR "pbrain-tamlo.exe from the zip answered (exit code ${rc}):\n${output}")
endif()
file(REMOVE_RECURSE ${WORK})
