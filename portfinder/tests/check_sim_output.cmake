# Runs portiq-sim on a scenario with Shift held and compares what it prints, and the
# list file it writes, with the expected files. The printed text is compared without
# CRs (a Windows console stores line ends as CR LF); the list file byte for byte.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(scenario ${SCENARIO})
set(list_dir ${WORK_DIR})
if(EMULATOR)
    set(scenario "Z:${SCENARIO}")
    set(list_dir "Z:${WORK_DIR}")
endif()
execute_process(
    COMMAND ${EMULATOR} ${SIM} --hold shift --list-dir ${list_dir} ${scenario}
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE output
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "portiq-sim exited with ${result}")
endif()
string(REPLACE "\r" "" output "${output}")
file(READ ${EXPECTED_OUTPUT} expected)
if(NOT output STREQUAL expected)
    file(WRITE ${WORK_DIR}/actual.out "${output}")
    message(FATAL_ERROR "portiq-sim printed other text than ${EXPECTED_OUTPUT}; see ${WORK_DIR}/actual.out")
endif()
if(NOT EXISTS ${WORK_DIR}/PortIq.lst)
    message(FATAL_ERROR "portiq-sim wrote no PortIq.lst")
endif()
file(READ ${WORK_DIR}/PortIq.lst list_hex HEX)
file(READ ${EXPECTED_LIST} expected_hex HEX)
if(NOT list_hex STREQUAL expected_hex)
    message(FATAL_ERROR "PortIq.lst differs from ${EXPECTED_LIST}")
endif()
