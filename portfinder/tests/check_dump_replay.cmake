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
