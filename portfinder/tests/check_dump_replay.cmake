# Runs portiq-dump on this (Windows or Wine) machine, then portiq-sim on the scenario it
# wrote: the dump must load and the whole run must replay on it. Under Wine the machine
# has no USB host controller and no readable device tree, so the dump's sections say so.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(dir ${WORK_DIR})
if(EMULATOR)
    set(dir "Z:${WORK_DIR}")  # Windows programs under Wine reach the tree through drive Z:
endif()
# No file named: PortIq.scn in the current directory, its full path printed.
execute_process(
    COMMAND ${EMULATOR} ${DUMP}
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE said
    RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS ${WORK_DIR}/PortIq.scn)
    message(FATAL_ERROR "portiq-dump exited with ${result} and wrote no scenario")
endif()
string(REPLACE "/" "\\" full "${dir}/PortIq.scn")
string(FIND "${said}" "portiq-dump: this PC is in ${full}" found)
if(found EQUAL -1)
    message(FATAL_ERROR "portiq-dump said \"${said}\"; expected it to name ${full}")
endif()
file(READ ${WORK_DIR}/PortIq.scn scenario)
foreach(section "# Wave devices." "# USB host controllers, hubs and ports." "# The Plug and Play device tree.")
    string(FIND "${scenario}" "${section}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "the scenario lacks \"${section}\":\n${scenario}")
    endif()
endforeach()
execute_process(
    COMMAND ${EMULATOR} ${SIM} --list-dir ${dir} ${dir}/PortIq.scn
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    RESULT_VARIABLE result)
string(REPLACE "\r" "" output "${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "portiq-sim couldn't replay the dump (${result}): ${errors}\n${scenario}")
endif()
string(FIND "${output}" "=== Diagnostic log ===\nSound devices:\n" found)
if(found EQUAL -1)
    message(FATAL_ERROR "portiq-sim's replay has no sound list:\n${output}")
endif()

# --json: the document alone on standard output, no file; a wrong command line: exit 2.
file(REMOVE ${WORK_DIR}/PortIq.scn)
execute_process(COMMAND ${EMULATOR} ${DUMP} --json WORKING_DIRECTORY ${WORK_DIR} OUTPUT_VARIABLE json RESULT_VARIABLE result)
string(JSON format ERROR_VARIABLE error GET "${json}" format)
string(JSON boxes ERROR_VARIABLE error TYPE "${json}" boxes)
if(NOT result EQUAL 0 OR NOT format STREQUAL "1" OR NOT boxes STREQUAL "ARRAY" OR EXISTS ${WORK_DIR}/PortIq.scn)
    message(FATAL_ERROR "portiq-dump --json (${result}) printed no report or wrote a file:\n${json}")
endif()
execute_process(COMMAND ${EMULATOR} ${DUMP} --json extra.scn WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result
    OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 2)
    message(FATAL_ERROR "portiq-dump --json extra.scn exited with ${result}, not 2")
endif()
