# Copies a Windows program (and, when given, a DLL) into an empty directory and runs it
# there through the emulator. EXPECT is "success" or "failure" (a non-zero exit).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY ${PROGRAM} DESTINATION ${WORK_DIR})
if(DLL)
    file(COPY ${DLL} DESTINATION ${WORK_DIR})
endif()
get_filename_component(name ${PROGRAM} NAME)
execute_process(
    COMMAND ${EMULATOR} ${WORK_DIR}/${name}
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    RESULT_VARIABLE result)
message("${output}")
if(EXPECT STREQUAL "success" AND NOT result EQUAL 0)
    message(FATAL_ERROR "${name} exited with ${result}\n${errors}")
endif()
if(EXPECT STREQUAL "failure" AND (result EQUAL 0 OR output MATCHES "round trip|FAILED"))
    message(FATAL_ERROR "${name} started without the DLL beside it")
endif()
message("${name} exited with ${result}")
